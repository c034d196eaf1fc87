// GETRSSFEED: the feed client's one entry point. Downloads the day's feed,
// decodes and parses it, logs its tree and appends one composed text per
// vocabulary item to the message group.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "feed/http_transport.h"

namespace tavelin {

inline constexpr std::u16string_view kUserAgent = u"TavelinScreenSaver";
inline constexpr uint32_t kReadChunkBytes = 1024;
inline constexpr uint32_t kMinimumBodyBytes = 10;
// A larger body, announced or grown, is refused as a memory failure of the read.
inline constexpr uint32_t kBodyLimitBytes = 8 * 1024 * 1024;
// The whole download, from opening the session, ends within this.
inline constexpr uint32_t kDownloadDeadlineMs = 30000;

// messages: the message group; composed texts (heap, DuplicateText) are
//   appended at its tail and owned by the caller from then on.
// url: "http://host[:port]/path" or "https://host[:port]/path" (a query or
//   fragment is not sent); any other scheme fails as a cracking failure.
// news: gNewsString (cleared by the caller) and gNewsSet.
// gExtraEnabled: the grammar switch of the settings.
// Returns 1 when a body of 10 or more bytes arrived whole and was processed
// (usable items or not), 0 when a transport step failed, the body was cut
// short, was over kBodyLimitBytes or the deadline passed, or fewer than 10 bytes came; on 0 messages
// and news are untouched.
int GETRSSFEED(Group& messages, std::u16string_view url, News& news, Log& log, HttpTransport& http,
               bool gExtraEnabled, uint32_t deadlineMs = kDownloadDeadlineMs);

} // namespace tavelin
