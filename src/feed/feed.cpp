// GETRSSFEED: the transport steps in order, each failure logged with its
// error code; then decoding, parsing, dump, extraction and the clean-up.
#include "feed/feed.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "feed/extraction.h"
#include "feed/text_decoding.h"
#include "feed/url_scheme.h"
#include "feed/xml_tree.h"

namespace tavelin {
namespace {

int32_t HandleNumber(HttpHandle h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }
int32_t Code(uint32_t error) { return static_cast<int32_t>(error); }

// Open handles, closed without a word in reverse order when a step fails.
struct Handles {
    explicit Handles(HttpTransport& t) : http(t) {}
    ~Handles() {
        for (HttpHandle* h : {&request, &connection, &session}) {
            if (*h != nullptr) http.CloseHandle(*h);
        }
    }
    HttpTransport& http;
    HttpHandle session = nullptr;
    HttpHandle connection = nullptr;
    HttpHandle request = nullptr;
};

// The received bytes, grown geometrically so a large body costs linear time,
// but never beyond the largest body accepted; two zero bytes always follow
// the data.
class Body {
public:
    static constexpr size_t kLargest = size_t{kBodyLimitBytes} + 2;

    bool Append(const unsigned char* bytes, uint32_t n) {
        if (n > UINT32_MAX - 2 - size_ || !Reserve(size_t{size_} + n + 2)) return false;
        std::memcpy(data_.get() + size_, bytes, n);
        size_ += n;
        return true;
    }
    // The data followed by its two zero bytes; null when memory is short.
    const unsigned char* Terminated() {
        if (!Reserve(size_t{size_} + 2)) return nullptr;
        data_[size_] = data_[size_ + 1] = 0;
        return data_.get();
    }
    uint32_t Size() const { return size_; }
    void Release() { data_.reset(); }
    bool Reserve(size_t needed) {
        if (needed <= capacity_) return true;
        size_t capacity = capacity_ < 4096 ? 4096 : capacity_ * 2;
        if (capacity > kLargest) capacity = kLargest;
        if (capacity < needed) capacity = needed;
        std::unique_ptr<unsigned char[]> grown(new (std::nothrow) unsigned char[capacity]);
        if (!grown) return false;
        if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
        return true;
    }

private:
    std::unique_ptr<unsigned char[]> data_;
    size_t capacity_ = 0;
    uint32_t size_ = 0;
};

class Download {
public:
    Download(Log& log, HttpTransport& http, uint32_t deadlineMs)
        : log_(log), http_(http), handles_(http), deadline_(deadlineMs) {}

    bool Open(std::u16string_view url);
    bool Fetch();
    bool ReadBody(Body& body);
    void Close();

private:
    // Milliseconds left before the deadline; false once it has passed.
    bool TimeLeft(uint32_t& remaining) {
        const uint32_t elapsed = http_.TickCount() - start_;
        remaining = elapsed < deadline_ ? deadline_ - elapsed : 0;
        return elapsed < deadline_;
    }
    bool ReadFailed(uint32_t error) {
        log_.Write(u"GETRSSFEED WinHttpReadData returned FALSE, Error Code = %d", Code(error));
        return false;
    }

