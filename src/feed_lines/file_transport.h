// An HttpTransport whose every request is answered by one body held in memory,
// so that the saver's own download path (decoding, reader, extraction) can be
// run on a feed file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "feed/http_transport.h"

namespace tavelin {

class FileTransport : public HttpTransport {
public:
    // body must outlive the transport.
    explicit FileTransport(std::string_view body) : body_(body) {}

    HttpHandle OpenSession(std::u16string_view userAgent) override;
    bool CrackUrl(std::u16string_view url, CrackedUrl& parts) override;
    HttpHandle Connect(HttpHandle session, std::u16string_view hostName, uint16_t port) override;
    HttpHandle OpenRequest(HttpHandle connection, std::u16string_view path) override;
    bool SendRequest(HttpHandle) override { return true; }
    bool ReceiveResponse(HttpHandle) override { return true; }
    bool ReadData(HttpHandle request, void* buffer, uint32_t size, uint32_t& read) override;
    bool CloseHandle(HttpHandle) override { return true; }
    uint32_t LastError() override { return 0; }
    void LimitWait(HttpHandle, uint32_t) override {}
    bool ContentLength(HttpHandle request, uint64_t& length) override;
    uint32_t TickCount() override { return 0; } // a file is never late
    bool IsTextUnicode(const unsigned char* bytes, size_t size) override;
    size_t Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t capacity) override;

private:
    std::string_view body_;
    size_t offset_ = 0;
};

} // namespace tavelin
