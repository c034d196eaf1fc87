// Steps over the program path, then reads the first mode letter and its number.
#include "host/command_line.h"

namespace tavelin {
namespace {

// Past the program path and the white space and control characters after it.
size_t SkipProgramPath(std::u16string_view text) {
    size_t i = 0;
    if (i < text.size() && text[i] == u'"') {
        ++i;
        while (i < text.size() && text[i] != u'"') ++i;
        if (i < text.size()) ++i; // the closing quote
    } else {
        while (i < text.size() && text[i] > 32) ++i;
    }
    while (i < text.size() && text[i] >= 1 && text[i] <= 32) ++i;
    return i;
}

size_t SkipBlanks(std::u16string_view text, size_t i) {
    while (i < text.size() && text[i] == u' ') ++i;
    return i;
}

} // namespace

uint32_t ParseWindowNumber(std::u16string_view text) {
    uint64_t n = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        n = n * 10 + static_cast<uint64_t>(c - u'0');
        if (n > UINT32_MAX) return 0;
    }
    return static_cast<uint32_t>(n);
}

SaverCommand ParseCommandLine(std::u16string_view commandLine) {
    // The command line ends at its first NUL, as the platform's text does.
    const size_t nul = commandLine.find(u'\0');
    const std::u16string_view text = commandLine.substr(0, nul);
    for (size_t i = SkipProgramPath(text); i <= text.size(); ++i) {
        if (i == text.size()) return {SaverMode::ConfigureAlone, 0};
        switch (text[i]) {
        case u' ':
        case u'-':
        case u'/':
            continue;
        case u's':
        case u'S':
            return {SaverMode::FullScreen, 0};
        case u'p':
        case u'P':
        case u'l':
        case u'L':
            return {SaverMode::Preview, ParseWindowNumber(text.substr(SkipBlanks(text, i + 1)))};
        case u'a':
        case u'A':
            return {SaverMode::PasswordChange, ParseWindowNumber(text.substr(SkipBlanks(text, i + 1)))};
        case u'c':
        case u'C':
            // Only a colon introduces the owner's number: "/c 1234" has none.
            if (i + 1 < text.size() && text[i + 1] == u':')
                return {SaverMode::Configure, ParseWindowNumber(text.substr(i + 2))};
            return {SaverMode::Configure, 0};
        default:
            return {SaverMode::Invalid, 0};
        }
    }
    return {SaverMode::Invalid, 0};
}

} // namespace tavelin
