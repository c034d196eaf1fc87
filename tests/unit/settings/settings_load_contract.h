// The settings load over a store: first run, every value and its bad forms.
#pragma once

#include <cstring>
#include <functional>

#include "core/settings_values.h"
#include "settings/settings_load.h"
#include "unit/settings/store_harness.h"

namespace tavelin::contract {

inline std::vector<unsigned char> Dword(uint32_t v) {
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v >> 16),
            static_cast<unsigned char>(v >> 24)};
}

inline std::vector<unsigned char> FontBytes(const LogFont& lf) {
    std::vector<unsigned char> bytes(sizeof lf);
    std::memcpy(bytes.data(), &lf, sizeof lf);
    return bytes;
}

TEST_P(SettingsContract, FirstRunCreatesTheKeyAndKeepsStartValues) {
    SaverSettings s;
    s.dwMaxShowStrings = 99;
    s.szKeyCode = u"stale";
    s.gRecallEnabled = true;
    LoadSettings(store(), log, s);
    EXPECT_EQ(s.dwMaxShowStrings, 0u); // 0 stands for 7 at the saver
    EXPECT_EQ(s.lf.lfHeight, 0);
    EXPECT_FALSE(log.gLogEnabled);
    EXPECT_FALSE(s.gExtraEnabled);
    EXPECT_FALSE(s.gLogoEnabled);
    EXPECT_FALSE(s.gRecallEnabled);
    EXPECT_TRUE(s.szKeyCode.empty());
    EXPECT_EQ(files.created, 0u);
    EXPECT_TRUE(Existed(kSettingsPath));
}

