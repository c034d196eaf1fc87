// WinHTTP behind the HttpTransport port. Time-outs are set explicitly to
// Windows' documented defaults, and each wait is shortened to what is left of
// the download's deadline.
#include "platform/win32/http_winhttp.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/win32/http_bounded_call.h"
#include "platform/win32/wide.h"

namespace tavelin::win32 {
namespace {

constexpr DWORD kResolveTimeout = 0; // unlimited
constexpr DWORD kConnectTimeout = 60000;
constexpr DWORD kSendTimeout = 30000;
constexpr DWORD kReceiveTimeout = 30000;
constexpr DWORD kResponseTimeout = 30000; // waiting for the response headers
constexpr DWORD kGraceMs = 500;           // beyond a time-out, before a call is given up

HINTERNET Internet(HttpHandle h) { return static_cast<HINTERNET>(h); }

void SetTimeouts(HINTERNET h, DWORD most) {
    const auto cap = [most](DWORD value) { return std::max<DWORD>(1, std::min(value, most)); };
    WinHttpSetTimeouts(h, kResolveTimeout, cap(kConnectTimeout), cap(kSendTimeout), cap(kReceiveTimeout));
    DWORD response = cap(kResponseTimeout);
    WinHttpSetOption(h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response, sizeof response);
}

} // namespace

bool WinHttpTransport::Check(bool ok) {
    if (!ok) lastError_ = GetLastError();
    return ok;
}

HttpHandle WinHttpTransport::Check(HttpHandle handle) {
    if (handle == nullptr) lastError_ = GetLastError();
    return handle;
}

HttpHandle WinHttpTransport::OpenSession(std::u16string_view userAgent) {
    const std::wstring agent = to_wide(userAgent);
    HINTERNET session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr) SetTimeouts(session, INFINITE);
    return Check(session);
}

bool WinHttpTransport::CrackUrl(std::u16string_view url, CrackedUrl& parts) {
    url_ = url;
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof components;
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!Check(WinHttpCrackUrl(as_wide(url_.c_str()), static_cast<DWORD>(url_.size()), 0, &components))) {
        return false;
    }
    parts.hostName = {as_u16(components.lpszHostName), components.dwHostNameLength};
    parts.urlPath = {as_u16(components.lpszUrlPath), components.dwUrlPathLength};
    parts.port = components.nPort;
    return true;
}

HttpHandle WinHttpTransport::Connect(HttpHandle session, std::u16string_view hostName, uint16_t port) {
    const std::wstring host = to_wide(hostName);
    return Check(WinHttpConnect(Internet(session), host.c_str(), port, 0));
}

// No security flag is ever relaxed: a certificate the system does not trust
// for this name and date fails the send. The redirect policy is set even
// though it is Windows' default, so no configuration can weaken it.
HttpHandle WinHttpTransport::Open(HttpHandle connection, std::u16string_view path, bool secure) {
    const std::wstring resource = to_wide(path);
    HINTERNET request = WinHttpOpenRequest(Internet(connection), nullptr, resource.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           secure ? WINHTTP_FLAG_SECURE : 0);
    if (request == nullptr || !secure) return Check(request);
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy)) {
        lastError_ = GetLastError();
        WinHttpCloseHandle(request);
        return nullptr;
    }
    return request;
}

HttpHandle WinHttpTransport::OpenRequest(HttpHandle connection, std::u16string_view path) {
    return Open(connection, path, false);
}

HttpHandle WinHttpTransport::OpenSecureRequest(HttpHandle connection, std::u16string_view path) {
    return Open(connection, path, true);
}

bool WinHttpTransport::Bounded(HttpHandle request, int (*call)(void* request)) {
    // The library's own time-outs, where it keeps them, speak first.
    const DWORD wait = waitLimit_ >= INFINITE - kGraceMs ? INFINITE : waitLimit_ + kGraceMs;
    const BoundedCall r = CallWithin(Internet(request), call, wait);
    if (r.abandoned) abandoned_ = request;
    if (!r.ok) lastError_ = r.error;
    return r.ok;
}

bool WinHttpTransport::SendRequest(HttpHandle request) {
    return Bounded(request, [](HINTERNET h) {
        return WinHttpSendRequest(h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
    });
}

bool WinHttpTransport::ReceiveResponse(HttpHandle request) {
    return Bounded(request, [](HINTERNET h) { return WinHttpReceiveResponse(h, nullptr); });
}

// Asks only for what has arrived: a read of the full size would wait for all
// of it (under Wine a body dripping a byte at a time never trips a time-out).
bool WinHttpTransport::ReadData(HttpHandle request, void* buffer, uint32_t size, uint32_t& read) {
    read = 0;
    DWORD available = 0;
    if (!Check(WinHttpQueryDataAvailable(Internet(request), &available) != FALSE)) return false;
    if (available == 0) return true;
    DWORD n = 0;
    const bool ok = Check(WinHttpReadData(Internet(request), buffer, std::min<DWORD>(size, available), &n) != FALSE);
    read = ok ? n : 0;
    return ok;
}

bool WinHttpTransport::CloseHandle(HttpHandle handle) {
    if (handle != nullptr && handle == abandoned_) {
        abandoned_ = nullptr; // its unfinished call closes it
        return true;
    }
    return Check(WinHttpCloseHandle(Internet(handle)) != FALSE);
}

void WinHttpTransport::LimitWait(HttpHandle request, uint32_t milliseconds) {
    waitLimit_ = milliseconds;
    SetTimeouts(Internet(request), milliseconds);
}

bool WinHttpTransport::ContentLength(HttpHandle request, uint64_t& length) {
    wchar_t text[32] = {};
    DWORD bytes = sizeof text;
    if (!WinHttpQueryHeaders(Internet(request), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text,
                             &bytes, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    length = 0;
    bool digits = false;
    for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p) {
        // Too many digits to hold is still far too long, never short.
        const uint64_t digit = static_cast<uint64_t>(*p - L'0');
        length = length > (UINT64_MAX - digit) / 10 ? UINT64_MAX : length * 10 + digit;
        digits = true;
    }
    return digits;
}

uint32_t WinHttpTransport::TickCount() { return GetTickCount(); }

bool WinHttpTransport::IsTextUnicode(const unsigned char* bytes, size_t size) {
    return ::IsTextUnicode(bytes, static_cast<int>(std::min<size_t>(size, INT_MAX)), nullptr) != FALSE;
}

size_t WinHttpTransport::Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t capacity) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCCH>(bytes), -1, as_wide(out),
                                      static_cast<int>(std::min<size_t>(capacity, INT_MAX)));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

} // namespace tavelin::win32
