// The in-memory transport: handles are tokens, reads walk the body, and the
// text decoding is the saver's portable one.
#include "file_transport.h"

#include <algorithm>
#include <cstring>

#include "feed/text_decoding.h"

namespace tavelin {
namespace {

// Distinct non-null tokens; nothing behind them.
HttpHandle Token(uintptr_t n) { return reinterpret_cast<HttpHandle>(n); }

} // namespace

HttpHandle FileTransport::OpenSession(std::u16string_view) { return Token(1); }
HttpHandle FileTransport::Connect(HttpHandle, std::u16string_view, uint16_t) { return Token(2); }
HttpHandle FileTransport::OpenRequest(HttpHandle, std::u16string_view) { return Token(3); }

// "scheme://host/path": the parts are views into url, as the port asks.
bool FileTransport::CrackUrl(std::u16string_view url, CrackedUrl& parts) {
    const size_t scheme = url.find(u"://");
    if (scheme == std::u16string_view::npos) return false;
    const std::u16string_view rest = url.substr(scheme + 3);
    const size_t slash = std::min(rest.find(u'/'), rest.size());
    parts.hostName = rest.substr(0, slash);
    parts.urlPath = rest.substr(slash);
    parts.port = 80;
    return true;
}

bool FileTransport::ReadData(HttpHandle, void* buffer, uint32_t size, uint32_t& read) {
    const size_t n = std::min<size_t>(size, body_.size() - offset_);
    if (n != 0) std::memcpy(buffer, body_.data() + offset_, n);
    offset_ += n;
    read = static_cast<uint32_t>(n);
    return true;
}

bool FileTransport::ContentLength(HttpHandle, uint64_t& length) {
    length = body_.size();
    return true;
}

bool FileTransport::IsTextUnicode(const unsigned char* bytes, size_t size) {
    return PortableIsTextUnicode(bytes, size);
}

// The decoder stops at the first zero byte, which the download guarantees.
size_t FileTransport::Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t) {
    return PortableUtf8ToUtf16(bytes, std::strlen(reinterpret_cast<const char*>(bytes)) + 1, out);
}

} // namespace tavelin
