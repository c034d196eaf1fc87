// The settings contract suite against Wine's real registry, at the real
// settings path: each test starts from no key and removes what it made.
#include "platform/win32/registry_inspect.h"
#include "platform/win32/registry_store_win32.h"
#include "unit/settings/day_cache_contract.h"
#include "unit/settings/registry_contract.h"
#include "unit/settings/settings_load_contract.h"

namespace tavelin::contract {
namespace {

constexpr std::u16string_view kVendorPath = u"Software\\Ombrelle Corporation Ltd";

void RemoveEverything() {
    EXPECT_TRUE(win32::DeleteTree(Hive::LocalMachine, kVendorPath));
    EXPECT_TRUE(win32::DeleteTree(Hive::CurrentUser, kVendorPath));
}

class RegistryHarness : public StoreHarness {
public:
    RegistryHarness() { RemoveEverything(); }
    ~RegistryHarness() override { RemoveEverything(); }
    RegistryStore& Store() override { return store_; }

private:
    win32::Win32RegistryStore store_;
};

std::unique_ptr<StoreHarness> MakeRegistry() { return std::make_unique<RegistryHarness>(); }

INSTANTIATE_TEST_SUITE_P(Wine, SettingsContract, ::testing::Values(&MakeRegistry),
                         [](const auto&) { return std::string("Registry"); });

} // namespace
} // namespace tavelin::contract
