// The four day-cache operations over the RegistryStore port.
#include "settings/day_cache.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/format.h"

namespace tavelin {

namespace {

constexpr uint32_t kReadBufferUnits = 1024;

std::u16string ValueName(uint32_t index) { return FormatMessage(u"%04d", index); }

// The string a reader keeps of delivered bytes: whole units, cut at the first
// NUL and at the buffer's last unit, which is always NUL.
std::u16string_view DeliveredText(const std::vector<char16_t>& buffer, uint32_t bytes) {
    const size_t units = std::min<size_t>(bytes / 2, kReadBufferUnits - 1);
    return UpToNul(std::u16string_view(buffer.data(), units));
}

} // namespace

int32_t COUNTSTRINGSINREG(RegistryStore& store, Log& log) {
    const OpenResult opened = store.CreateOrOpen(Hive::LocalMachine, kDataPath);
    if (!opened.ok) {
        log.Write(u"COUNTSTRINGSINREG Failed to Open or Create the Data registry key - Security Block?");
        return 0;
    }
    ScopedKey key(store, opened.key);
    if (opened.createdNew) {
        log.Write(u"COUNTSTRINGSINREG Data folder did not exist in registry, this function created it.");
        return 0;
    }
    std::vector<char16_t> buffer(kReadBufferUnits);
    for (int32_t count = 0;; ++count) {
        if (count == static_cast<int32_t>(kDayTextLimit)) return count; // an older build's longer day
        const std::u16string name = ValueName(static_cast<uint32_t>(count) + 1);
        if (!store.Query(key.get(), name, buffer.data(), kReadBufferUnits * 2).ok) {
            log.Write(u"COUNTSTRINGSINREG Failed to load string %s", name);
            return count;
        }
        log.Write(u"COUNTSTRINGSINREG Loaded, and counted, string %s", name);
    }
}

bool GETSTRINGSFROMREG(RegistryStore& store, Log& log, Group& group, TextCopier copy) {
    const OpenResult opened = store.CreateOrOpen(Hive::LocalMachine, kDataPath);
    if (!opened.ok) {
        log.Write(u"GETSTRINGSFROMREG Failed to Open or Create the Data registry key - Security Block?");
        return false;
    }
    ScopedKey key(store, opened.key);
    if (opened.createdNew) {
        log.Write(u"GETSTRINGSFROMREG Data folder did not exist in registry, this function created it.");
        return false;
    }
    std::vector<char16_t> buffer(kReadBufferUnits);
    for (uint32_t read = 0;; ++read) {
        if (read == kDayTextLimit) return true; // an older build's longer day: the rest stays unread
        const std::u16string name = ValueName(read + 1);
        const QueryResult r = store.Query(key.get(), name, buffer.data(), kReadBufferUnits * 2);
        if (!r.ok) {
            log.Write(u"GETSTRINGSFROMREG Failed to load string %s", name);
            return read > 0;
        }
        const std::u16string_view text = DeliveredText(buffer, r.bytes);
        char16_t* item = copy(text);
        if (item == nullptr) {
            // Left out rather than added without its text.
            log.Write(u"GETSTRINGSFROMREG Error, Memory, Could Not Create New Message Buffer!");
        } else if (!group.Add(item, group.GetCount())) {
            ReleaseText(item);
            log.Write(u"GETSTRINGSFROMREG Error, Could Not Add New Message to Message Group!");
        }
        log.Write(u"GETSTRINGSFROMREG Loaded, and counted, string %s, |%s|", name, text);
    }
}

bool DELETESTRINGSINREG(RegistryStore& store, Log& log) {
    const OpenResult opened = store.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    if (!opened.ok) {
        log.Write(u"DELETESTRINGSINREG Failed to Open or Create the Tavelin registry key - Security Block?");
        return false;
    }
    ScopedKey key(store, opened.key);
    if (opened.createdNew) {
        log.Write(u"DELETESTRINGSINREG Tavelin folder did not exist in registry, this is a new install?");
        return false;
    }
    if (!store.DeleteSubkey(key.get(), kDataName)) {
        log.Write(u"DELETESTRINGSINREG Tavelin folder was available, but Data folder could not be deleted.");
        return false;
    }
    log.Write(u"DELETESTRINGSINREG Tavelin Data folder successfully deleted.");
    return true;
}

bool SAVESTRINGSINREG(RegistryStore& store, Log& log, Group& group) {
    const OpenResult opened = store.CreateOrOpen(Hive::LocalMachine, kDataPath);
    if (!opened.ok) {
        log.Write(u"SAVESTRINGSINREG Failed to Open or Create the Data registry key - Security Block?");
        return false;
    }
    ScopedKey key(store, opened.key);
    if (opened.createdNew)
        log.Write(u"SAVESTRINGSINREG Data folder did not exist in registry, this function created it.");
    log.Write(u"SAVESTRINGSINREG Successfully opened Data folder.");
    uint32_t saved = 0;
    const uint32_t count = group.GetCount();
    for (uint32_t i = 0; i < count; ++i) {
        // Named by what is stored so far: after a failed write the next text takes
        // the free name, as readers stop at the first gap.
        const std::u16string name = ValueName(saved + 1);
        const auto* item = static_cast<const char16_t*>(group.GetAt(i));
        // Stored no longer than a reader can load it, so the list never breaks here.
        std::u16string_view text = item == nullptr ? std::u16string_view() : std::u16string_view(item);
        text = CutText(text, kCachedStringLimit);
        if (store.Set(key.get(), name, kRegSz, text.data(), static_cast<uint32_t>(text.size() * 2))) {
            ++saved;
            log.Write(u"SAVESTRINGSINREG Saved, and counted, string %s, |%s|", name, text);
        } else {
            log.Write(u"SAVESTRINGSINREG Failed to save string %s, |%s|", name, text);
        }
    }
    log.Write(u"SAVESTRINGSINREG Saved=%d, Number of Source Strings=%d", saved, count);
    return saved == count;
}

} // namespace tavelin
