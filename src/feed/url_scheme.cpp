// The scheme of a feed address, read once and the same way by the host that
// builds the address and the download that opens the request.
#include "feed/url_scheme.h"

#include "core/text.h"

namespace tavelin {

SchemeSplit SplitScheme(std::u16string_view address) {
    const size_t mark = address.find(u"://");
    if (mark == std::u16string_view::npos) return {UrlScheme::None, address};
    const std::u16string_view name = address.substr(0, mark);
    const std::u16string_view rest = address.substr(mark + 3);
    if (EqualsAsciiLower(name, u"https")) return {UrlScheme::Https, rest};
    if (EqualsAsciiLower(name, u"http")) return {UrlScheme::Http, rest};
    return {UrlScheme::Unknown, rest};
}

} // namespace tavelin
