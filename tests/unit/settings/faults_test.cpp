// Faults only the in-memory registry can stage: keys that cannot be opened,
// writes that fail, copies and group nodes that cannot be allocated.
#include <gtest/gtest.h>

#include "fakes/memory_registry.h"
#include "settings/settings_load.h"
#include "settings/day_cache.h"
#include "unit/settings/store_harness.h"

namespace tavelin {
namespace {

class SettingsFaults : public ::testing::Test {
protected:
    void StartLog() {
        log.gLogEnabled = true;
        log.Open();
    }
    std::vector<std::u16string> Logged() const {
        auto messages = fakes::MemoryLogFile::Messages(*files.Only());
        messages.erase(messages.begin());
        return messages;
    }
    void PutText(std::u16string_view name, std::u16string_view text) {
        const OpenResult r = store.CreateOrOpen(Hive::LocalMachine, kDataPath);
        const auto bytes = contract::BytesOf(text);
        store.Set(r.key, name, kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size()));
        store.Close(r.key);
    }
    void TearDown() override { EXPECT_EQ(store.openKeys(), 0u); }

    fakes::MemoryRegistry store;
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
};

TEST_F(SettingsFaults, UnopenableKeyGivesDefaultsAndSecurityBlockLines) {
    store.failOpen = true;
    SaverSettings s;
    s.gLogoEnabled = true;
    LoadSettings(store, log, s);
    EXPECT_EQ(s.dwMaxShowStrings, 7u);
    EXPECT_FALSE(s.gLogoEnabled);
    EXPECT_EQ(files.created, 0u);

    StartLog();
    contract::TextGroup g;
    g.Add(u"kept in memory only");
    EXPECT_EQ(COUNTSTRINGSINREG(store, log), 0);
    EXPECT_FALSE(GETSTRINGSFROMREG(store, log, g.group));
    EXPECT_FALSE(DELETESTRINGSINREG(store, log));
    EXPECT_FALSE(SAVESTRINGSINREG(store, log, g.group));
    EXPECT_EQ(Logged(),
              (std::vector<std::u16string>{
                  u"COUNTSTRINGSINREG Failed to Open or Create the Data registry key - Security Block?",
                  u"GETSTRINGSFROMREG Failed to Open or Create the Data registry key - Security Block?",
                  u"DELETESTRINGSINREG Failed to Open or Create the Tavelin registry key - Security Block?",
                  u"SAVESTRINGSINREG Failed to Open or Create the Data registry key - Security Block?"}));
    EXPECT_EQ(g.group.GetCount(), 1u);
}

TEST_F(SettingsFaults, FailedWriteIsLoggedAndTheRestStayReachable) {
    store.failSetCalls = {2};
    contract::TextGroup g;
    g.Add(u"one");
    g.Add(u"two");
    g.Add(u"three");
    StartLog();
    EXPECT_FALSE(SAVESTRINGSINREG(store, log, g.group));
    const auto lines = Logged();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], u"SAVESTRINGSINREG Failed to save string 0002, |two|");
    // The next text takes the name left free, so no gap ends the list early.
    EXPECT_EQ(lines[4], u"SAVESTRINGSINREG Saved, and counted, string 0002, |three|");
    EXPECT_EQ(lines[5], u"SAVESTRINGSINREG Saved=2, Number of Source Strings=3");
    EXPECT_EQ(COUNTSTRINGSINREG(store, log), 2);
    contract::TextGroup loaded;
    EXPECT_TRUE(GETSTRINGSFROMREG(store, log, loaded.group));
    EXPECT_EQ(loaded.Texts(), (std::vector<std::u16string>{u"one", u"three"}));
}

TEST_F(SettingsFaults, StringWithoutMemoryIsLeftOutButCounted) {
    PutText(u"0001", u"first");
    PutText(u"0002", u"second");
    contract::TextGroup g;
    StartLog();
    // The first copy fails, the next succeeds.
    static int calls;
    calls = 0;
    auto flaky = [](std::u16string_view text) noexcept -> char16_t* {
        return ++calls == 1 ? nullptr : DuplicateText(text);
    };
    EXPECT_TRUE(GETSTRINGSFROMREG(store, log, g.group, flaky));
    EXPECT_EQ(g.Texts(), std::vector<std::u16string>{u"second"});
    EXPECT_EQ(Logged()[0], u"GETSTRINGSFROMREG Error, Memory, Could Not Create New Message Buffer!");
    EXPECT_EQ(Logged()[1], u"GETSTRINGSFROMREG Loaded, and counted, string 0001, |first|");
}

// An older build could cache any number of texts ("10000" and on); a reader
// still stops at a day's limit, so such a cache cannot hold start-up.
TEST_F(SettingsFaults, ReadersStopAtTheDayLimitOfAnOlderLongerCache) {
    for (int i = 1; i <= 10001; ++i) PutText(i < 10000 ? contract::Name(i) : FromUtf8(std::to_string(i)), u"t");
    PutText(contract::Name(9999), u"last");
    contract::TextGroup g;
    EXPECT_EQ(COUNTSTRINGSINREG(store, log), 9999);
    EXPECT_TRUE(GETSTRINGSFROMREG(store, log, g.group));
    ASSERT_EQ(g.group.GetCount(), 9999u);
    EXPECT_EQ(g.Texts().back(), u"last");
}

TEST_F(SettingsFaults, GroupWithoutNodesKeepsNothingAndLeaksNothing) {
    PutText(u"0001", u"first");
    contract::TextGroup g;
    g.group.SetAllocationGate([](void*) { return false; }, nullptr);
    StartLog();
    EXPECT_TRUE(GETSTRINGSFROMREG(store, log, g.group)); // a value was read
    EXPECT_EQ(g.group.GetCount(), 0u);
    EXPECT_EQ(Logged()[0], u"GETSTRINGSFROMREG Error, Could Not Add New Message to Message Group!");
}

TEST_F(SettingsFaults, UnreadableValuesLeaveStartValuesDespiteScribbledBuffers) {
    // The double scribbles over a too-small buffer, as the platform may.
    const OpenResult r = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    const std::vector<unsigned char> big(4000, 'Z');
    for (const char16_t* name : {u"LogicalFontStructure", u"MaxShowStrings", u"Company", u"KeyCode", u"Log"})
        store.Set(r.key, name, kRegBinary, big.data(), static_cast<uint32_t>(big.size()));
    store.Close(r.key);
    SaverSettings s;
    LoadSettings(store, log, s);
    EXPECT_EQ(s.lf.lfHeight, 0);
    EXPECT_EQ(s.lf.lfFaceName[0], u'\0');
    EXPECT_EQ(s.dwMaxShowStrings, 0u);
    EXPECT_TRUE(s.szCompany.empty());
    EXPECT_TRUE(s.szKeyCode.empty());
    EXPECT_FALSE(log.gLogEnabled);
}

} // namespace
} // namespace tavelin
