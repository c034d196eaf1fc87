// One GETRSSFEED through the real WinHTTP adapter, with what it gave: result,
// texts, log lines, the news buffer and the time it took. Shared by the Wine
// tests of the feed over HTTP and over HTTPS.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/group.h"
#include "core/log.h"
#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "feed/feed.h"
#include "platform/win32/http_winhttp.h"

namespace tavelin {

using Lines = std::vector<std::string>;

struct Fetched {
    int result = -1;
    Lines texts;
    Lines log;
    std::string news; // "cached news" before the call
    double seconds = 0;
};

inline Fetched Fetch(const std::u16string& url, uint32_t deadline = kDownloadDeadlineMs) {
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log(files, clock);
    log.gLogEnabled = true;
    log.Open();
    win32::WinHttpTransport http;
    Group group;
    News news{u"cached news", true};
    Fetched f;
    const auto start = std::chrono::steady_clock::now();
    f.result = GETRSSFEED(group, url, news, log, http, true, deadline);
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    while (group.GetCount() > 0) {
        char16_t* text = static_cast<char16_t*>(group.RemoveAt(0));
        f.texts.push_back(ToUtf8(text));
        ReleaseText(text);
    }
    for (const auto& m : fakes::MemoryLogFile::Messages(*files.Only())) f.log.push_back(ToUtf8(m));
    f.news = ToUtf8(news.gNewsString);
    return f;
}

inline bool Logged(const Fetched& f, const std::string& line) {
    return std::find(f.log.begin(), f.log.end(), line) != f.log.end();
}

} // namespace tavelin
