// The registry port of the settings subsystem: the five operations the settings
// load, the day cache and the dialog need, over any hierarchical value store.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavelin {

// An open key of the store; null for none. Only the store looks inside it.
using RegistryKey = void*;

enum class Hive : uint8_t { LocalMachine, CurrentUser };

// Stored value types, numbered as the platform numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

struct OpenResult {
    bool ok = false;
    RegistryKey key = nullptr;
    bool createdNew = false; // true: the key did not exist before this call
};

struct QueryResult {
    bool ok = false;    // false: absent, or larger than the buffer
    uint32_t type = 0;  // the stored type, reported but never checked
    uint32_t bytes = 0; // bytes delivered into the buffer
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Create-or-open by hive and path: non-volatile, full access, default security.
    virtual OpenResult CreateOrOpen(Hive hive, std::u16string_view path) = 0;
    // Reads a value into buffer (size bytes). On failure the buffer's content is
    // undefined; callers read into scratch space and copy only on success.
    virtual QueryResult Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) = 0;
    virtual bool Set(RegistryKey key, std::u16string_view name, uint32_t type, const void* data,
                     uint32_t bytes) = 0;
    // Deletes a subkey that holds values only; false when absent or not deletable.
    virtual bool DeleteSubkey(RegistryKey key, std::u16string_view name) = 0;
    virtual void Close(RegistryKey key) = 0;
};

// Where the settings live.
inline constexpr std::u16string_view kSettingsPath = u"Software\\Ombrelle Corporation Ltd\\Tavelin ScreenSaver";
inline constexpr std::u16string_view kDataPath = u"Software\\Ombrelle Corporation Ltd\\Tavelin ScreenSaver\\Data";
inline constexpr std::u16string_view kDataName = u"Data";

// Closes an open key when it goes out of scope.
class ScopedKey {
public:
    ScopedKey(RegistryStore& store, RegistryKey key) : store_(store), key_(key) {}
    ~ScopedKey() { Reset(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    RegistryKey get() const { return key_; }
    void Reset() {
        if (key_ != nullptr) store_.Close(key_);
        key_ = nullptr;
    }

private:
    RegistryStore& store_;
    RegistryKey key_;
};

} // namespace tavelin
