// The HttpTransport port over WinHTTP (synchronous, default proxy, TLS when asked),
// IsTextUnicode and MultiByteToWideChar.
#pragma once

#include <string>

#include "feed/http_transport.h"

namespace tavelin::win32 {

class WinHttpTransport : public HttpTransport {
public:
    HttpHandle OpenSession(std::u16string_view userAgent) override;
    bool CrackUrl(std::u16string_view url, CrackedUrl& parts) override;
    HttpHandle Connect(HttpHandle session, std::u16string_view hostName, uint16_t port) override;
    HttpHandle OpenRequest(HttpHandle connection, std::u16string_view path) override;
    HttpHandle OpenSecureRequest(HttpHandle connection, std::u16string_view path) override;
    bool SendRequest(HttpHandle request) override;
    bool ReceiveResponse(HttpHandle request) override;
    bool ReadData(HttpHandle request, void* buffer, uint32_t size, uint32_t& read) override;
    bool CloseHandle(HttpHandle handle) override;
    uint32_t LastError() override { return lastError_; }
    void LimitWait(HttpHandle request, uint32_t milliseconds) override;
    bool ContentLength(HttpHandle request, uint64_t& length) override;
    uint32_t TickCount() override;
    bool IsTextUnicode(const unsigned char* bytes, size_t size) override;
    size_t Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t capacity) override;

private:
    HttpHandle Open(HttpHandle connection, std::u16string_view path, bool secure);
    bool Check(bool ok);
    HttpHandle Check(HttpHandle handle);
    // A send or receive that waits no longer than the last LimitWait.
    bool Bounded(HttpHandle request, int (*call)(void* request)); // the platform's BOOL (*)(HINTERNET)

    std::u16string url_; // the cracked URL, which the parts point into
    uint32_t lastError_ = 0;
    uint32_t waitLimit_ = 0xFFFFFFFF; // INFINITE until a deadline shortens it
    HttpHandle abandoned_ = nullptr;  // a request whose header wait was given up
};

} // namespace tavelin::win32