TEST_P(SettingsContract, LoadReadsEachValueAndItsBadForms) {
    LogFont font;
    font.lfHeight = -24;
    font.lfWeight = 700;
    font.lfItalic = 1;
    std::memcpy(font.lfFaceName, u"Arial", 12);
    LogFont unterminated;
    unterminated.lfHeight = 12;
    for (char16_t& c : unterminated.lfFaceName) c = u'X';
    const std::u16string units1024(1024, u'k');
    using Check = std::function<void(const SaverSettings&, const Log&)>;
    struct Row {
        const char* what;
        std::u16string name;
        uint32_t type;
        std::vector<unsigned char> bytes;
        Check check;
    };
    const std::vector<Row> rows = {
        {"count 25 kept at the saver", u"MaxShowStrings", kRegDword, Dword(25),
         [](auto& s, auto&) { EXPECT_EQ(s.dwMaxShowStrings, 25u); }},
        {"count as a 4-byte text", u"MaxShowStrings", kRegSz, BytesOf(u"ab"),
         [](auto& s, auto&) { EXPECT_EQ(s.dwMaxShowStrings, 0x00620061u); }},
        {"count of 2 bytes", u"MaxShowStrings", kRegDword, {25, 0},
         [](auto& s, auto&) { EXPECT_EQ(s.dwMaxShowStrings, 25u); }},
        {"count of 8 bytes is absent", u"MaxShowStrings", kRegBinary, {9, 0, 0, 0, 0, 0, 0, 0},
         [](auto& s, auto&) { EXPECT_EQ(s.dwMaxShowStrings, 0u); }},
        {"Log 2 is on", u"Log", kRegDword, Dword(2), [](auto&, auto& l) { EXPECT_TRUE(l.gLogEnabled); }},
        {"Log 0 is off", u"Log", kRegDword, Dword(0), [](auto&, auto& l) { EXPECT_FALSE(l.gLogEnabled); }},
        {"Extra", u"Extra", kRegDword, Dword(1), [](auto& s, auto&) { EXPECT_TRUE(s.gExtraEnabled); }},
        {"Logo 5", u"Logo", kRegDword, Dword(5), [](auto& s, auto&) { EXPECT_TRUE(s.gLogoEnabled); }},
        {"Logo as 0-byte value", u"Logo", kRegDword, {}, [](auto& s, auto&) { EXPECT_FALSE(s.gLogoEnabled); }},
        {"Recall 3 is on", u"Recall", kRegDword, Dword(3), [](auto& s, auto&) { EXPECT_TRUE(s.gRecallEnabled); }},
        {"Recall 0 is off", u"Recall", kRegDword, Dword(0), [](auto& s, auto&) { EXPECT_FALSE(s.gRecallEnabled); }},
        {"font record", u"LogicalFontStructure", kRegBinary, FontBytes(font),
         [&](auto& s, auto&) { EXPECT_EQ(std::memcmp(&s.lf, &font, sizeof font), 0); }},
        {"font of 93 bytes is absent", u"LogicalFontStructure", kRegBinary,
         [&] { auto b = FontBytes(font); b.push_back(0); return b; }(),
         [](auto& s, auto&) { EXPECT_EQ(s.lf.lfHeight, 0); }},
        {"font face without NUL", u"LogicalFontStructure", kRegBinary, FontBytes(unterminated),
         [](auto& s, auto&) {
             EXPECT_EQ(s.lf.lfHeight, 12);
             EXPECT_EQ(std::u16string(s.lf.lfFaceName), std::u16string(31, u'X'));
         }},
        {"company", u"Company", kRegSz, BytesOf(u"Ombrelle \u00c9dition"),
         [](auto& s, auto&) { EXPECT_EQ(s.szCompany, u"Ombrelle \u00c9dition"); }},
        {"company empty", u"Company", kRegSz, {}, [](auto& s, auto&) { EXPECT_TRUE(s.szCompany.empty()); }},
        {"company of 1,024 bytes keeps 511 units", u"Company", kRegSz, BytesOf(units1024.substr(0, 512)),
         [](auto& s, auto&) { EXPECT_EQ(s.szCompany, std::u16string(511, u'k')); }},
        {"company of 1,026 bytes is absent", u"Company", kRegSz, BytesOf(units1024.substr(0, 513)),
         [](auto& s, auto&) { EXPECT_TRUE(s.szCompany.empty()); }},
        {"key code of 2,048 bytes keeps 1,023 units", u"KeyCode", kRegSz, BytesOf(units1024),
         [](auto& s, auto&) { EXPECT_EQ(s.szKeyCode, std::u16string(1023, u'k')); }},
        {"key code of 2,050 bytes is absent", u"KeyCode", kRegSz, BytesOf(units1024 + u"k"),
         [](auto& s, auto&) { EXPECT_TRUE(s.szKeyCode.empty()); }},
        {"key code with embedded NUL", u"KeyCode", kRegSz, BytesOf(std::u16string(u"ab\0cd", 5)),
         [](auto& s, auto&) { EXPECT_EQ(s.szKeyCode, u"ab"); }},
        {"key code of odd byte count", u"KeyCode", kRegSz, {'a', 0, 'b', 0, 'c'},
         [](auto& s, auto&) { EXPECT_EQ(s.szKeyCode, u"abc"); }},
        {"company of 1,023 bytes keeps 511 units", u"Company", kRegSz,
         [&] { auto b = BytesOf(units1024.substr(0, 512)); b.pop_back(); return b; }(),
         [](auto& s, auto&) { EXPECT_EQ(s.szCompany, std::u16string(511, u'k')); }},
        {"key code as a dword", u"KeyCode", kRegDword, Dword(0x00000041),
         [](auto& s, auto&) { EXPECT_EQ(s.szKeyCode, u"A"); }},
        {"feed host with port", u"FeedHost", kRegSz, BytesOf(u"127.0.0.1:8080"),
         [](auto& s, auto&) { EXPECT_EQ(s.szFeedHost, u"127.0.0.1:8080"); }},
        {"feed host of 257 units is absent", u"FeedHost", kRegSz, BytesOf(std::u16string(257, u'h')),
         [](auto& s, auto&) { EXPECT_TRUE(s.szFeedHost.empty()); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PutText(kSettingsPath, u"Other", u"x"); // the key exists, so the load reads
        Put(kSettingsPath, row.name, row.type, row.bytes);
        SaverSettings s;
        log.gLogEnabled = false;
        LoadSettings(store(), log, s);
        row.check(s, log);
        const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, u"Software\\Ombrelle Corporation Ltd");
        ASSERT_TRUE(r.ok);
        store().DeleteSubkey(r.key, u"Tavelin ScreenSaver");
        store().Close(r.key);
    }
}

TEST_P(SettingsContract, LoadOpensTheLogOnlyWhenLogIsOn) {
    PutDword(kSettingsPath, u"Log", 1);
    SaverSettings s;
    LoadSettings(store(), log, s);
    EXPECT_TRUE(log.gLogEnabled);
    EXPECT_NE(log.gLogFile, nullptr);
    EXPECT_EQ(files.created, 1u);
    ASSERT_NE(files.Only(), nullptr);
    EXPECT_EQ(files.Only()->name.substr(0, 8), u"Tavelin_");
}

TEST_P(SettingsContract, LoadWritesNothing) {
    PutDword(kSettingsPath, u"MaxShowStrings", 3);
    SaverSettings s;
    LoadSettings(store(), log, s);
    EXPECT_EQ(s.dwMaxShowStrings, 3u);
    EXPECT_FALSE(Fetch(kSettingsPath, u"Log").has_value());
    EXPECT_FALSE(Fetch(kSettingsPath, u"LogicalFontStructure").has_value());
}

} // namespace tavelin::contract
