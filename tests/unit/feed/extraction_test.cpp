// Vocabulary extraction: documents to composed texts with and without grammar,
// the news rules, the group refusing a text and the day's limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/extraction.h"
#include "unit/feed/feed_test_support.h"

namespace tavelin {
namespace {

using testing_support::RecordingLog;
using testing_support::Texts;
using Lines = std::vector<std::string>;

struct Extracted {
    Lines texts;
    Lines log; // after the reader's own line
};

Extracted Extract(std::u16string_view doc, bool extra, Group* into = nullptr) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, doc, recording.log);
    Group local;
    Group& group = into != nullptr ? *into : local;
    ExtractItems(tree, group, extra, recording.log);
    Extracted out{Texts(group), recording.Messages()};
    out.log.erase(out.log.begin());
    testing_support::ReleaseAll(local);
    return out;
}

constexpr std::u16string_view kFull =
    u"<feed><item><word1>casa</word1><word2>house</word2><extras><type>noun</type>"
    u"<transliteration>ka-sa</transliteration><notes>plural casas</notes><gender>feminine</gender>"
    u"</extras></item></feed>";

struct Case {
    const char* what;
    std::u16string_view doc;
    Lines plain;   // gExtraEnabled clear
    Lines grammar; // gExtraEnabled set
};

const Case kCases[] = {
    {"every grammar piece but tense", kFull, {"casa:house"},
     {"casa:house (ka-sa), noun, gender:feminine, [plural casas]"}},
    {"tense follows the type",
     u"<f><item><word1>ir</word1><word2>go</word2><extras><tense>past</tense><type>verb</type></extras></item></f>",
     {"ir:go"}, {"ir:go, verb, past tense"}},
    {"words in either order", u"<f><item><word2>house</word2><word1>casa</word1></item></f>", {"casa:house"},
     {"casa:house"}},
    {"extras must follow the later word",
     u"<f><item><word1>a</word1><word2>b</word2><x/><extras><type>t</type></extras></item></f>", {"a:b"},
     {"a:b"}},
    {"a lone word yields nothing", u"<f><item><word1>a</word1></item><item><word1>c</word1><word2>d</word2></item></f>",
     {"c:d"}, {"c:d"}},
    {"names in any case", u"<F><ITEM><Word1>a</Word1><WORD2>b</WORD2><EXTRAS><Type>t</Type></EXTRAS></ITEM></F>",
     {"a:b"}, {"a:b, t"}},
    {"an empty or last extras hides nothing",
     u"<f><item><word1>a</word1><word2>b</word2><extras/></item><item><word1>c</word1><word2>d</word2><extras>"
     u"</extras></item><item><word1>e</word1><word2>f</word2></item></f>",
     {"a:b", "c:d", "e:f"}, {"a:b", "c:d", "e:f"}},
    {"the root is never an item", u"<item><word1>a</word1><word2>b</word2></item>", {}, {}},
    {"an item without children", u"<f><item>x</item><item><word1>a</word1><word2>b</word2></item></f>", {"a:b"},
     {"a:b"}},
    {"a repeated word overwrites, white space kept",
     u"<f><item><word1>x</word1><word1> A\n</word1><word2>b</word2></item></f>", {" A\n:b"}, {" A\n:b"}},
    {"no items", u"<html><body>Not Found</body></html>", {}, {}},
};

TEST(Extraction, ItemsComposeByTheTable) {
    for (const Case& c : kCases) {
        EXPECT_EQ(Extract(c.doc, false).texts, c.plain) << c.what;
        EXPECT_EQ(Extract(c.doc, true).texts, c.grammar) << c.what << " (grammar)";
    }
}

TEST(Extraction, FieldsAreCutAtTheirLimits) {
    const std::u16string word(200, u'w'), notes(1023, u'n');
    const std::u16string doc = u"<f><item><word1>" + word + u"</word1><word2>x</word2><extras><notes>" + notes +
                               u"</notes><type>" + word + u"</type></extras></item></f>";
    const Lines texts = Extract(doc, true).texts;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], std::string(127, 'w') + ":x, " + std::string(127, 'w') + ", [" + std::string(1023, 'n') + "]");
    // A cut through a surrogate pair drops the whole pair.
    const std::u16string face = std::u16string(126, u'v') + u"\U0001F600";
    EXPECT_EQ(Extract(u"<f><item><word1>" + face + u"</word1><word2>y</word2></item></f>", false).texts,
              Lines{std::string(126, 'v') + ":y"});
}

