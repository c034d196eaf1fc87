// The settings contract suite against the in-memory registry.
#include "fakes/memory_registry.h"
#include "unit/settings/day_cache_contract.h"
#include "unit/settings/registry_contract.h"
#include "unit/settings/settings_load_contract.h"

namespace tavelin::contract {
namespace {

class MemoryHarness : public StoreHarness {
public:
    RegistryStore& Store() override { return store_; }
    ~MemoryHarness() override { EXPECT_EQ(store_.openKeys(), 0u) << "a key was left open"; }

private:
    fakes::MemoryRegistry store_;
};

std::unique_ptr<StoreHarness> MakeMemory() { return std::make_unique<MemoryHarness>(); }

INSTANTIATE_TEST_SUITE_P(Memory, SettingsContract, ::testing::Values(&MakeMemory),
                         [](const auto&) { return std::string("InMemory"); });

} // namespace
} // namespace tavelin::contract
