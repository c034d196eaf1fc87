// The day cache over a store: counting, loading, deleting and saving, with the
// exact log lines of each.
#pragma once

#include <string>
#include <vector>

#include "core/group.h"
#include "core/text.h"
#include "settings/day_cache.h"
#include "unit/settings/store_harness.h"

namespace tavelin::contract {

TEST_P(SettingsContract, CountStopsAtTheFirstMissingValue) {
    for (int i = 1; i <= 7; ++i) PutText(kDataPath, Name(i), u"word " + Name(i));
    PutText(kDataPath, u"0009", u"beyond the gap");
    StartLog();
    EXPECT_EQ(COUNTSTRINGSINREG(store(), log), 7);
    const auto lines = Logged();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], u"COUNTSTRINGSINREG Loaded, and counted, string 0001");
    EXPECT_EQ(lines[6], u"COUNTSTRINGSINREG Loaded, and counted, string 0007");
    EXPECT_EQ(lines[7], u"COUNTSTRINGSINREG Failed to load string 0008");
}

TEST_P(SettingsContract, FirstRunCountAndLoadCreateTheCacheAndFindNothing) {
    StartLog();
    EXPECT_EQ(COUNTSTRINGSINREG(store(), log), 0);
    EXPECT_TRUE(Existed(kSettingsPath));
    TextGroup g;
    EXPECT_FALSE(GETSTRINGSFROMREG(store(), log, g.group)); // "Data" exists now, empty
    EXPECT_EQ(g.group.GetCount(), 0u);
    EXPECT_EQ(Logged(), (std::vector<std::u16string>{
                            u"COUNTSTRINGSINREG Data folder did not exist in registry, this function created it.",
                            u"GETSTRINGSFROMREG Failed to load string 0001"}));
}

TEST_P(SettingsContract, LoadAppendsInOrderUpToTheGap) {
    PutText(kDataPath, u"0001", u"a: b");
    PutText(kDataPath, u"0002", u"");
    PutText(kDataPath, u"0004", u"after the gap");
    TextGroup g;
    g.Add(u"already there");
    StartLog();
    EXPECT_TRUE(GETSTRINGSFROMREG(store(), log, g.group));
    EXPECT_EQ(g.Texts(), (std::vector<std::u16string>{u"already there", u"a: b", u""}));
    EXPECT_EQ(Logged(), (std::vector<std::u16string>{u"GETSTRINGSFROMREG Loaded, and counted, string 0001, |a: b|",
                                                     u"GETSTRINGSFROMREG Loaded, and counted, string 0002, ||",
                                                     u"GETSTRINGSFROMREG Failed to load string 0003"}));
}

TEST_P(SettingsContract, LoadKeepsWholeUnitsUpToNulAndNothingOfAnEarlierValue) {
    const std::u16string units1024(1024, u'w');
    Put(kDataPath, u"0001", kRegSz, BytesOf(std::u16string(600, u'L')));
    Put(kDataPath, u"0002", kRegSz, BytesOf(u"short"));
    Put(kDataPath, u"0003", kRegSz, {'a', 0, 'b', 0, 'c'});
    Put(kDataPath, u"0004", kRegSz, BytesOf(std::u16string(u"ab\0cd", 5)));
    Put(kDataPath, u"0005", kRegSz, BytesOf(units1024));
    Put(kDataPath, u"0006", kRegDword, {0x41, 0, 0x42, 0});
    Put(kDataPath, u"0007", kRegSz, BytesOf(units1024 + u"w")); // 2,050 bytes: unreadable
    Put(kDataPath, u"0008", kRegSz, BytesOf(u"never reached"));
    TextGroup g;
    EXPECT_TRUE(GETSTRINGSFROMREG(store(), log, g.group));
    EXPECT_EQ(g.Texts(), (std::vector<std::u16string>{std::u16string(600, u'L'), u"short", u"ab", u"ab",
                                                      std::u16string(1023, u'w'), u"AB"}));
    EXPECT_EQ(COUNTSTRINGSINREG(store(), log), 6);
}

