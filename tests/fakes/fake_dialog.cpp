// The dialog double.
#include "fakes/fake_dialog.h"

namespace tavelin::fakes {

uint32_t FakeDialog::GetNumber(int id) {
    // As the platform reads an unsigned number: digits only, no overflow, else 0.
    const std::u16string& text = texts[id];
    if (text.empty()) return 0;
    uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return 0;
        value = value * 10 + static_cast<uint64_t>(c - u'0');
        if (value > 0xFFFFFFFFu) return 0;
    }
    return static_cast<uint32_t>(value);
}

bool FakeDialog::RunFontChoice(FontRequest& request) {
    fontRequests.push_back(request);
    if (!fontChoice) return false;
    *request.lpLogFont = *fontChoice;
    return true;
}

} // namespace tavelin::fakes
