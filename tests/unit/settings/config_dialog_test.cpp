// The configuration dialog's procedure against the dialog double and the
// in-memory registry; INTTOSTRING's steps.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "fakes/fake_dialog.h"
#include "fakes/memory_registry.h"
#include "settings/config_dialog.h"
#include "settings/registry_values.h"
#include "unit/settings/store_harness.h"

namespace tavelin {
namespace {

using namespace dialog_id;

// The dialog over its doubles, with the system font the platform would give.
struct DialogRig {
    DialogRig() {
        ops.systemFont.lfHeight = 16;
        ops.systemFont.lfWeight = 700;
        std::memcpy(ops.systemFont.lfFaceName, u"System", 14);
    }
    void Store(std::u16string_view name, uint32_t value) {
        const OpenResult r = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
        WriteDword(store, r.key, name, value);
        store.Close(r.key);
        store.setLog.clear();
    }
    std::optional<uint32_t> Stored(std::u16string_view name) const {
        const auto v = store.Get(Hive::LocalMachine, kSettingsPath, name);
        if (!v || v->bytes.size() != 4) return std::nullopt;
        uint32_t word;
        std::memcpy(&word, v->bytes.data(), 4);
        return word;
    }
    bool Init() { return dialog.SCREENSAVERCONFIGUREDIALOG(msg::WM_INITDIALOG, 0, 0); }
    bool Command(int id) { return dialog.SCREENSAVERCONFIGUREDIALOG(msg::WM_COMMAND, static_cast<WParam>(id), 0); }
    std::vector<std::u16string> Logged() const {
        return files.Only() == nullptr ? std::vector<std::u16string>{} : fakes::MemoryLogFile::Messages(*files.Only());
    }

    fakes::MemoryRegistry store;
    fakes::FakeDialog ops;
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
    SaverSettings settings;
    ConfigDialog dialog{store, log, settings, ops};
};

class ConfigDialogTest : public ::testing::Test, protected DialogRig {};

const std::vector<std::u16string> kOkWrites = {u"MaxShowStrings", u"Log", u"Extra", u"Logo"};

TEST(ConfigDialogOk, ClampsTheNumberAndWritesFourValuesInOrder) {
    const std::vector<std::pair<std::u16string, uint32_t>> rows = {
        {u"0", 1}, {u"25", 10}, {u"", 1}, {u"7", 7}, {u"10", 10}, {u"1", 1}, {u"x", 1}, {u"99999999999", 1}};
    for (const auto& [typed, stored] : rows) {
        SCOPED_TRACE(ToUtf8(typed));
        DialogRig rig;
        rig.Init();
        rig.ops.texts[kShowStrings] = typed;
        EXPECT_TRUE(rig.Command(kOk));
        EXPECT_EQ(rig.store.openKeys(), 0u);
        EXPECT_EQ(rig.ops.ended, 1);
        EXPECT_EQ(rig.store.setLog, kOkWrites);
        const auto v = rig.store.Get(Hive::LocalMachine, kSettingsPath, u"MaxShowStrings");
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->type, kRegDword);
        EXPECT_EQ(v->bytes, (std::vector<unsigned char>{static_cast<unsigned char>(stored), 0, 0, 0}));
    }
}

TEST_F(ConfigDialogTest, ShowsStoredValuesAndOkStoresTheClampedNumber) {
    Store(u"MaxShowStrings", 25);
    Store(u"Log", 1);
    Store(u"Logo", 3);
    EXPECT_TRUE(Init());
    EXPECT_EQ(ops.texts[kShowStrings], u"25");
    EXPECT_EQ(ops.texts[kVersion], u"1, 6, 3, 171");
    EXPECT_TRUE(ops.checks[kLog]);
    EXPECT_FALSE(ops.checks[kGrammar]);
    EXPECT_TRUE(ops.checks[kLogo]);
    EXPECT_TRUE(log.gLogEnabled);
    EXPECT_TRUE(settings.gLogoEnabled);
    const auto lines = Logged();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], u"SCREENSAVERCONFIGUREDIALOG dwMaxShowStrings=25");
    EXPECT_EQ(lines[2], u"INTTOSTRING -- START -- Passed Number = 25");
    EXPECT_EQ(lines.back(), u"SCREENSAVERCONFIGUREDIALOG pMaxShowStrings=|25|");

    ops.checks[kLog] = false; // this run's log stays open
    ops.checks[kGrammar] = true;
    EXPECT_TRUE(Command(kOk));
    EXPECT_EQ(Stored(u"MaxShowStrings"), 10u);
    EXPECT_EQ(Stored(u"Log"), 0u);
    EXPECT_EQ(Stored(u"Extra"), 1u);
    EXPECT_EQ(Stored(u"Logo"), 1u);
    EXPECT_TRUE(log.gLogEnabled);
}

