// The in-memory registry double.
#include "fakes/memory_registry.h"

#include <algorithm>
#include <cstring>

namespace tavelin::fakes {

std::u16string MemoryRegistry::Fold(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return folded;
}

const MemoryRegistry::Key* MemoryRegistry::Find(Hive hive, std::u16string_view foldedPath) const {
    auto it = keys_.find({hive, std::u16string(foldedPath)});
    return it == keys_.end() ? nullptr : &it->second;
}

MemoryRegistry::Key* MemoryRegistry::Find(const Handle& handle) {
    auto it = keys_.find({handle.hive, handle.path});
    return it == keys_.end() ? nullptr : &it->second;
}

OpenResult MemoryRegistry::CreateOrOpen(Hive hive, std::u16string_view path) {
    const std::u16string folded = Fold(path);
    if (failOpen || failOpenPaths.contains(std::u16string(path))) return {};
    const bool existed = Find(hive, folded) != nullptr;
    // Every missing key along the path comes into being, as with the platform.
    for (size_t cut = folded.find(u'\\'); cut != std::u16string::npos; cut = folded.find(u'\\', cut + 1))
        keys_[{hive, folded.substr(0, cut)}];
    keys_[{hive, folded}];
    owned_.push_back(std::make_unique<Handle>(Handle{hive, folded}));
    handles_.insert(owned_.back().get());
    return {true, owned_.back().get(), !existed};
}

QueryResult MemoryRegistry::Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) {
    auto* handle = static_cast<Handle*>(key);
    if (!handles_.contains(handle)) return {};
    Key* k = Find(*handle);
    if (k == nullptr) return {};
    auto it = k->values.find(Fold(name));
    if (it == k->values.end()) return {};
    const Value& v = it->second;
    if (v.bytes.size() > size) {
        // The platform leaves the buffer undefined here; make that visible.
        std::memset(buffer, 0xCD, size);
        return {false, v.type, 0};
    }
    if (!v.bytes.empty()) std::memcpy(buffer, v.bytes.data(), v.bytes.size());
    return {true, v.type, static_cast<uint32_t>(v.bytes.size())};
}

bool MemoryRegistry::Set(RegistryKey key, std::u16string_view name, uint32_t type, const void* data,
                         uint32_t bytes) {
    auto* handle = static_cast<Handle*>(key);
    if (failSetCalls.contains(++setCalls_) || !handles_.contains(handle)) return false;
    Key* k = Find(*handle);
    if (k == nullptr || failSetNames.contains(std::u16string(name))) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    const std::u16string folded = Fold(name);
    k->values[folded] = Value{type, std::vector<unsigned char>(p, p + bytes)};
    k->names.try_emplace(folded, name);
    setLog.emplace_back(name);
    return true;
}

bool MemoryRegistry::DeleteSubkey(RegistryKey key, std::u16string_view name) {
    auto* handle = static_cast<Handle*>(key);
    if (!handles_.contains(handle) || Find(*handle) == nullptr) return false;
    const std::u16string path = handle->path + u"\\" + Fold(name);
    auto it = keys_.find({handle->hive, path});
    if (it == keys_.end()) return false;
    // A key with subkeys of its own cannot be deleted this way.
    const std::u16string below = path + u"\\";
    auto sub = keys_.lower_bound({handle->hive, below});
    if (sub != keys_.end() && sub->first.first == handle->hive && sub->first.second.starts_with(below))
        return false;
    keys_.erase(it);
    return true;
}

void MemoryRegistry::Close(RegistryKey key) {
    auto* handle = static_cast<Handle*>(key);
    handles_.erase(handle);
    std::erase_if(owned_, [&](const auto& h) { return h.get() == handle; });
}

bool MemoryRegistry::HasKey(Hive hive, std::u16string_view path) const {
    return Find(hive, Fold(path)) != nullptr;
}

std::optional<MemoryRegistry::Value> MemoryRegistry::Get(Hive hive, std::u16string_view path,
                                                         std::u16string_view name) const {
    const Key* k = Find(hive, Fold(path));
    if (k == nullptr) return std::nullopt;
    auto it = k->values.find(Fold(name));
    if (it == k->values.end()) return std::nullopt;
    return it->second;
}

std::vector<std::u16string> MemoryRegistry::ValueNames(Hive hive, std::u16string_view path) const {
    std::vector<std::u16string> names;
    if (const Key* k = Find(hive, Fold(path)))
        for (const auto& [folded, name] : k->names)
            if (k->values.contains(folded)) names.push_back(name);
    return names;
}

} // namespace tavelin::fakes
