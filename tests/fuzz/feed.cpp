// Fuzz target of the feed client: bytes through decoding, the reader, its
// walk and dump, the extraction and the deletion, checking the tree's shape;
// then the same bytes as the body of a whole download.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/scripted_http.h"
#include "feed/extraction.h"
#include "feed/feed.h"
#include "feed/text_decoding.h"
#include "feed/xml_tree.h"

namespace {

using namespace tavelin;

// A log file that takes every line and keeps none.
class DiscardingLogFile : public LogFile {
public:
    LogFileHandle Create(std::u16string_view) override { return this; }
    bool Append(LogFileHandle, const void*, size_t) override { return true; }
};

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckShape(const XmlTree& tree) {
    int32_t walked = 0;
    for (const XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o), ++walked) {
        const XmlTreeData& d = *o->pData;
        Require(d.szName().size() <= kNameLimit && d.szValue().size() <= kValueLimit &&
                d.szAttributes().size() <= kAttributesLimit);
        Require(o->pParent == nullptr ? o == tree.pRoot && o->iDepth == 1 : o->iDepth == o->pParent->iDepth + 1);
        int32_t children = 0;
        for (const XmlTreeObject* c = o->pFirstChild; c != nullptr; c = c->pNext, ++children) {
            Require(c->pParent == o && (c->pNext == nullptr || c->pNext->pPrev == c));
        }
        Require(children == o->iChildren);
    }
    Require(walked == tree.iObjects);
}

void ReleaseTexts(Group& group) {
    while (group.GetCount() > 0) ReleaseText(static_cast<char16_t*>(group.RemoveAt(0)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DiscardingLogFile files;
    fakes::FakeClock clock;
    Log log(files, clock);
    log.gLogEnabled = true;
    log.Open();

    // Decoding, as the download does it: two zero bytes after the data.
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[size + 2]);
    if (size != 0) std::memcpy(bytes.get(), data, size);
    bytes[size] = bytes[size + 1] = 0;
    fakes::ScriptedHttp http;
    DecodedText text = DecodeFeedBytes(bytes.get(), size, http, log);
    Require(text.szMessage != nullptr && text.szMessage[text.length] == u'\0');

    XmlTree tree;
    POPULATEXMLTREE(tree, std::move(text.szMessage), text.length, log);
    CheckShape(tree);
    DumpXmlTree(tree, log);
    News news;
    Group messages;
    ExtractNews(tree, news, log);
    ExtractItems(tree, messages, (size & 1) != 0, log);
    Require(news.gNewsString.size() < News::kCapacity);
    DeleteXmlTreeData(tree);
    DeleteXmlTreeObjects(tree);
    const uint32_t items = messages.GetCount();
    ReleaseTexts(messages);

    // The whole download must agree with the steps above.
    http.body.assign(reinterpret_cast<const char*>(data), size);
    http.readSize = 1 + (size % 1024);
    News news2;
    const int result = GETRSSFEED(messages, u"http://feed.example/auth/k.xml", news2, log, http, true);
    Require(result == (size >= kMinimumBodyBytes ? 1 : 0));
    Require(messages.GetCount() == (result == 1 ? items : 0));
    ReleaseTexts(messages);
    return 0;
}
