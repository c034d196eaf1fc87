// News text and vocabulary items out of the feed's tree. Both are single
// walks; the item walk resumes after whatever the item's reading visited.
#include "feed/extraction.h"

#include "core/text.h"

namespace tavelin {
namespace {

using namespace std::string_view_literals; // names compared without a length scan each time

std::u16string_view Field(const XmlTreeObject& object, size_t limit) {
    return CutText(object.pData->szValue(), limit);
}

struct ItemReading {
    VocabularyItem fields;
    bool found1 = false;
    bool found2 = false;
    const XmlTreeObject* last = nullptr; // the last element the reading visited
};

void ReadExtras(const XmlTreeObject& extras, VocabularyItem& fields, const XmlTreeObject*& last) {
    for (const XmlTreeObject* c = extras.pFirstChild; c != nullptr; c = c->pNext) {
        last = c;
        if (NameIs(*c, u"type"sv)) fields.type = Field(*c, kWordLimit);
        else if (NameIs(*c, u"transliteration"sv)) fields.transliteration = Field(*c, kWordLimit);
        else if (NameIs(*c, u"notes"sv)) fields.notes = Field(*c, kNotesLimit);
        else if (NameIs(*c, u"tense"sv)) fields.tense = Field(*c, kWordLimit);
        else if (NameIs(*c, u"gender"sv)) fields.gender = Field(*c, kWordLimit);
    }
}

// Words from the children up to the one that completes both; extras only
// right after it.
ItemReading ReadItem(const XmlTreeObject& item) {
    ItemReading r;
    const XmlTreeObject* child = item.pFirstChild;
    for (;;) {
        if (NameIs(*child, u"word1"sv)) {
            r.fields.word1 = Field(*child, kWordLimit);
            r.found1 = true;
        } else if (NameIs(*child, u"word2"sv)) {
            r.fields.word2 = Field(*child, kWordLimit);
            r.found2 = true;
        }
        if ((r.found1 && r.found2) || child->pNext == nullptr) break;
        child = child->pNext;
    }
    if (child->pNext != nullptr) child = child->pNext;
    r.last = child;
    if (NameIs(*child, u"extras"sv)) ReadExtras(*child, r.fields, r.last);
    return r;
}

void AddComposed(const std::u16string& text, Group& messages, Log& log) {
    // One line per item: skip composing it when nothing would be written.
    if (log.Writing()) log.Write(u"GETRSSFEED Tavelin Processing, MORAVIKDATA=|%s|", text);
    char16_t* copy = DuplicateText(text);
    if (copy == nullptr) {
        log.Write(u"GETRSSFEED Tavelin Processing, Error, Memory, Could Not Create New Message Buffer!");
        return;
    }
    if (!messages.Add(copy, messages.GetCount())) {
        log.Write(u"GETRSSFEED Error, Tavelin Processing, Group Class, Could Not Add New Message to Message Group!");
        ReleaseText(copy); // nobody else holds it
    }
}

} // namespace

bool NameIs(const XmlTreeObject& object, std::u16string_view name) {
    return EqualsAsciiLower(object.pData->szName(), name);
}

void ExtractNews(const XmlTree& tree, News& news, Log& log) {
    if (!news.gNewsSet) {
        for (const XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o)) {
            if (NameIs(*o, u"news"sv)) {
                news.gNewsString = CapText(o->pData->szValue(), News::kCapacity - 1);
                news.gNewsSet = true;
                break;
            }
        }
    }
    log.Write(u"GETRSSFEED News String=|%s|", news.gNewsString);
    if (news.gNewsSet && news.gNewsString.size() < 3) {
        news.gNewsSet = false;
        news.gNewsString.clear();
    }
}

void ExtractItems(const XmlTree& tree, Group& messages, bool gExtraEnabled, Log& log) {
    if (tree.pRoot == nullptr) return;
    std::u16string composed;
    composed.reserve(kComposeLimit);
    uint32_t kept = 0, leftOut = 0;
    const XmlTreeObject* o = successor(tree.pRoot);
    while (o != nullptr) {
        if (!NameIs(*o, u"item"sv) || o->pFirstChild == nullptr) {
            o = successor(o);
            continue;
        }
        const ItemReading r = ReadItem(*o);
        if (r.found1 && r.found2 && kept == kDayTextLimit) {
            ++leftOut;
        } else if (r.found1 && r.found2) {
            ++kept;
            ComposeItemInto(composed, r.fields, gExtraEnabled);
            AddComposed(composed, messages, log);
        }
        o = successor(r.last);
    }
    if (leftOut > 0) {
        log.Write(u"GETRSSFEED Tavelin Processing, Day limit of %lu texts reached, %lu more left out.", kDayTextLimit,
                  leftOut);
    }
}

std::u16string ComposeItem(const VocabularyItem& item, bool gExtraEnabled) {
    std::u16string s;
    ComposeItemInto(s, item, gExtraEnabled);
    return s;
}

void ComposeItemInto(std::u16string& s, const VocabularyItem& item, bool gExtraEnabled) {
    s.clear();
    s += item.word1;
    s += u':';
    s += item.word2;
    if (gExtraEnabled) {
        if (!item.transliteration.empty()) s.append(u" (").append(item.transliteration).append(u")");
        if (!item.type.empty()) s.append(u", ").append(item.type);
        if (!item.tense.empty()) s.append(u", ").append(item.tense).append(u" tense");
        if (!item.gender.empty()) s.append(u", gender:").append(item.gender);
        if (!item.notes.empty()) s.append(u", [").append(item.notes).append(u"]");
    }
    s.resize(CutLength(s, kComposeLimit));
}

} // namespace tavelin
