// The RegistryStore semantics every store must keep: created versus existed,
// "larger than the buffer" as a failure, exact bytes, subkey deletion.
#pragma once

#include "unit/settings/store_harness.h"

namespace tavelin::contract {

TEST_P(SettingsContract, CreateOrOpenReportsCreatedThenExistedAndMakesParents) {
    const OpenResult first = store().CreateOrOpen(Hive::LocalMachine, kDataPath);
    ASSERT_TRUE(first.ok);
    EXPECT_TRUE(first.createdNew);
    store().Close(first.key);
    EXPECT_TRUE(Existed(kDataPath));
    EXPECT_TRUE(Existed(kSettingsPath)); // made on the way to "Data"
}

TEST_P(SettingsContract, QueryFailsWhenAbsentOrLargerThanTheBuffer) {
    PutText(kSettingsPath, u"Seven", u"1234567"); // 14 bytes
    const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    ASSERT_TRUE(r.ok);
    ScopedKey key(store(), r.key);
    unsigned char buffer[16] = {};
    EXPECT_FALSE(store().Query(key.get(), u"Missing", buffer, sizeof buffer).ok);
    EXPECT_FALSE(store().Query(key.get(), u"Seven", buffer, 13).ok);
    const QueryResult exact = store().Query(key.get(), u"Seven", buffer, 14);
    EXPECT_TRUE(exact.ok);
    EXPECT_EQ(exact.bytes, 14u);
    EXPECT_EQ(exact.type, kRegSz);
    EXPECT_EQ(buffer[12], '7');
    // The type is reported, not checked: a text reads as bytes into any buffer.
    PutText(kSettingsPath, u"Short", u"ab");
    uint32_t word = 0;
    const QueryResult asWord = store().Query(key.get(), u"Short", &word, sizeof word);
    EXPECT_TRUE(asWord.ok);
    EXPECT_EQ(asWord.type, kRegSz);
    EXPECT_EQ(word, 0x00620061u);
}

TEST_P(SettingsContract, SetStoresExactlyTheBytesGiven) {
    struct Row {
        const char* what;
        uint32_t type;
        std::vector<unsigned char> bytes;
    };
    const std::vector<Row> rows = {
        {"empty text", kRegSz, {}},
        {"text without NUL", kRegSz, BytesOf(u"abc")},
        {"odd byte count", kRegSz, {'a', 0, 'b', 0, 'c'}},
        {"embedded NUL", kRegSz, BytesOf(std::u16string(u"ab\0cd", 5))},
        {"non-ASCII", kRegSz, BytesOf(u"\u00dcml\u00e4ut \u2603 \U0001F600")},
        {"binary", kRegBinary, {0, 1, 2, 0xFF, 0}},
        {"dword", kRegDword, {25, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // The source's next unit is NUL here, which must not add a unit to the value.
        std::vector<unsigned char> source = row.bytes;
        source.insert(source.end(), {0, 0, 0, 0});
        const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, kSettingsPath);
        ASSERT_TRUE(r.ok);
        ScopedKey key(store(), r.key);
        ASSERT_TRUE(store().Set(key.get(), u"V", row.type, source.data(), static_cast<uint32_t>(row.bytes.size())));
        const auto got = Fetch(kSettingsPath, u"V");
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->type, row.type);
        EXPECT_EQ(got->bytes, row.bytes);
    }
}

TEST_P(SettingsContract, DeleteSubkeyRemovesTheKeyWithItsValuesOnce) {
    PutText(kDataPath, u"0001", u"one");
    const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    ASSERT_TRUE(r.ok);
    ScopedKey key(store(), r.key);
    EXPECT_TRUE(store().DeleteSubkey(key.get(), kDataName));
    EXPECT_FALSE(store().DeleteSubkey(key.get(), kDataName));
    EXPECT_FALSE(Existed(kDataPath));
    EXPECT_FALSE(Fetch(kDataPath, u"0001").has_value());
}

} // namespace tavelin::contract