TEST_P(SettingsContract, DeleteWithoutDataFailsAndSaveThenCreatesIt) {
    StartLog();
    EXPECT_FALSE(DELETESTRINGSINREG(store(), log)); // fresh: the settings key is new
    EXPECT_FALSE(DELETESTRINGSINREG(store(), log)); // the key exists, "Data" does not
    TextGroup g;
    g.Add(u"one");
    EXPECT_TRUE(SAVESTRINGSINREG(store(), log, g.group));
    EXPECT_EQ(Logged(),
              (std::vector<std::u16string>{
                  u"DELETESTRINGSINREG Tavelin folder did not exist in registry, this is a new install?",
                  u"DELETESTRINGSINREG Tavelin folder was available, but Data folder could not be deleted.",
                  u"SAVESTRINGSINREG Data folder did not exist in registry, this function created it.",
                  u"SAVESTRINGSINREG Successfully opened Data folder.",
                  u"SAVESTRINGSINREG Saved, and counted, string 0001, |one|",
                  u"SAVESTRINGSINREG Saved=1, Number of Source Strings=1"}));
}

TEST_P(SettingsContract, DeleteThenSaveLeavesExactlyTheNewDay) {
    for (int i = 1; i <= 5; ++i) PutText(kDataPath, Name(i), u"old " + Name(i));
    TextGroup today;
    today.Add(u"Haus: house");
    today.Add(u"");
    today.Add(u"\u00e9t\u00e9: summer");
    StartLog();
    EXPECT_TRUE(DELETESTRINGSINREG(store(), log));
    EXPECT_TRUE(SAVESTRINGSINREG(store(), log, today.group));
    EXPECT_EQ(Logged().front(), u"DELETESTRINGSINREG Tavelin Data folder successfully deleted.");
    EXPECT_EQ(Logged().back(), u"SAVESTRINGSINREG Saved=3, Number of Source Strings=3");
    EXPECT_EQ(Fetch(kDataPath, u"0002")->bytes.size(), 0u);
    EXPECT_EQ(Fetch(kDataPath, u"0003")->bytes, BytesOf(u"\u00e9t\u00e9: summer")); // no NUL stored
    TextGroup back;
    EXPECT_TRUE(GETSTRINGSFROMREG(store(), log, back.group));
    EXPECT_EQ(back.Texts(), today.Texts());
}

TEST_P(SettingsContract, SaveWithoutDeleteLeavesHigherValuesBehind) {
    for (int i = 1; i <= 4; ++i) PutText(kDataPath, Name(i), u"old");
    TextGroup today;
    today.Add(u"new");
    EXPECT_TRUE(SAVESTRINGSINREG(store(), log, today.group));
    EXPECT_EQ(COUNTSTRINGSINREG(store(), log), 4);
}

TEST_P(SettingsContract, OverlongStringIsStoredAsTheReaderKeepsItAndTheListGoesOn) {
    TextGroup today;
    today.Add(std::u16string(1500, u'g'));
    // A cut through a surrogate pair would store half a character: the pair goes whole.
    today.Add(std::u16string(1022, u'h') + u"\U0001F600!");
    today.Add(u"next");
    StartLog();
    EXPECT_TRUE(SAVESTRINGSINREG(store(), log, today.group));
    EXPECT_EQ(Fetch(kDataPath, u"0001")->bytes.size(), 2046u);
    EXPECT_EQ(Fetch(kDataPath, u"0002")->bytes.size(), 2044u);
    TextGroup back;
    EXPECT_TRUE(GETSTRINGSFROMREG(store(), log, back.group));
    EXPECT_EQ(back.Texts(), (std::vector<std::u16string>{std::u16string(1023, u'g'), std::u16string(1022, u'h'),
                                                         u"next"}));
}

} // namespace tavelin::contract
