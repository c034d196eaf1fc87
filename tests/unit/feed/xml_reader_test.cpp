// The feed reader: documents to trees (the reader's quirks included), the
// field limits, the dump lines, and inputs that must stay linear and stackless.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/xml_tree.h"
#include "unit/feed/feed_test_support.h"

namespace tavelin {
namespace {

using testing_support::RecordingLog;
using testing_support::Render;
using Lines = std::vector<std::string>;

Lines Parse(std::u16string_view text) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, text, recording.log);
    Lines lines = Render(tree);
    DeleteXmlTreeData(tree);
    DeleteXmlTreeObjects(tree);
    return lines;
}

struct Case {
    const char* what;
    std::u16string_view input;
    Lines tree;
};

const Case kCases[] = {
    {"declaration leaves no trace", u"<?xml version=\"1.0\"?><a><b>x</b></a>", {"1 a:", "2 b:x"}},
    {"named references", u"<w>&eacute;t&eacute;</w>", {"1 w:été"}},
    {"names are case-sensitive", u"<w>&Eacute;&EACUTE;</w>", {"1 w:É&EACUTE"}},
    {"numeric references", u"<w>&#x41;&#65;&#x6a;&#X4g1;</w>", {"1 w:AAjA"}},
    {"no digits give nothing", u"<w>&#;x&#x;</w>", {"1 w:x"}},
    {"unknown name kept without ';'", u"<w>&bogus;x</w>", {"1 w:&bogusx"}},
    {"an escaped '<' ends the text", u"<d>one &lt;br&gt; two</d>", {"1 d:one "}},
    {"&amp; before lt; is not an escaped '<'", u"<w>&amp;lt;</w>", {"1 w:&lt;"}},
    {"reference collection stops at 16 units", u"<w>&abcdefghijklmnopqrst;</w>", {"1 w:&abcdefghijklmnopqrst;"}},
    {"a ';' right after 16 collected units is text", u"<w>&abcdefghijklmno;x</w>", {"1 w:&abcdefghijklmno;x"}},
    {"30 digits wrap at 16 bits", u"<w>&#123456789012345678901234567890;</w>",
     {"1 w:\u2ff25678901234567890;"}},
    {"CDATA at the start of content", u"<d><![CDATA[a < b & c] d]]></d>", {"1 d:a < b & c] d"}},
    {"CDATA elsewhere is an element", u"<d>x<![CDATA[y]]></d>", {"1 d:x", "2 ![CDATA[y]]:"}},
    {"line break after a start tag is the value", u"<i>\n<w>x</w></i>", {"1 i:\n", "2 w:x"}},
    {"text after an end tag is lost", u"<a>x<b>z</b>y</a>", {"1 a:x", "2 b:z"}},
    {"a second top-level element nests in the root", u"<a></a><b>2</b>", {"1 a:", "2 b:2"}},
    {"self-closed siblings keep their '/'", u"<r><a x=\"1\"/><b y=\"2\"/></r>",
     {"1 r:", "2 a: [x=\"1\"/]", "2 b: [y=\"2\"/]"}},
    {"text after a self-closed element is its value", u"<r><a />t<c/></r>", {"1 r:", "2 a:t [/]", "2 c:"}},
    {"<b/> closes at once", u"<r><b/>x<c>y</c></r>", {"1 r:", "2 b:x", "2 c:y"}},
    {"comment at content start is text", u"<r><!-- c --><a>1</a></r>", {"1 r:!-- c -->", "2 a:1"}},
    {"comment elsewhere opens an element", u"<r><a>1</a><!-- c --><b>2</b></r>",
     {"1 r:", "2 a:1", "2 !--: [c --]", "3 b:2"}},
    {"escaped '<' at content start", u"<a>&lt;b</a><c/>", {"1 a:", "2 c:"}},
    {"names keep tabs and line breaks", u"<a\tb>x</a\tb>", {"1 a\tb:x"}},
    {"a byte-order mark is skipped", u"\uFEFF<a>x</a>", {"1 a:x"}},
    {"end tag before any element", u"</x><a>1</a>", {"1 a:1"}},
    {"cut in a tag name", u"<a><b", {"1 a:", "2 :"}},
    {"cut in attributes", u"<a><b c='1", {"1 a:", "2 b:"}},
    {"cut in text", u"<a>text", {"1 a:"}},
    {"cut in CDATA", u"<a><![CDATA[abc", {"1 a:"}},
    {"cut in a reference", u"<a>x&#12", {"1 a:"}},
    {"text after references moves down intact", u"<r><a>x&amp;y&#65;z&bogus;q</a><b c='&amp;'>&eacute;&eacute;</b><c>w</c></r>",
     {"1 r:", "2 a:x&yAz&bogusq", "2 b:éé [c='&amp;']", "2 c:w"}},
    {"text ends at a NUL", std::u16string_view(u"<a>x</a>\0<b/>", 13), {"1 a:x"}},
    {"no element at all", u"plain text, no tags", {}},
    {"empty text", u"", {}},
};

