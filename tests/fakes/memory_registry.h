// An in-memory RegistryStore with the platform's semantics (created versus
// existed, "larger than the buffer" as a failure, case-blind names) and faults on demand.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "settings/registry_store.h"

namespace tavelin::fakes {

class MemoryRegistry : public RegistryStore {
public:
    struct Value {
        uint32_t type = 0;
        std::vector<unsigned char> bytes;
    };

    // Faults: every create-or-open fails, or only those of paths listed here.
    bool failOpen = false;
    std::set<std::u16string> failOpenPaths;
    // Sets of these value names fail and store nothing.
    std::set<std::u16string> failSetNames;
    // Set calls with these numbers (the first call is 1) fail and store nothing.
    std::set<uint32_t> failSetCalls;

    OpenResult CreateOrOpen(Hive hive, std::u16string_view path) override;
    QueryResult Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) override;
    bool Set(RegistryKey key, std::u16string_view name, uint32_t type, const void* data, uint32_t bytes) override;
    bool DeleteSubkey(RegistryKey key, std::u16string_view name) override;
    void Close(RegistryKey key) override;

    // Inspection for tests, outside the port.
    bool HasKey(Hive hive, std::u16string_view path) const;
    std::optional<Value> Get(Hive hive, std::u16string_view path, std::u16string_view name) const;
    std::vector<std::u16string> ValueNames(Hive hive, std::u16string_view path) const;
    size_t openKeys() const { return handles_.size(); }
    std::vector<std::u16string> setLog; // every successful Set, by value name, in order

private:
    struct Key {
        std::map<std::u16string, Value> values; // by folded name
        std::map<std::u16string, std::u16string> names; // folded -> name as first written
    };
    struct Handle {
        Hive hive;
        std::u16string path; // folded
    };
    static std::u16string Fold(std::u16string_view text);
    const Key* Find(Hive hive, std::u16string_view foldedPath) const;
    Key* Find(const Handle& handle);

    std::map<std::pair<Hive, std::u16string>, Key> keys_;
    std::set<Handle*> handles_;
    uint32_t setCalls_ = 0;
    std::vector<std::unique_ptr<Handle>> owned_;
};

} // namespace tavelin::fakes
