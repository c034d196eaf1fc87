// The settings load, run once when the saver window is created.
#include "settings/settings_load.h"

#include "settings/registry_values.h"
#include "settings/settings_table.h"

namespace tavelin {

namespace {

static_assert(kFontSetting.limit == sizeof(LogFont));

bool ReadFlag(RegistryStore& store, RegistryKey key, const Setting& flag) {
    uint32_t word = 0;
    ReadDword(store, key, flag.name, word);
    return word != 0;
}

bool ReadText(RegistryStore& store, RegistryKey key, const Setting& text, std::u16string& value) {
    return ReadText(store, key, text.name, text.TextBufferBytes(), value);
}

void ReadExisting(RegistryStore& store, RegistryKey key, Log& log, SaverSettings& s) {
    ReadFont(store, key, s.lf);
    ReadDword(store, key, kMaxShowStringsSetting.name, s.dwMaxShowStrings);
    if (!ReadText(store, key, kCompanySetting, s.szCompany)) s.szCompany.clear();
    ReadText(store, key, kKeyCodeSetting, s.szKeyCode);
    log.gLogEnabled = ReadFlag(store, key, kLogSetting);
    s.gExtraEnabled = ReadFlag(store, key, kExtraSetting);
    s.gLogoEnabled = ReadFlag(store, key, kLogoSetting);
    ReadText(store, key, kFeedHostSetting, s.szFeedHost);
    s.gRecallEnabled = ReadFlag(store, key, kRecallSetting);
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
