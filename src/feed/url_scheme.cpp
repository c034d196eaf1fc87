// The scheme of a feed address, read once and the same way by the host that
// builds the address and the download that opens the request.
#include "feed/url_scheme.h"

namespace tavelin {
namespace {

bool SameIgnoringCase(std::u16string_view text, std::u16string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] + 32) : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

} // namespace

SchemeSplit SplitScheme(std::u16string_view address) {
    const size_t mark = address.find(u"://");
    if (mark == std::u16string_view::npos) return {UrlScheme::None, address};
    const std::u16string_view name = address.substr(0, mark);
    const std::u16string_view rest = address.substr(mark + 3);
    if (SameIgnoringCase(name, u"https")) return {UrlScheme::Https, rest};
    if (SameIgnoringCase(name, u"http")) return {UrlScheme::Http, rest};
    return {UrlScheme::Unknown, rest};
}

} // namespace tavelin
