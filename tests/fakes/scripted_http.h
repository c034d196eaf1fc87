// A scripted HttpTransport: a canned body, a chosen failing step with its
// error code, a clock that moves as the test says, and a record of the calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "feed/http_transport.h"

namespace tavelin::fakes {

class ScriptedHttp : public HttpTransport {
public:
    enum class Step { None, Session, Crack, Connect, Request, Send, Receive, Read };

    std::string body;                 // delivered in reads of up to readSize bytes
    uint32_t readSize = 1024;
    Step failAt = Step::None;         // this step fails with failError
    uint32_t failError = 12029;
    uint32_t failReadAfter = 0;       // with Step::Read: reads that succeed first
    std::vector<uintptr_t> failClose; // handle values whose close fails
    bool announceLength = false;      // the response announces announcedLength
    uint64_t announcedLength = 0;
    uint32_t ticksPerRead = 0;        // the clock advances this much at each read
    uint32_t ticks = 1000;

    // What the transport saw.
    std::u16string userAgent, hostName, path;
    uint16_t port = 0;
    bool secure = false;
    std::vector<uintptr_t> closed;    // in closing order
    std::vector<uint32_t> waitLimits; // every LimitWait, in order
    int reads = 0;

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
    uint32_t TickCount() override { return ticks; }
    bool IsTextUnicode(const unsigned char* bytes, size_t size) override;
    size_t Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t capacity) override;

    static constexpr uintptr_t kSession = 0x10, kConnection = 0x20, kRequest = 0x30;

private:
    bool Fails(Step step);

    uint32_t lastError_ = 0;
    size_t offset_ = 0;
};

} // namespace tavelin::fakes
