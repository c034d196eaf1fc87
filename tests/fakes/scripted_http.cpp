// The scripted HttpTransport: a URL split like the platform's, canned reads,
// and the portable decoding.
#include "fakes/scripted_http.h"

#include <algorithm>
#include <cstring>

#include "feed/text_decoding.h"

namespace tavelin::fakes {

bool ScriptedHttp::Fails(Step step) {
    if (failAt != step) return false;
    lastError_ = failError;
    return true;
}

HttpHandle ScriptedHttp::OpenSession(std::u16string_view agent) {
    userAgent = agent;
    return Fails(Step::Session) ? nullptr : reinterpret_cast<HttpHandle>(kSession);
}

// scheme://host[:port]path[?query|#fragment]; a URL without "://" fails.
bool ScriptedHttp::CrackUrl(std::u16string_view url, CrackedUrl& parts) {
    const size_t scheme = url.find(u"://");
    if (Fails(Step::Crack) || scheme == std::u16string_view::npos) {
        if (failAt != Step::Crack) lastError_ = 12006; // ERROR_WINHTTP_UNRECOGNIZED_SCHEME
        return false;
    }
    std::u16string_view rest = url.substr(scheme + 3);
    const size_t slash = std::min(rest.find_first_of(u"/?#"), rest.size());
    std::u16string_view authority = rest.substr(0, slash);
    parts.port = url.substr(0, scheme) == u"https" ? 443 : 80;
    const size_t colon = authority.find(u':');
    if (colon != std::u16string_view::npos) {
        uint32_t p = 0;
        for (char16_t c : authority.substr(colon + 1)) p = p * 10 + (c - u'0');
        parts.port = static_cast<uint16_t>(p);
        authority = authority.substr(0, colon);
    }
    parts.hostName = authority;
    rest = rest.substr(slash);
    parts.urlPath = rest.substr(0, std::min(rest.find_first_of(u"?#"), rest.size()));
    return true;
}

HttpHandle ScriptedHttp::Connect(HttpHandle, std::u16string_view host, uint16_t p) {
    hostName = host;
    port = p;
    return Fails(Step::Connect) ? nullptr : reinterpret_cast<HttpHandle>(kConnection);
}

HttpHandle ScriptedHttp::OpenSecureRequest(HttpHandle connection, std::u16string_view p) {
    const HttpHandle request = OpenRequest(connection, p);
    secure = true;
    return request;
}

HttpHandle ScriptedHttp::OpenRequest(HttpHandle, std::u16string_view p) {
    path = p;
    return Fails(Step::Request) ? nullptr : reinterpret_cast<HttpHandle>(kRequest);
}

bool ScriptedHttp::SendRequest(HttpHandle) { return !Fails(Step::Send); }
bool ScriptedHttp::ReceiveResponse(HttpHandle) { return !Fails(Step::Receive); }

bool ScriptedHttp::ReadData(HttpHandle, void* buffer, uint32_t size, uint32_t& read) {
    ticks += ticksPerRead;
    read = 0;
    if (failAt == Step::Read && static_cast<uint32_t>(reads) >= failReadAfter) {
        lastError_ = failError;
        return false;
    }
    ++reads;
    const size_t n = std::min<size_t>({size, readSize, body.size() - offset_});
    std::memcpy(buffer, body.data() + offset_, n);
    offset_ += n;
    read = static_cast<uint32_t>(n);
    return true;
}

bool ScriptedHttp::CloseHandle(HttpHandle handle) {
    const uintptr_t h = reinterpret_cast<uintptr_t>(handle);
    closed.push_back(h);
    if (std::find(failClose.begin(), failClose.end(), h) == failClose.end()) return true;
    lastError_ = 6; // ERROR_INVALID_HANDLE
    return false;
}

void ScriptedHttp::LimitWait(HttpHandle, uint32_t milliseconds) { waitLimits.push_back(milliseconds); }

bool ScriptedHttp::ContentLength(HttpHandle, uint64_t& length) {
    length = announcedLength;
    return announceLength;
}

bool ScriptedHttp::IsTextUnicode(const unsigned char* bytes, size_t size) {
    return PortableIsTextUnicode(bytes, size);
}

size_t ScriptedHttp::Utf8ToUtf16(const unsigned char* bytes, char16_t* out, size_t) {
    return PortableUtf8ToUtf16(bytes, std::strlen(reinterpret_cast<const char*>(bytes)) + 1, out);
}

} // namespace tavelin::fakes
