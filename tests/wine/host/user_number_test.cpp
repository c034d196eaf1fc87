// Win32WindowOps::ReadUserNumber against the real current-user hive: any value
// that fits in 4 bytes reads, whatever its type, and reading never creates a key.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "platform/win32/window_ops_win32.h"

#include <windows.h>

namespace tavelin {
namespace {

constexpr wchar_t kRoot[] = L"Software\\TavelinHostTest";
constexpr wchar_t kKey[] = L"Software\\TavelinHostTest\\Desktop";
constexpr std::u16string_view kKeyPath = u"Software\\TavelinHostTest\\Desktop";

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::vector<BYTE> Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(p, p + size);
}

class UserNumberTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kRoot); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kRoot); }

    static void Put(const wchar_t* name, DWORD type, const std::vector<BYTE>& bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    win32::Win32WindowOps ops;
};

struct StoredCase {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    std::optional<uint32_t> expected;
};

TEST_F(UserNumberTest, AnyValueOfAtMostFourBytesReadsBack) {
    const uint32_t number = 0x01020304u, zero = 0;
    const uint64_t wide = 1;
    const uint16_t narrow = 1;
    const wchar_t text[] = L"on";
    const std::vector<StoredCase> cases = {
        {"dword", REG_DWORD, Bytes(&number, 4), number},
        {"zero dword is a value, not none", REG_DWORD, Bytes(&zero, 4), 0u},
        {"four bytes of another type: the type is not checked", REG_BINARY, Bytes(&number, 4), number},
        {"one character of text is four bytes too", REG_SZ, Bytes(L"1", 4), 0x31u},
        {"text longer than four bytes", REG_SZ, Bytes(text, sizeof text), std::nullopt},
        {"eight bytes", REG_QWORD, Bytes(&wide, 8), std::nullopt},
        {"two bytes fill the low half", REG_BINARY, Bytes(&narrow, 2), 1u},
        {"empty reads as zero", REG_BINARY, {}, 0u},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.what);
        Put(L"ScreenSaveUsePassword", c.type, c.bytes);
        EXPECT_EQ(ops.ReadUserNumber(kKeyPath, u"ScreenSaveUsePassword"), c.expected);
    }
}

TEST_F(UserNumberTest, MissingValueOrKeyGivesNoneAndCreatesNothing) {
    const uint32_t one = 1;
    Put(L"Other", REG_DWORD, Bytes(&one, 4));
    EXPECT_EQ(ops.ReadUserNumber(kKeyPath, u"ScreenSaveUsePassword"), std::nullopt);

    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kRoot), ERROR_SUCCESS);
    EXPECT_EQ(ops.ReadUserNumber(kKeyPath, u"ScreenSaveUsePassword"), std::nullopt);
    EXPECT_FALSE(KeyExists(kKey));
    EXPECT_FALSE(KeyExists(kRoot));
}

} // namespace
} // namespace tavelin