TEST_F(ConfigDialogTest, FontConfirmedThenCancelKeepsOnlyTheFont) {
    Store(u"MaxShowStrings", 4);
    Init();
    LogFont chosen;
    chosen.lfHeight = -19;
    chosen.lfItalic = 1;
    std::memcpy(chosen.lfFaceName, u"Liberation Serif", 34);
    ops.fontChoice = chosen;
    ops.texts[kShowStrings] = u"9";
    ops.checks[kGrammar] = true;
    EXPECT_TRUE(Command(kFont));
    ASSERT_EQ(ops.fontRequests.size(), 1u);
    const FontRequest& req = ops.fontRequests[0];
    EXPECT_EQ(req.Flags, 0x141u);
    EXPECT_EQ(req.hwndOwner, ops.window);
    EXPECT_EQ(req.lpLogFont, &settings.lf);
    EXPECT_EQ(req.iPointSize, 0);
    EXPECT_FALSE(ops.ended.has_value());
    EXPECT_TRUE(Command(kCancel));
    EXPECT_EQ(ops.ended, 0);
    EXPECT_EQ(store.openKeys(), 0u);
    EXPECT_EQ(store.setLog, (std::vector<std::u16string>{u"lfFaceName", u"LogicalFontStructure"}));
    const auto face = store.Get(Hive::LocalMachine, kSettingsPath, u"lfFaceName");
    ASSERT_TRUE(face.has_value());
    EXPECT_EQ(face->type, kRegSz);
    ASSERT_EQ(face->bytes.size(), 64u);
    EXPECT_EQ(std::memcmp(face->bytes.data(), chosen.lfFaceName, 64), 0);
    const auto record = store.Get(Hive::LocalMachine, kSettingsPath, u"LogicalFontStructure");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->type, kRegBinary);
    ASSERT_EQ(record->bytes.size(), 92u);
    EXPECT_EQ(std::memcmp(record->bytes.data(), &chosen, 92), 0);
    EXPECT_EQ(Stored(u"MaxShowStrings"), 4u);
    EXPECT_FALSE(Stored(u"Extra").has_value());
}

TEST_F(ConfigDialogTest, FontCancelledWritesNothingAndLogsFourteenLines) {
    Store(u"Log", 1);
    // Distinct field values, so that lines in the wrong order show.
    LogFont& f = ops.systemFont;
    f.lfWidth = 1, f.lfEscapement = -2, f.lfOrientation = 3;
    f.lfItalic = 4, f.lfUnderline = 5, f.lfStrikeOut = 6, f.lfCharSet = 255, f.lfOutPrecision = 7;
    f.lfClipPrecision = 8, f.lfQuality = 9, f.lfPitchAndFamily = 10;
    Init();
    const size_t before = Logged().size();
    EXPECT_TRUE(Command(kFont));
    EXPECT_TRUE(store.setLog.empty());
    const auto lines = Logged();
    ASSERT_EQ(lines.size(), before + 14);
    // No stored face name empties the system font's.
    EXPECT_EQ(std::vector<std::u16string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
              (std::vector<std::u16string>{
                  u"lf.lfHeight=16", u"lf.lfWidth=1", u"lf.lfEscapement=-2", u"lf.lfOrientation=3",
                  u"lf.lfWight=700", u"lf.lfItalic=4", u"lf.lfUnderline=5", u"lf.lfStrikeOut=6",
                  u"lf.lfCharSet=255", u"lf.lfOutPrecision=7", u"lf.lfClipPrecision=8", u"lf.lfQuality=9",
                  u"lf.lfPitchAndFamily=10", u"lf.lfFaceName="}));
    EXPECT_EQ(settings.lf.lfHeight, 16);
}

TEST_F(ConfigDialogTest, UnopenableKeyShowsStartValuesAndWritesNothing) {
    store.failOpen = true;
    Init();
    EXPECT_EQ(ops.texts[kShowStrings], u"7");
    EXPECT_FALSE(ops.checks[kLog] || ops.checks[kGrammar] || ops.checks[kLogo]);
    EXPECT_EQ(std::memcmp(&settings.lf, &ops.systemFont, sizeof(LogFont)), 0);
    ops.fontChoice = LogFont{};
    Command(kFont);
    EXPECT_EQ(ops.fontRequests.size(), 1u);
    ops.checks[kLog] = true;
    Command(kOk);
    EXPECT_EQ(ops.ended, 1);
    EXPECT_TRUE(store.setLog.empty());
}

