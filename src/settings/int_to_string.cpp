// INTTOSTRING: the dialog's own decimal conversion, step by logged step.
#include "settings/config_dialog.h"

namespace tavelin {

namespace {

// The text as the dialog keeps it: 32 units, NUL-terminated, grown at the front.
struct DigitText {
    char16_t units[32] = {};
    size_t length = 0;
    // Shifts the whole text, terminator included, one unit right.
    void PutInFront(char16_t c) {
        for (size_t k = length + 1; k > 0; --k) units[k] = units[k - 1];
        units[0] = c;
        ++length;
    }
    std::u16string_view view() const { return {units, length}; }
};

} // namespace

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
    DigitText digits; // an int32 has at most 11 units with its sign
    while (rest > 0) {
        const int32_t iDigit = static_cast<int32_t>(rest % 10);
        log.Write(u"INTTOSTRING First Modulus Number, iDigit=%d", iDigit);
        rest /= 10;
        log.Write(u"INTTOSTRING Inbound number divided by 10=%d", static_cast<int32_t>(rest));
        log.Write(u"INTTOSTRING Calculating character code, iDigit=%d", iDigit + 48);
        digits.PutInFront(static_cast<char16_t>(u'0' + iDigit));
        log.Write(u"INTTOSTRING Output String=|%s|", digits.view());
    }
    if (negative) {
        log.Write(u"INTTOSTRING Negative number, add minus sign...");
        digits.PutInFront(u'-');
        log.Write(u"INTTOSTRING Output String=|%s|", digits.view());
    }
    text.assign(digits.view());
}

} // namespace tavelin