    Log& log_;
    HttpTransport& http_;
    Handles handles_;
    uint32_t deadline_;
    uint32_t start_ = 0;
    std::u16string hostName_;
    std::u16string resource_;
};

bool Download::Open(std::u16string_view url) {
    start_ = http_.TickCount();
    handles_.session = http_.OpenSession(kUserAgent);
    if (handles_.session == nullptr) {
        log_.Write(u"GETRSSFEED Could not obtain WinHTTP Session Handle, Error Code = %d", Code(http_.LastError()));
        return false;
    }
    log_.Write(u"GETRSSFEED WinHTTP Session Handle Returned, value=%d", HandleNumber(handles_.session));
    CrackedUrl parts;
    const bool cracked = http_.CrackUrl(url, parts);
    // Only http and https are ever fetched, whatever else a cracker accepts.
    const UrlScheme scheme = SplitScheme(url).scheme;
    if (!cracked || (scheme != UrlScheme::Http && scheme != UrlScheme::Https)) {
        log_.Write(u"GETRSSFEED WinHttpCrackUrl failed, Error Code = %d",
                   Code(cracked ? kErrorHttpUnknownScheme : http_.LastError()));
        return false;
    }
    log_.Write(u"GETRSSFEED URL Cracked Successfully.");
    hostName_ = parts.hostName;
    resource_ = parts.urlPath;
    log_.Write(u"GETRSSFEED URL Hostname=|%s|", hostName_);
    log_.Write(u"GETRSSFEED URL Resource=|%s|", resource_);
    log_.Write(u"GETRSSFEED URL Port=|%d|", parts.port);
    handles_.connection = http_.Connect(handles_.session, hostName_, parts.port);
    if (handles_.connection == nullptr) {
        log_.Write(u"GETRSSFEED WinHttpConnect failed, Error Code = %d", Code(http_.LastError()));
        return false;
    }
    log_.Write(u"GETRSSFEED WinHttpConnect succeeded, hConnect=%d", HandleNumber(handles_.connection));
    handles_.request = scheme == UrlScheme::Https ? http_.OpenSecureRequest(handles_.connection, resource_)
                                                  : http_.OpenRequest(handles_.connection, resource_);
    if (handles_.request == nullptr) {
        log_.Write(u"GETRSSFEED WinHttpOpenRequest failed, Error Code = %d", Code(http_.LastError()));
        return false;
    }
    log_.Write(u"GETRSSFEED WinHttpOpenRequest succeeded, hRequest=%d", HandleNumber(handles_.request));
    return true;
}

bool Download::Fetch() {
    uint32_t remaining = 0;
    const bool sendInTime = TimeLeft(remaining);
    if (sendInTime) http_.LimitWait(handles_.request, remaining);
    if (!sendInTime || !http_.SendRequest(handles_.request)) {
        log_.Write(u"GETRSSFEED WinHttpSendRequest failed, Error Code = %d",
                   Code(sendInTime ? http_.LastError() : kErrorHttpTimeout));
        return false;
    }
    log_.Write(u"GETRSSFEED WinHttpSendRequest succeeded");
    const bool receiveInTime = TimeLeft(remaining);
    if (receiveInTime) http_.LimitWait(handles_.request, remaining);
    if (!receiveInTime || !http_.ReceiveResponse(handles_.request)) {
        log_.Write(u"GETRSSFEED WinHttpReceiveResponse failed, Error Code = %d",
                   Code(receiveInTime ? http_.LastError() : kErrorHttpTimeout));
        return false;
    }
    log_.Write(u"GETRSSFEED WinHttpReceiveResponse succeeded");
    return true;
}

bool Download::ReadBody(Body& body) {
    uint64_t announced = 0;
    const bool known = http_.ContentLength(handles_.request, announced);
    if (known && announced > kBodyLimitBytes) return ReadFailed(kErrorNotEnoughMemory);
    // Room for the whole announced body at once, rather than grown to it.
    if (known && !body.Reserve(static_cast<size_t>(announced) + 2)) return ReadFailed(kErrorNotEnoughMemory);
    unsigned char chunk[kReadChunkBytes];
    for (;;) {
        uint32_t remaining = 0;
        if (!TimeLeft(remaining)) return ReadFailed(kErrorHttpTimeout);
        http_.LimitWait(handles_.request, remaining);
        uint32_t read = 0;
        const bool ok = http_.ReadData(handles_.request, chunk, kReadChunkBytes, read);
        const uint32_t error = ok ? 0 : http_.LastError();
        // Past the deadline the cause is the deadline, whatever the library says.
        if (!TimeLeft(remaining)) return ReadFailed(kErrorHttpTimeout);
        if (!ok) return ReadFailed(error);
        if (read == 0) break;
        if (read > kReadChunkBytes || read > kBodyLimitBytes - body.Size() || !body.Append(chunk, read)) {
            return ReadFailed(kErrorNotEnoughMemory);
        }
    }
    // A connection closed before the announced length is a cut, not an end.
    if (known && announced > body.Size()) {
        return ReadFailed(kErrorHttpConnection);
    }
    log_.Write(u"GETRSSFEED WinHttpReadData End of Data Transfer, size=%lu", body.Size());
    return true;
}

void Download::Close() {
    if (http_.CloseHandle(handles_.request)) log_.Write(u"GETRSSFEED WinHTTP Request Handle Closed Successfully");
    else log_.Write(u"GETRSSFEED Could not close WinHTTP Request Handle, Error Code = %d", Code(http_.LastError()));
    handles_.request = nullptr;
    if (http_.CloseHandle(handles_.connection)) log_.Write(u"GETRSSFEED WinHTTP Connect Handle Closed Successfully");
    else log_.Write(u"GETRSSFEED Could not close WinHTTP Connect Handle, Error Code = %d", Code(http_.LastError()));
    handles_.connection = nullptr;
    if (http_.CloseHandle(handles_.session)) log_.Write(u"GETRSSFEED WinHTTP Session Handle Closed Successfully");
    else log_.Write(u"GETRSSFEED Could not close WinHTTP Session Handle, Error Code = %d", Code(http_.LastError()));
    handles_.session = nullptr;
    log_.Write(u"GETRSSFEED Attempting Deletion of hostname buffer.");
    hostName_ = std::u16string();
    log_.Write(u"GETRSSFEED Attempting Deletion of target resource buffer.");
    resource_ = std::u16string();
}

void ProcessText(std::unique_ptr<char16_t[]> szMessage, size_t length, Group& messages, News& news, Log& log,
                 bool gExtraEnabled) {
    XmlTree tree;
    // The tree keeps its strings in szMessage, so the buffer goes with the tree.
    POPULATEXMLTREE(tree, std::move(szMessage), length, log);
    log.Write(u"GETRSSFEED Attempting to delete szMessage (Converted Source XML Buffer)");
    log.Write(u"GETRSSFEED Successfully deleted szMessage (Converted Source XML Buffer)");
    log.Write(u"GETRSSFEED ****TREE DUMP****");
    DumpXmlTree(tree, log);
    log.Write(u"GETRSSFEED ****END TREE DUMP****");
    ExtractNews(tree, news, log);
    ExtractItems(tree, messages, gExtraEnabled, log);
    log.Write(u"GETRSSFEED Attempting Deletion of XML Tree Data...");
    DeleteXmlTreeData(tree);
    log.Write(u"GETRSSFEED XML Tree Data Deleted.");
    log.Write(u"GETRSSFEED Attempting Deletion of XML Tree Objects...");
    DeleteXmlTreeObjects(tree);
    log.Write(u"GETRSSFEED XML Tree Objects Deleted.");
}

} // namespace

int GETRSSFEED(Group& messages, std::u16string_view url, News& news, Log& log, HttpTransport& http,
               bool gExtraEnabled, uint32_t deadlineMs) {
    Download download(log, http, deadlineMs);
    if (!download.Open(url) || !download.Fetch()) return 0;
    Body body;
    if (!download.ReadBody(body)) return 0;
    if (body.Size() < kMinimumBodyBytes) return 0;
    const unsigned char* bytes = body.Terminated();
    DecodedText text;
    if (bytes != nullptr) text = DecodeFeedBytes(bytes, body.Size(), http, log);
    body.Release();
    if (!text.szMessage) {
        log.Write(u"GETRSSFEED WinHttpReadData returned FALSE, Error Code = %d", Code(kErrorNotEnoughMemory));
        return 0;
    }
    ProcessText(std::move(text.szMessage), text.length, messages, news, log, gExtraEnabled);
    download.Close();
    log.Write(u"GETRSSFEED Leaving this function");
    return 1;
}

} // namespace tavelin
