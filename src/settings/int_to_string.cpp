// INTTOSTRING: the dialog's own decimal conversion, step by logged step.
#include "settings/config_dialog.h"

namespace tavelin {

void INTTOSTRING(Log& log, int32_t number, std::u16string& text) {
    log.Write(u"INTTOSTRING -- START -- Passed Number = %d", number);
    text.clear();
    if (number == 0) {
        log.Write(u"INTTOSTRING Inbound number is zero, special case, returning.");
        text = u"0";
        return;
    }
    // Wide enough to negate the most negative 32-bit number.
    int64_t rest = number;
    const bool negative = rest < 0;
    if (negative) {
        log.Write(u"INTTOSTRING Inbound number is negative, making a note of that.");
        rest = -rest;
    }
    while (rest > 0) {
        const int32_t iDigit = static_cast<int32_t>(rest % 10);
        log.Write(u"INTTOSTRING First Modulus Number, iDigit=%d", iDigit);
        rest /= 10;
        log.Write(u"INTTOSTRING Inbound number divided by 10=%d", static_cast<int32_t>(rest));
        log.Write(u"INTTOSTRING Calculating character code, iDigit=%d", iDigit + 48);
        text.insert(text.begin(), static_cast<char16_t>(u'0' + iDigit));
        log.Write(u"INTTOSTRING Output String=|%s|", text);
    }
    if (negative) {
        log.Write(u"INTTOSTRING Negative number, add minus sign...");
        text.insert(text.begin(), u'-');
        log.Write(u"INTTOSTRING Output String=|%s|", text);
    }
}

} // namespace tavelin
