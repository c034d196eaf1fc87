// Which transport an address asks for: "https://" a TLS request, "http://" or
// no scheme at all the plain request the saver has always made.
#pragma once

#include <string_view>

namespace tavelin {

enum class UrlScheme {
    None,    // no "://": a bare host, fetched over plain HTTP
    Http,    // "http://"
    Https,   // "https://"
    Unknown, // any other text before "://": never fetched
};

struct SchemeSplit {
    UrlScheme scheme = UrlScheme::None;
    std::u16string_view rest; // what follows "://", or the whole address without one
};

// The scheme is matched without regard to case, as the platform's URL cracker does.
SchemeSplit SplitScheme(std::u16string_view address);

} // namespace tavelin
