// Prints the saver's table of settings for the template tests, one line each:
//   name TAB REG_SZ|REG_DWORD|REG_BINARY TAB text|number|flag|font TAB limit
// The first line is the settings key: "key" TAB its path.
#include <cstdio>
#include <string>
#include <string_view>

#include "settings/registry_store.h"
#include "settings/settings_table.h"

namespace {

std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end()); // the names and the path are ASCII
}

const char* Type(tavelin::SettingKind kind) {
    switch (kind) {
    case tavelin::SettingKind::Text: return "REG_SZ\ttext";
    case tavelin::SettingKind::Number: return "REG_DWORD\tnumber";
    case tavelin::SettingKind::Flag: return "REG_DWORD\tflag";
    case tavelin::SettingKind::Font: return "REG_BINARY\tfont";
    }
    return "?\t?";
}

} // namespace

int main() {
    std::printf("key\t%s\n", Narrow(tavelin::kSettingsPath).c_str());
    for (const tavelin::Setting& s : tavelin::kSettingsTable)
        std::printf("%s\t%s\t%u\n", Narrow(s.name).c_str(), Type(s.kind), static_cast<unsigned>(s.limit));
    return 0;
}
