// The settings load, run once when the saver window is created.
#include "settings/settings_load.h"

#include "settings/registry_values.h"

namespace tavelin {

namespace {

constexpr uint32_t kCompanyBytes = 1024; // 511 units and the NUL
constexpr uint32_t kKeyCodeBytes = 2048; // 1,023 units and the NUL
constexpr uint32_t kFeedHostBytes = 512; // 255 units and the NUL

bool ReadFlag(RegistryStore& store, RegistryKey key, std::u16string_view name) {
    uint32_t word = 0;
    ReadDword(store, key, name, word);
    return word != 0;
}

void ReadExisting(RegistryStore& store, RegistryKey key, Log& log, SaverSettings& s) {
    ReadFont(store, key, s.lf);
    ReadDword(store, key, u"MaxShowStrings", s.dwMaxShowStrings);
    if (!ReadText(store, key, u"Company", kCompanyBytes, s.szCompany)) s.szCompany.clear();
    ReadText(store, key, u"KeyCode", kKeyCodeBytes, s.szKeyCode);
    log.gLogEnabled = ReadFlag(store, key, u"Log");
    s.gExtraEnabled = ReadFlag(store, key, u"Extra");
    s.gLogoEnabled = ReadFlag(store, key, u"Logo");
    ReadText(store, key, u"FeedHost", kFeedHostBytes, s.szFeedHost);
}

} // namespace

void LoadSettings(RegistryStore& store, Log& log, SaverSettings& settings) {
    settings = SaverSettings{};
    log.gLogEnabled = false;
    const OpenResult opened = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    if (!opened.ok) {
        settings.dwMaxShowStrings = 7;
        return;
    }
    ScopedKey key(store, opened.key);
    if (!opened.createdNew) ReadExisting(store, key.get(), log, settings);
    if (log.gLogEnabled) log.Open();
}

} // namespace tavelin
