// What the saver would take from a feed document's bytes: its news text and
// its day's lines, through the saver's own download path, decoding, reader
// and extraction.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

struct FeedLines {
    bool accepted = false; // false: the saver takes these bytes as a failed download
    std::u16string news;   // empty when the saver shows no ticker
    std::vector<std::u16string> lines;
};

// gExtraEnabled: grammar notes composed into the lines, as the setting does.
FeedLines ReadFeedLines(std::string_view bytes, bool gExtraEnabled);

// UTF-8 of one text for a line of output: control characters become their
// pictures (U+2400 on), so a text never spans two lines, and a lone surrogate
// becomes U+FFFD. altered is set when either happened.
std::string PrintableUtf8(std::u16string_view text, bool& altered);

} // namespace tavelin
