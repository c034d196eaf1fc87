// The table of settings is the one the load uses: it reads each of the table's
// values once, in the table's order, and nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "fakes/memory_registry.h"
#include "settings/settings_load.h"
#include "settings/settings_table.h"

namespace tavelin {
namespace {

class ReadRecorder : public fakes::MemoryRegistry {
public:
    std::vector<std::u16string> reads;
    QueryResult Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) override {
        reads.emplace_back(name);
        return MemoryRegistry::Query(key, name, buffer, size);
    }
};

TEST(SettingsTable, TheLoadReadsExactlyTheTablesValuesInOrder) {
    ReadRecorder store;
    store.Close(store.CreateOrOpen(Hive::LocalMachine, kSettingsPath).key); // only a key that existed is read
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log(files, clock);
    SaverSettings settings;
    LoadSettings(store, log, settings);
    std::vector<std::u16string> expected;
    for (const Setting& s : kSettingsTable) expected.emplace_back(s.name);
    EXPECT_EQ(store.reads, expected);
}

} // namespace
} // namespace tavelin
