// The log against the real file system: name, bytes, replacement, sharing, and
// that each line is on disk the moment it is written.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "fakes/fake_clock.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/log_file_win32.h"

namespace tavelin {
namespace {

constexpr wchar_t kName[] = L"Tavelin_20261206_062744.LOG";

// Runs each test in a fresh working directory of its own.
class LogFileWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        dir_ = std::wstring(temp) + L"tavelin-log-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter_++);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryW(dir_.c_str()));
        clock_.now = {2026, 12, 6, 6, 27, 44, 7};
    }
    void TearDown() override {
        for (LogFileHandle h : opened_) win32::Win32LogFile::Close(h);
        DeleteFileW((dir_ + L"\\" + kName).c_str());
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        RemoveDirectoryW(dir_.c_str());
    }
    LogFileHandle Track(LogFileHandle h) {
        if (h != nullptr) opened_.push_back(h);
        return h;
    }
    // Reads the whole file through a second handle, as a support person would while the saver runs.
    static std::vector<unsigned char> ReadAll(const wchar_t* name) {
        HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        std::vector<unsigned char> bytes;
        if (h == INVALID_HANDLE_VALUE) return bytes;
        unsigned char buf[4096];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.insert(bytes.end(), buf, buf + got);
        CloseHandle(h);
        return bytes;
    }
    static std::u16string Text(const std::vector<unsigned char>& b) {
        std::u16string s;
        for (size_t i = 0; i + 1 < b.size(); i += 2) s += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        return s;
    }

    win32::Win32LogFile files_;
    fakes::FakeClock clock_;
    std::wstring dir_;
    std::vector<LogFileHandle> opened_;
    static inline int counter_ = 0;
};

TEST_F(LogFileWin32, CreatesTheFileInTheWorkingDirectoryWithoutByteOrderMark) {
    Log log(files_, clock_);
    log.gLogEnabled = true;
    log.gLogFile = Track(log.CREATELOGFILE(u"Tavelin"));
    ASSERT_NE(log.gLogFile, nullptr);
    const auto bytes = ReadAll(kName);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0x54);
    EXPECT_EQ(Text(bytes), u"Tavelin Log File\r\n06:27:44.007,Seq=000000000000,CREATELOGFILE,TIMESTAMP START\r\n");
}

TEST_F(LogFileWin32, EachLineIsOnDiskWhenTheWriteReturns) {
    Log log(files_, clock_);
    log.gLogEnabled = true;
    log.gLogFile = Track(log.CREATELOGFILE(u"Tavelin"));
    for (int i = 0; i < 3; ++i) {
        log.Write(u"WM_TIMER,ID_TURNTIMER Considering Active String %d", i);
        const std::u16string text = Text(ReadAll(kName));
        const std::u16string expected = u"Considering Active String " + std::u16string(1, char16_t(u'0' + i)) + u"\r\n";
        EXPECT_EQ(text.substr(text.size() - expected.size()), expected) << "line " << i;
    }
}

TEST_F(LogFileWin32, ReplacesAnOldFileOfTheSameName) {
    {
        Log first(files_, clock_);
        LogFileHandle h = first.CREATELOGFILE(u"Tavelin");
        ASSERT_NE(h, nullptr);
        for (int i = 0; i < 50; ++i) first.WRITELOGLINE(h, u"an old run's line");
        win32::Win32LogFile::Close(h); // the first run has ended
    }
    Log second(files_, clock_);
    Track(second.CREATELOGFILE(u"Tavelin"));
    EXPECT_EQ(Text(ReadAll(kName)),
              u"Tavelin Log File\r\n06:27:44.007,Seq=000000000000,CREATELOGFILE,TIMESTAMP START\r\n");
}

TEST_F(LogFileWin32, ASecondRunInTheSameSecondGoesOnWithoutALog) {
    Log first(files_, clock_);
    first.gLogEnabled = true;
    first.gLogFile = Track(first.CREATELOGFILE(u"Tavelin"));
    ASSERT_NE(first.gLogFile, nullptr);

    Log second(files_, clock_);
    second.gLogEnabled = true;
    second.Open();
    EXPECT_EQ(second.gLogFile, nullptr);
    second.Write(u"WM_CREATE Font Not Set!"); // must do nothing, and not fail the run
    first.Write(u"still mine");

    const std::u16string text = Text(ReadAll(kName));
    EXPECT_EQ(text.find(u"Font Not Set"), std::u16string::npos);
    EXPECT_NE(text.find(u"still mine"), std::u16string::npos);
}

TEST(ClockWin32, LocalTimeIsPlausible) {
    win32::Win32Clock clock;
    const LocalTime t = clock.LocalNow();
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12);
    EXPECT_LT(t.millisecond, 1000);
    EXPECT_LT(clock.UtcMilliseconds(), 1000);
}

} // namespace
} // namespace tavelin
