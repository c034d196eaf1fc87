// Throughput of the feed client on synthetic feeds of 1, 10 and 100 MB:
// decoding + parsing + extraction, beside a DOM parser and a SAX parser
// reading the same bytes.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/scripted_http.h"
#include "feed/extraction.h"
#include "feed/text_decoding.h"
#include "feed/xml_tree.h"

namespace {

using namespace tavelin;

constexpr const char* kItem =
    "  <item>\n"
    "    <word1>caf&#233; %d</word1>\n"
    "    <word2>coffee &amp; cake</word2>\n"
    "    <extras><type>noun</type><transliteration>ka-fe</transliteration>"
    "<notes>plural caf&#233;s, l&apos;\xC3\xA9t\xC3\xA9 &#x2615; \xD0\xB4\xD0\xBE\xD0\xBC</notes>"
    "<gender>masculine</gender></extras>\n"
    "  </item>\n";

// A feed of about megabytes MB, valid XML for every parser here, with its
// two terminating zero bytes after the end.
const std::string& Feed(int megabytes) {
    static std::map<int, std::string> feeds;
    std::string& feed = feeds[megabytes];
    if (!feed.empty()) return feed;
    feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<feed>\n"
           "  <news><![CDATA[This week's words & phrases <new>]]></news>\n";
    const size_t target = static_cast<size_t>(megabytes) << 20;
    char item[512];
    for (int i = 0; feed.size() < target; ++i) {
        std::snprintf(item, sizeof item, kItem, i);
        feed += item;
    }
    feed += "</feed>\n";
    feed.reserve(feed.size() + 2);
    return feed;
}

// The log stays off in the benchmarks: no file is ever made.
struct NoLogFile : LogFile {
    LogFileHandle Create(std::u16string_view) override { return nullptr; }
    bool Append(LogFileHandle, const void*, size_t) override { return true; }
};

void Tavelin(benchmark::State& state) {
    const std::string& feed = Feed(static_cast<int>(state.range(0)));
    fakes::ScriptedHttp http;
    NoLogFile files;
    fakes::FakeClock clock;
    Log log(files, clock);
    size_t items = 0;
    for (auto _ : state) {
        // The body buffer carries its two zero bytes, as the download leaves it.
        DecodedText text = DecodeFeedBytes(reinterpret_cast<const unsigned char*>(feed.c_str()), feed.size(), http, log);
        XmlTree tree;
        POPULATEXMLTREE(tree, std::move(text.szMessage), text.length, log);
        News news;
        Group messages;
        ExtractNews(tree, news, log);
        ExtractItems(tree, messages, true, log);
        DeleteXmlTreeData(tree);
        DeleteXmlTreeObjects(tree);
        items = messages.GetCount();
        // The texts belong to the caller from here on: not part of the feed client's time.
        state.PauseTiming();
        while (messages.GetCount() > 0) ReleaseText(static_cast<char16_t*>(messages.RemoveAt(0)));
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(items);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}

// The same pipeline phase by phase, to see where the time goes.
void TavelinPhases(benchmark::State& state) {
    const std::string& feed = Feed(static_cast<int>(state.range(0)));
    fakes::ScriptedHttp http;
    NoLogFile files;
    fakes::FakeClock clock;
    Log log(files, clock);
    using Clock = std::chrono::steady_clock;
    double decode = 0, parse = 0, extract = 0, remove = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        DecodedText text = DecodeFeedBytes(reinterpret_cast<const unsigned char*>(feed.c_str()), feed.size(), http, log);
        const auto t1 = Clock::now();
        XmlTree tree;
        POPULATEXMLTREE(tree, std::move(text.szMessage), text.length, log);
        const auto t2 = Clock::now();
        News news;
        Group messages;
        ExtractNews(tree, news, log);
        ExtractItems(tree, messages, true, log);
        const auto t3 = Clock::now();
        DeleteXmlTreeData(tree);
        DeleteXmlTreeObjects(tree);
        const auto t4 = Clock::now();
        while (messages.GetCount() > 0) ReleaseText(static_cast<char16_t*>(messages.RemoveAt(0)));
        decode += std::chrono::duration<double>(t1 - t0).count();
        parse += std::chrono::duration<double>(t2 - t1).count();
        extract += std::chrono::duration<double>(t3 - t2).count();
        remove += std::chrono::duration<double>(t4 - t3).count();
    }
    const double n = static_cast<double>(state.iterations()) / 1000.0;
    state.counters["decode_ms"] = decode / n;
    state.counters["parse_ms"] = parse / n;
    state.counters["extract_ms"] = extract / n;
    state.counters["delete_ms"] = remove / n;
}

void PugixmlDom(benchmark::State& state) {
    const std::string& feed = Feed(static_cast<int>(state.range(0)));
    size_t items = 0;
    for (auto _ : state) {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_buffer(feed.data(), feed.size());
        if (!result) state.SkipWithError("parse failed");
        items = 0;
        for (pugi::xml_node n : doc.child("feed").children("item")) items += n ? 1 : 0;
    }
    state.counters["items"] = static_cast<double>(items);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}

void ExpatSax(benchmark::State& state) {
    const std::string& feed = Feed(static_cast<int>(state.range(0)));
    size_t items = 0;
    for (auto _ : state) {
        items = 0;
        XML_Parser parser = XML_ParserCreate("UTF-8");
        XML_SetUserData(parser, &items);
        XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char**) {
            if (std::strcmp(name, "item") == 0) ++*static_cast<size_t*>(data);
        });
        if (XML_Parse(parser, feed.data(), static_cast<int>(feed.size()), 1) != XML_STATUS_OK) {
            state.SkipWithError("parse failed");
        }
        XML_ParserFree(parser);
    }
    state.counters["items"] = static_cast<double>(items);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}

} // namespace

BENCHMARK(Tavelin)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TavelinPhases)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PugixmlDom)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExpatSax)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