TEST_F(ConfigDialogTest, NewKeyIsNotReadAndOkWritesAllFour) {
    Init();
    EXPECT_EQ(ops.texts[kShowStrings], u"7");
    Command(kOk);
    EXPECT_EQ(store.setLog, kOkWrites);
    EXPECT_EQ(Stored(u"MaxShowStrings"), 7u);
}

TEST_F(ConfigDialogTest, StoredFaceNameAndRecordReplaceTheSystemFont) {
    const OpenResult r = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    const auto longFace = contract::BytesOf(std::u16string(40, u'F'));
    store.Set(r.key, u"lfFaceName", kRegSz, longFace.data(), static_cast<uint32_t>(longFace.size()));
    store.Close(r.key);
    Init();
    EXPECT_EQ(settings.lf.lfHeight, 16); // the rest is the system font's
    EXPECT_EQ(std::u16string(settings.lf.lfFaceName), std::u16string(31, u'F'));

    LogFont stored;
    stored.lfHeight = -30;
    std::memcpy(stored.lfFaceName, u"Mono", 10);
    const OpenResult again = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    store.Set(again.key, u"LogicalFontStructure", kRegBinary, &stored, sizeof stored);
    store.Close(again.key);
    ConfigDialog second{store, log, settings, ops};
    second.SCREENSAVERCONFIGUREDIALOG(msg::WM_INITDIALOG, 0, 0);
    EXPECT_EQ(std::memcmp(&settings.lf, &stored, sizeof stored), 0);
}

TEST_F(ConfigDialogTest, OtherMessagesAndCommandsAreNotHandled) {
    Init();
    EXPECT_FALSE(Command(1001));
    EXPECT_FALSE(dialog.SCREENSAVERCONFIGUREDIALOG(0x000F, 0, 0));
    // The command's id is its low word; the high word is the notification.
    EXPECT_FALSE(ops.ended.has_value());
    EXPECT_TRUE(dialog.SCREENSAVERCONFIGUREDIALOG(msg::WM_COMMAND, (1u << 16) | kCancel, 0));
    EXPECT_EQ(ops.ended, 0);
}

TEST(IntToString, WritesEachNumberAndLogsEveryStep) {
    struct Row {
        int32_t number;
        std::u16string text;
        std::vector<std::u16string> outputs; // each "Output String" in turn
    };
    const std::vector<Row> rows = {
        {0, u"0", {}},
        {7, u"7", {u"7"}},
        {120, u"120", {u"0", u"20", u"120"}},
        {-45, u"-45", {u"5", u"45", u"-45"}},
        {INT_MAX, u"2147483647", {}},
        {INT_MIN, u"-2147483648", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        fakes::MemoryLogFile files;
        fakes::FakeClock clock;
        Log log{files, clock};
        log.gLogEnabled = true;
        log.Open();
        std::u16string text = u"stale";
        INTTOSTRING(log, row.number, text);
        EXPECT_EQ(text, row.text);
        std::vector<std::u16string> outputs;
        for (const auto& line : fakes::MemoryLogFile::Messages(*files.Only()))
            if (line.starts_with(u"INTTOSTRING Output String=|")) outputs.push_back(line.substr(27, line.size() - 28));
        if (!row.outputs.empty()) {
            EXPECT_EQ(outputs, row.outputs);
        }
        EXPECT_EQ(outputs.empty() ? u"0" : outputs.back(), row.text);
    }
}

TEST(IntToString, LogsTheStepsOfANegativeNumber) {
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
    log.gLogEnabled = true;
    log.Open();
    std::u16string text;
    INTTOSTRING(log, -7, text);
    auto lines = fakes::MemoryLogFile::Messages(*files.Only());
    lines.erase(lines.begin());
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"INTTOSTRING -- START -- Passed Number = -7",
                                                  u"INTTOSTRING Inbound number is negative, making a note of that.",
                                                  u"INTTOSTRING First Modulus Number, iDigit=7",
                                                  u"INTTOSTRING Inbound number divided by 10=0",
                                                  u"INTTOSTRING Calculating character code, iDigit=55",
                                                  u"INTTOSTRING Output String=|7|",
                                                  u"INTTOSTRING Negative number, add minus sign...",
                                                  u"INTTOSTRING Output String=|-7|"}));
    INTTOSTRING(log, 0, text);
    EXPECT_EQ(fakes::MemoryLogFile::Messages(*files.Only()).back(),
              u"INTTOSTRING Inbound number is zero, special case, returning.");
}

} // namespace
} // namespace tavelin
