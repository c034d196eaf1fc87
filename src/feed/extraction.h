// The two things the feed client takes out of a parsed tree: the news text
// (once per process) and one composed display text per vocabulary item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "core/text.h"
#include "feed/xml_tree.h"

namespace tavelin {

inline constexpr size_t kWordLimit = 127;
inline constexpr size_t kNotesLimit = 1023;
inline constexpr size_t kComposeLimit = 4095;

// The working fields of one item, each already cut to its limit.
struct VocabularyItem {
    std::u16string_view word1;
    std::u16string_view word2;
    std::u16string_view type;
    std::u16string_view transliteration;
    std::u16string_view notes;
    std::u16string_view tense;
    std::u16string_view gender;
};

// ASCII case-insensitive comparison of an element name.
bool NameIs(const XmlTreeObject& object, std::u16string_view name);

// Finds the first "news" element when no news is set yet, logs the news text,
// and drops a news text shorter than 3 characters.
void ExtractNews(const XmlTree& tree, News& news, Log& log);

// Appends one composed text per usable item at the tail of messages, the
// first kDayTextLimit of them; the rest are counted in one log line.
void ExtractItems(const XmlTree& tree, Group& messages, bool gExtraEnabled, Log& log);

// word1:word2 and, with grammar on, the non-empty grammar pieces.
std::u16string ComposeItem(const VocabularyItem& item, bool gExtraEnabled);
// The same into out, which keeps its capacity from item to item.
void ComposeItemInto(std::u16string& out, const VocabularyItem& item, bool gExtraEnabled);

} // namespace tavelin