TEST(XmlReader, DocumentsGiveTreesByTheRules) {
    for (const Case& c : kCases) {
        EXPECT_EQ(Parse(c.input), c.tree) << c.what;
    }
}

TEST(XmlReader, CountsDepthsAndLinks) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, u"<r><a><x/></a><b/><c/></r>", recording.log);
    EXPECT_EQ(tree.iObjects, 5);
    XmlTreeObject* r = tree.pRoot;
    ASSERT_EQ(r->iChildren, 3);
    XmlTreeObject* a = r->pFirstChild;
    XmlTreeObject* c = a->pNext->pNext;
    EXPECT_EQ(c->pPrev->pPrev, a);
    EXPECT_EQ(c->pNext, nullptr);
    EXPECT_EQ(c->pParent, r);
    EXPECT_EQ(a->pFirstChild->iDepth, 3);
    EXPECT_EQ(recording.Messages(), Lines{"POPULATEXMLTREE *** Starting ***"});
}

TEST(XmlReader, FieldsAreCutAtTheirLimits) {
    const std::u16string longName(300, u'n'), longAttributes(300, u'a'), longText(1500, u't');
    struct Fields {
        std::u16string szName, szValue, szAttributes;
    };
    const auto one = [](const std::u16string& doc) {
        RecordingLog recording;
        XmlTree tree;
        POPULATEXMLTREE(tree, doc, recording.log);
        EXPECT_NE(tree.pRoot, nullptr);
        if (tree.pRoot == nullptr) return Fields{};
        const XmlTreeData& d = *tree.pRoot->pData;
        return Fields{std::u16string(d.szName()), std::u16string(d.szValue()), std::u16string(d.szAttributes())};
    };
    Fields d = one(u"<" + longName + u" " + longAttributes + u">" + longText + u"</x>");
    EXPECT_EQ(d.szName.size(), 255u);
    EXPECT_EQ(d.szAttributes.size(), 255u);
    EXPECT_EQ(d.szValue, std::u16string_view(longText).substr(0, 1023));
    d = one(u"<x><![CDATA[" + longText + u"]]></x>");
    EXPECT_EQ(d.szValue.size(), 1023u);
    // A reference past the limit is dropped, not half-written.
    d = one(u"<x>" + std::u16string(1023, u't') + u"&eacute;</x>");
    EXPECT_EQ(d.szValue, std::u16string(1023, u't'));
    // References shrink the text first: the limit counts the units kept.
    std::u16string references;
    for (int i = 0; i < 600; ++i) references += u"&amp;";
    d = one(u"<x>" + references + longText + u"</x>");
    EXPECT_EQ(d.szValue, std::u16string(600, u'&') + std::u16string(423, u't'));
    // A cut through a surrogate pair drops the pair whole, and nothing after it slips in.
    std::u16string faces;
    for (int i = 0; i < 600; ++i) faces += u"\U0001F600";
    d = one(u"<x>" + faces + u"&amp;z</x>");
    EXPECT_EQ(d.szValue, faces.substr(0, 1022));
    // A 256-unit name ending in '/': the '/' was beyond the limit, the tag still closes.
    const std::u16string tag = u"<r><" + std::u16string(255, u'b') + u"/><c/></r>";
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, tag, recording.log);
    EXPECT_EQ(tree.pRoot->iChildren, 2);
    EXPECT_EQ(tree.pRoot->pFirstChild->pData->szName(), std::u16string(255, u'b'));
}

