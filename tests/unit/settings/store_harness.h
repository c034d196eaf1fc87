// The fixture of the settings contract suite, shared by the native run (in-memory
// store) and the Wine run (the real registry): a fresh store per test, a log to
// read back, and seeding and reading through the port itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/group.h"
#include "core/log.h"
#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "settings/registry_store.h"

namespace tavelin::contract {

// One store under test; it removes whatever the test left when destroyed.
class StoreHarness {
public:
    virtual ~StoreHarness() = default;
    virtual RegistryStore& Store() = 0;
};
using HarnessMaker = std::unique_ptr<StoreHarness> (*)();

struct Stored {
    uint32_t type = 0;
    std::vector<unsigned char> bytes;
};

inline std::vector<unsigned char> BytesOf(std::u16string_view text) {
    std::vector<unsigned char> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

// A message group that releases its texts.
struct TextGroup {
    Group group;
    ~TextGroup() {
        while (group.GetCount() > 0) ReleaseText(static_cast<char16_t*>(group.RemoveAt(0)));
    }
    void Add(std::u16string_view text) { ASSERT_TRUE(group.Add(DuplicateText(text))); }
    std::vector<std::u16string> Texts() {
        std::vector<std::u16string> texts;
        for (uint32_t i = 0; i < group.GetCount(); ++i) texts.emplace_back(static_cast<char16_t*>(group.GetAt(i)));
        return texts;
    }
};

inline std::u16string Name(int i) {
    std::u16string n = u"0000" + FromUtf8(std::to_string(i));
    return n.substr(n.size() - 4);
}

class SettingsContract : public ::testing::TestWithParam<HarnessMaker> {
protected:
    void SetUp() override { harness_ = GetParam()(); }
    void TearDown() override { harness_.reset(); }

    RegistryStore& store() { return harness_->Store(); }

    void Put(std::u16string_view path, std::u16string_view name, uint32_t type, const std::vector<unsigned char>& bytes) {
        const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, path);
        ASSERT_TRUE(r.ok);
        ScopedKey key(store(), r.key);
        ASSERT_TRUE(store().Set(key.get(), name, type, bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
    void PutText(std::u16string_view path, std::u16string_view name, std::u16string_view text) {
        Put(path, name, kRegSz, BytesOf(text));
    }
    void PutDword(std::u16string_view path, std::u16string_view name, uint32_t value) {
        Put(path, name, kRegDword,
            {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
             static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)});
    }
    // Reads back through the port (which creates the key when it is absent).
    std::optional<Stored> Fetch(std::u16string_view path, std::u16string_view name) {
        const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, path);
        if (!r.ok) return std::nullopt;
        ScopedKey key(store(), r.key);
        std::vector<unsigned char> buffer(1 << 16);
        const QueryResult q = store().Query(key.get(), name, buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (!q.ok) return std::nullopt;
        buffer.resize(q.bytes);
        return Stored{q.type, buffer};
    }
    // Whether the key existed; it exists afterwards either way.
    bool Existed(std::u16string_view path) {
        const OpenResult r = store().CreateOrOpen(Hive::LocalMachine, path);
        EXPECT_TRUE(r.ok);
        if (r.ok) store().Close(r.key);
        return r.ok && !r.createdNew;
    }

    void StartLog() {
        log.gLogEnabled = true;
        log.Open();
    }
    // What was logged after the log's own opening line.
    std::vector<std::u16string> Logged() const {
        const auto* file = files.Only();
        if (file == nullptr) return {};
        auto messages = fakes::MemoryLogFile::Messages(*file);
        if (!messages.empty()) messages.erase(messages.begin());
        return messages;
    }

    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};

private:
    std::unique_ptr<StoreHarness> harness_;
};

} // namespace tavelin::contract
