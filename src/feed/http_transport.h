// The HttpTransport port: the platform operations of one feed download, each
// reporting failure as a value with the platform's last-error code beside it.
// Implemented over WinHTTP in src/platform/win32 and scripted in tests/fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavelin {

using HttpHandle = void*; // a session, connection or request; null for none

// The platform's error codes the feed client itself reports.
inline constexpr uint32_t kErrorNotEnoughMemory = 8;       // ERROR_NOT_ENOUGH_MEMORY
inline constexpr uint32_t kErrorHttpTimeout = 12002;       // ERROR_WINHTTP_TIMEOUT
inline constexpr uint32_t kErrorHttpConnection = 12030;    // ERROR_WINHTTP_CONNECTION_ERROR
inline constexpr uint32_t kErrorHttpUnknownScheme = 12006; // ERROR_WINHTTP_UNRECOGNIZED_SCHEME

// Where the pieces of a cracked URL lie inside the URL itself.
struct CrackedUrl {
    std::u16string_view hostName;
    std::u16string_view urlPath; // without the extra info (query, fragment)
    uint16_t port = 0;
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;

    // Synchronous session with the default proxy and the given user agent;
    // its time-outs are the platform's documented defaults, set explicitly.
    virtual HttpHandle OpenSession(std::u16string_view userAgent) = 0;
    virtual bool CrackUrl(std::u16string_view url, CrackedUrl& parts) = 0;
    virtual HttpHandle Connect(HttpHandle session, std::u16string_view hostName, uint16_t port) = 0;
    // A GET for path, HTTP version and accept types left to the library, no TLS.
    virtual HttpHandle OpenRequest(HttpHandle connection, std::u16string_view path) = 0;
    // The same over TLS, every certificate check on and a redirect to plain HTTP
    // never followed. A transport without TLS refuses: no plain request instead.
    virtual HttpHandle OpenSecureRequest(HttpHandle /*connection*/, std::u16string_view /*path*/) { return nullptr; }
    virtual bool SendRequest(HttpHandle request) = 0;
    virtual bool ReceiveResponse(HttpHandle request) = 0;
    // Up to size bytes of the body; read is 0 at its end.
    virtual bool ReadData(HttpHandle request, void* buffer, uint32_t size, uint32_t& read) = 0;
    virtual bool CloseHandle(HttpHandle handle) = 0;
    // The last-error code of the call that just failed.
    virtual uint32_t LastError() = 0;

    // Shortens every time-out of the request to at most milliseconds, so that
    // no single wait outlasts the download's overall deadline.
    virtual void LimitWait(HttpHandle request, uint32_t milliseconds) = 0;
    // The body length the response announced; false when it announced none.
    virtual bool ContentLength(HttpHandle request, uint64_t& length) = 0;
    // Milliseconds from some fixed moment, for the overall deadline.
    virtual uint32_t TickCount() = 0;

    // Whether the bytes look like UTF-16LE text (all of the platform's tests).
    virtual bool IsTextUnicode(const unsigned char* bytes, size_t size) = 0;
    // UTF-8 bytes up to and including their first zero byte (which must exist)
    // into out, which holds capacity units; returns the units written.
    virtual size_t Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t capacity) = 0;
};

} // namespace tavelin