TEST(XmlReader, DumpLineSwapsTooLongValues) {
    // Name and value in one text, as the reader leaves them.
    const std::u16string text = u"w" + std::u16string(1000 - 2 - 1, u'v');
    const std::u16string_view name = std::u16string_view(text).substr(0, 1);
    XmlTreeData data;
    data.SetName(name);
    XmlTreeObject object;
    object.pData = &data;
    object.iDepth = 2;
    const std::u16string_view fits = std::u16string_view(text).substr(1, 1000 - 2 - 1 - 1); // depth + name + ':' + value = 1000
    data.SetValue(fits);
    EXPECT_EQ(DumpLine(object), u"  w:" + std::u16string(fits));
    data.SetValue(std::u16string_view(text).substr(1));
    EXPECT_EQ(DumpLine(object), u"  w:STRING TOO LONG TO PRINT");
}

TEST(XmlReader, DumpSkipsTheRootAndWritesNothingWhenOff) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, u"<feed><news>hi</news><item><word1>a</word1></item></feed>", recording.log);
    DumpXmlTree(tree, recording.log);
    EXPECT_EQ(recording.Messages(), (Lines{"POPULATEXMLTREE *** Starting ***", "  news:hi", "  item:", "   word1:a"}));
    recording.log.gLogEnabled = false;
    DumpXmlTree(tree, recording.log);
    EXPECT_EQ(recording.Messages().size(), 4u);
}

TEST(XmlReader, DeletionEmptiesTheTree) {
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, u"<a x='1'>v<b>w</b></a>", recording.log);
    DeleteXmlTreeData(tree);
    for (const XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o)) {
        EXPECT_TRUE(o->pData->szName().empty() && o->pData->szValue().empty() && o->pData->szAttributes().empty());
    }
    DeleteXmlTreeObjects(tree);
    EXPECT_EQ(tree.pRoot, nullptr);
    EXPECT_EQ(tree.pCurrent, nullptr);
    EXPECT_EQ(tree.iObjects, 0);
    EXPECT_EQ(tree.text, nullptr);
}

// 100,000 unclosed elements: parse, walk, dump and delete without recursion.
TEST(XmlReader, DeepNestingNeedsNoStack) {
    std::u16string doc;
    for (int i = 0; i < 100000; ++i) doc += u"<a>";
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, doc, recording.log);
    EXPECT_EQ(tree.iObjects, 100000);
    const XmlTreeObject* last = tree.pRoot;
    int walked = 0;
    for (const XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o), ++walked) last = o;
    EXPECT_EQ(walked, 100000);
    EXPECT_EQ(last->iDepth, 100000);
    EXPECT_EQ(DumpLine(*last).size(), kMessageLimit);
    DeleteXmlTreeData(tree);
    DeleteXmlTreeObjects(tree);
}

TEST(XmlReader, FlatRootLinksInLinearTime) {
    std::u16string doc = u"<r>";
    for (int i = 0; i < 100000; ++i) doc += u"<i/>";
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, doc, recording.log);
    EXPECT_EQ(tree.iObjects, 100001);
    EXPECT_EQ(tree.pRoot->iChildren, 100000);
    int siblings = 0;
    const XmlTreeObject* last = nullptr;
    for (const XmlTreeObject* c = tree.pRoot->pFirstChild; c != nullptr; c = c->pNext, ++siblings) {
        if (c->pPrev != last) break;
        last = c;
    }
    EXPECT_EQ(siblings, 100000);
}

// One element more than the limit: the reader keeps the first ones and says so.
TEST(XmlReader, StopsAtTheElementLimit) {
    std::u16string doc = u"<r>";
    for (int i = 2; i < kElementLimit; ++i) doc += u"<i/>"; // the root, these, and "last"
    doc += u"<last/>";
    RecordingLog recording;
    XmlTree tree;
    POPULATEXMLTREE(tree, doc, recording.log);
    const auto lastChild = [](const XmlTree& t) {
        const XmlTreeObject* c = t.pRoot->pFirstChild;
        while (c->pNext != nullptr) c = c->pNext;
        return ToUtf8(c->pData->szName());
    };
    EXPECT_EQ(tree.iObjects, kElementLimit);
    EXPECT_EQ(lastChild(tree), "last");
    EXPECT_EQ(recording.Messages().back(), "POPULATEXMLTREE *** Starting ***");
    doc.insert(doc.size() - 7, u"<i/>");
    XmlTree over;
    POPULATEXMLTREE(over, doc, recording.log);
    EXPECT_EQ(over.iObjects, kElementLimit);
    EXPECT_EQ(lastChild(over), "i");
    EXPECT_EQ(recording.Messages().back(),
              "POPULATEXMLTREE Element limit of 2097152 reached, the rest of the document is ignored.");
}

} // namespace
} // namespace tavelin
