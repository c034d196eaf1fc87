// What the day cache and the standard user's fallback leave in the real
// registry, read from outside the port.
#include <gtest/gtest.h>

#include "core/log.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "platform/win32/registry_inspect.h"
#include "platform/win32/registry_store_win32.h"
#include "settings/day_cache.h"
#include "settings/settings_load.h"
#include "unit/settings/store_harness.h"

namespace tavelin {
namespace {

using win32::DeleteTree;
using win32::ListValues;
using win32::ReadValue;

constexpr std::u16string_view kVendorPath = u"Software\\Ombrelle Corporation Ltd";

class RegistryOutside : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        ASSERT_TRUE(DeleteTree(Hive::LocalMachine, kVendorPath));
        ASSERT_TRUE(DeleteTree(Hive::CurrentUser, kVendorPath));
    }
    void Put(RegistryStore& store, std::u16string_view name, uint32_t type, const void* data, uint32_t bytes) {
        const OpenResult r = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(store.Set(r.key, name, type, data, bytes));
        store.Close(r.key);
    }

    win32::Win32RegistryStore store;
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
};

TEST_F(RegistryOutside, TwelveStringsLeaveExactlyTwelveValuesWithoutNul) {
    contract::TextGroup old;
    for (int i = 0; i < 20; ++i) old.Add(u"yesterday");
    ASSERT_TRUE(SAVESTRINGSINREG(store, log, old.group));
    contract::TextGroup today;
    std::vector<std::u16string> texts;
    for (int i = 1; i <= 12; ++i) texts.push_back(u"Wort " + std::u16string(static_cast<size_t>(i), u'\u00e4'));
    texts[4].clear();
    for (const auto& t : texts) today.Add(t);
    EXPECT_TRUE(DELETESTRINGSINREG(store, log));
    EXPECT_TRUE(SAVESTRINGSINREG(store, log, today.group));
    const auto values = ListValues(Hive::LocalMachine, kDataPath);
    ASSERT_TRUE(values.has_value());
    ASSERT_EQ(values->size(), 12u);
    for (int i = 1; i <= 12; ++i) {
        const std::u16string name = contract::Name(i);
        SCOPED_TRACE(ToUtf8(name));
        const auto v = ReadValue(Hive::LocalMachine, kDataPath, name);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->type, kRegSz);
        EXPECT_EQ(v->bytes, contract::BytesOf(texts[static_cast<size_t>(i - 1)]));
    }
}

TEST_F(RegistryOutside, StandardUserReadsMachineValuesAndWritesItsOwnCopy) {
    // As an installer would leave it, written with full access.
    const std::u16string key = u"FEED-KEY-42";
    const auto keyBytes = contract::BytesOf(key);
    Put(store, u"KeyCode", kRegSz, keyBytes.data(), static_cast<uint32_t>(keyBytes.size()));
    const uint32_t three = 3, on = 1;
    Put(store, u"MaxShowStrings", kRegDword, &three, 4);

    win32::Win32RegistryStore user;
    user.denyMachineFullAccess = true;
    const uint32_t five = 5;
    Put(user, u"MaxShowStrings", kRegDword, &five, 4); // the user's own choice
    Put(user, u"Log", kRegDword, &on, 4);
    SaverSettings s;
    LoadSettings(user, log, s);
    EXPECT_EQ(s.szKeyCode, key);          // from the machine
    EXPECT_EQ(s.dwMaxShowStrings, 5u);    // the user's copy first
    EXPECT_TRUE(log.gLogEnabled);

    contract::TextGroup today;
    today.Add(u"one");
    today.Add(u"two");
    EXPECT_FALSE(DELETESTRINGSINREG(user, log)); // no cache yet: nothing to delete
    EXPECT_TRUE(SAVESTRINGSINREG(user, log, today.group));
    EXPECT_EQ(COUNTSTRINGSINREG(user, log), 2);

    // The machine key is as the installer left it; the user's key holds the rest.
    const auto machine = ListValues(Hive::LocalMachine, kSettingsPath);
    ASSERT_TRUE(machine.has_value());
    EXPECT_EQ(machine->size(), 2u);
    EXPECT_EQ(ReadValue(Hive::LocalMachine, kSettingsPath, u"MaxShowStrings")->bytes[0], 3);
    EXPECT_FALSE(win32::KeyExists(Hive::LocalMachine, kDataPath));
    EXPECT_EQ(ReadValue(Hive::CurrentUser, kSettingsPath, u"MaxShowStrings")->bytes[0], 5);
    EXPECT_EQ(ListValues(Hive::CurrentUser, kDataPath)->size(), 2u);
    EXPECT_FALSE(ReadValue(Hive::CurrentUser, kSettingsPath, u"KeyCode").has_value());
}

TEST_F(RegistryOutside, StandardUsersOwnDayHidesAnOlderMachineCache) {
    contract::TextGroup machineDay;
    for (int i = 0; i < 12; ++i) machineDay.Add(u"elevated run");
    ASSERT_TRUE(SAVESTRINGSINREG(store, log, machineDay.group));

    win32::Win32RegistryStore user;
    user.denyMachineFullAccess = true;
    // No day of the user's own yet: the machine's cache serves, the same to both readers.
    EXPECT_EQ(COUNTSTRINGSINREG(user, log), 12);
    contract::TextGroup offline;
    EXPECT_TRUE(GETSTRINGSFROMREG(user, log, offline.group));
    EXPECT_EQ(offline.group.GetCount(), 12u);

    contract::TextGroup today;
    today.Add(u"eins: one");
    today.Add(u"zwei: two");
    DELETESTRINGSINREG(user, log);
    ASSERT_TRUE(SAVESTRINGSINREG(user, log, today.group));
    EXPECT_EQ(COUNTSTRINGSINREG(user, log), 2);
    contract::TextGroup back;
    EXPECT_TRUE(GETSTRINGSFROMREG(user, log, back.group));
    EXPECT_EQ(back.Texts(), today.Texts());
    EXPECT_EQ(ListValues(Hive::LocalMachine, kDataPath)->size(), 12u);
}

TEST_F(RegistryOutside, StandardUserOnAFreshMachineSeesANewKey) {
    win32::Win32RegistryStore user;
    user.denyMachineFullAccess = true;
    const OpenResult first = user.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    ASSERT_TRUE(first.ok);
    EXPECT_TRUE(first.createdNew);
    user.Close(first.key);
    const OpenResult again = user.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    ASSERT_TRUE(again.ok);
    EXPECT_FALSE(again.createdNew);
    user.Close(again.key);
    EXPECT_FALSE(win32::KeyExists(Hive::LocalMachine, kSettingsPath));
    EXPECT_TRUE(win32::KeyExists(Hive::CurrentUser, kSettingsPath));
}

} // namespace
} // namespace tavelin