TEST(Extraction, LogsEachTextAndAppendsAtTheTail) {
    Group group;
    char16_t* before = DuplicateText(u"earlier");
    group.Add(before);
    const Extracted out = Extract(u"<f><item><word1>a</word1><word2>b</word2></item></f>", false, &group);
    EXPECT_EQ(out.texts, (Lines{"earlier", "a:b"}));
    EXPECT_EQ(out.log, Lines{"GETRSSFEED Tavelin Processing, MORAVIKDATA=|a:b|"});
    testing_support::ReleaseAll(group);
}

TEST(Extraction, GroupRefusalIsLoggedAndTheWalkGoesOn) {
    Group group;
    group.SetAllocationGate([](void*) { return false; }, nullptr);
    const Extracted out = Extract(
        u"<f><item><word1>a</word1><word2>b</word2></item><item><word1>c</word1><word2>d</word2></item></f>", false,
        &group);
    EXPECT_TRUE(out.texts.empty());
    const std::string refused =
        "GETRSSFEED Error, Tavelin Processing, Group Class, Could Not Add New Message to Message Group!";
    EXPECT_EQ(out.log, (Lines{"GETRSSFEED Tavelin Processing, MORAVIKDATA=|a:b|", refused,
                              "GETRSSFEED Tavelin Processing, MORAVIKDATA=|c:d|", refused}));
}

// The 9,999th text is kept, the 10,000th and later ones counted in one line.
TEST(Extraction, ADayKeepsAtMost9999Texts) {
    const struct {
        int items;
        size_t kept;
        std::string last;
    } cases[] = {
        {9999, 9999, "GETRSSFEED Tavelin Processing, MORAVIKDATA=|9999:b|"},
        {10000, 9999, "GETRSSFEED Tavelin Processing, Day limit of 9999 texts reached, 1 more left out."},
        {10002, 9999, "GETRSSFEED Tavelin Processing, Day limit of 9999 texts reached, 3 more left out."},
    };
    for (const auto& c : cases) {
        std::u16string doc = u"<f>";
        for (int i = 1; i <= c.items; ++i) {
            doc += u"<item><word1>" + FromUtf8(std::to_string(i)) + u"</word1><word2>b</word2></item>";
            if (i == 5000) doc += u"<item><word1>no second word</word1></item>"; // not a text, not counted
        }
        const Extracted out = Extract(doc + u"</f>", false);
        ASSERT_EQ(out.texts.size(), c.kept) << c.items;
        EXPECT_EQ(out.texts.back(), "9999:b");
        EXPECT_EQ(out.log.back(), c.last);
        EXPECT_EQ(out.log.size(), c.kept + (c.items > 9999 ? 1 : 0));
    }
}

struct NewsResult {
    std::string text;
    bool set;
    Lines log;
};

NewsResult News_(std::u16string_view doc, News news = {}) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, doc, recording.log);
    ExtractNews(tree, news, recording.log);
    Lines log = recording.Messages();
    log.erase(log.begin());
    return {ToUtf8(news.gNewsString), news.gNewsSet, log};
}

TEST(Extraction, NewsIsTheFirstNewsElementOfThreeOrMoreCharacters) {
    NewsResult r = News_(u"<news>root news<item><news>inner</news></item></news>");
    EXPECT_EQ(r.text, "root news");
    EXPECT_TRUE(r.set);
    EXPECT_EQ(r.log, Lines{"GETRSSFEED News String=|root news|"});
    r = News_(u"<f><item><NEWS>abc</NEWS></item><news>later</news></f>");
    EXPECT_EQ(r.text, "abc");
    EXPECT_TRUE(r.set);
    r = News_(u"<f><news>ab</news></f>");
    EXPECT_EQ(r.text, "");
    EXPECT_FALSE(r.set);
    EXPECT_EQ(r.log, Lines{"GETRSSFEED News String=|ab|"});
    r = News_(u"<f><item/></f>");
    EXPECT_EQ(r.log, Lines{"GETRSSFEED News String=||"});
    EXPECT_FALSE(r.set);
}

TEST(Extraction, NewsIsSearchedOncePerProcess) {
    News earlier;
    earlier.gNewsString = u"kept news";
    earlier.gNewsSet = true;
    const NewsResult r = News_(u"<f><news>new news</news></f>", earlier);
    EXPECT_EQ(r.text, "kept news");
    EXPECT_TRUE(r.set);
}

} // namespace
} // namespace tavelin
