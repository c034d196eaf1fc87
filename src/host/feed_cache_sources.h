// The day's texts' sources bound to the real feed client and day cache.
#pragma once

#include "core/log.h"
#include "core/settings_values.h"
#include "feed/http_transport.h"
#include "host/day_texts.h"
#include "settings/registry_store.h"

namespace tavelin {

class FeedCacheSources : public DayTextSources {
public:
    FeedCacheSources(RegistryStore& store, HttpTransport& http, Log& log, const SaverSettings& settings)
        : store_(store), http_(http), log_(log), settings_(settings) {}

    int32_t GETRSSFEED(Group& messages, std::u16string_view url, News& news) override;
    bool DELETESTRINGSINREG() override;
    bool SAVESTRINGSINREG(Group& messages) override;
    int32_t COUNTSTRINGSINREG() override;
    bool GETSTRINGSFROMREG(Group& messages) override;

private:
    RegistryStore& store_;
    HttpTransport& http_;
    Log& log_;
    const SaverSettings& settings_; // read at the call: the grammar switch
};

} // namespace tavelin
