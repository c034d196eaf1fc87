// Forwards each source to its subsystem with the run's store, transport and log.
#include "host/feed_cache_sources.h"

#include "feed/feed.h"
#include "settings/day_cache.h"

namespace tavelin {

int32_t FeedCacheSources::GETRSSFEED(Group& messages, std::u16string_view url, News& news) {
    return tavelin::GETRSSFEED(messages, url, news, log_, http_, settings_.gExtraEnabled);
}

bool FeedCacheSources::DELETESTRINGSINREG() { return tavelin::DELETESTRINGSINREG(store_, log_); }

bool FeedCacheSources::SAVESTRINGSINREG(Group& messages) { return tavelin::SAVESTRINGSINREG(store_, log_, messages); }

int32_t FeedCacheSources::COUNTSTRINGSINREG() { return tavelin::COUNTSTRINGSINREG(store_, log_); }

bool FeedCacheSources::GETSTRINGSFROMREG(Group& messages) {
    return tavelin::GETSTRINGSFROMREG(store_, log_, messages);
}

} // namespace tavelin
