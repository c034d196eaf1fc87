// The feed's bytes to UTF-16: the portable Unicode test and UTF-8 decoder and
// the decoding step that picks between UTF-16LE and UTF-8.
#include "feed/text_decoding.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "core/log.h"
#include "feed/http_transport.h"

namespace tavelin {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct LeadByte {
    int continuation;     // bytes that follow; -1 for a byte that starts nothing
    unsigned char lo, hi; // the range of the first continuation byte
};

LeadByte Classify(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return {1, 0x80, 0xBF};
    if (c == 0xE0) return {2, 0xA0, 0xBF}; // no overlong forms
    if (c == 0xED) return {2, 0x80, 0x9F}; // no surrogates
    if (c >= 0xE1 && c <= 0xEF) return {2, 0x80, 0xBF};
    if (c == 0xF0) return {3, 0x90, 0xBF};
    if (c >= 0xF1 && c <= 0xF3) return {3, 0x80, 0xBF};
    if (c == 0xF4) return {3, 0x80, 0x8F}; // nothing past U+10FFFF
    return {-1, 0, 0};
}

bool EightAsciiBytes(const unsigned char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    // No byte with its high bit set and no zero byte.
    return ((w | ((w - kOnes) & ~w)) & kHighs) == 0;
}

} // namespace

bool PortableIsTextUnicode(const unsigned char* bytes, size_t size) {
    if (size < 2) return false;
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return true;
    return bytes[0] != 0 && bytes[0] < 0x80 && bytes[1] == 0;
}

size_t PortableUtf8ToUtf16(const unsigned char* bytes, size_t size, char16_t* out) {
    size_t i = 0, n = 0;
    while (i < size && bytes[i] != 0) {
        while (i + 8 <= size && EightAsciiBytes(bytes + i)) {
            for (int k = 0; k < 8; ++k) out[n++] = bytes[i++];
        }
        if (i >= size || bytes[i] == 0) break;
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            out[n++] = c;
            ++i;
            continue;
        }
        const LeadByte lead = Classify(c);
        uint32_t code = c & (0x3F >> (lead.continuation < 0 ? 0 : lead.continuation));
        size_t j = i + 1;
        bool whole = lead.continuation >= 0;
        for (int k = 0; whole && k < lead.continuation; ++k) {
            const unsigned char lo = k == 0 ? lead.lo : 0x80, hi = k == 0 ? lead.hi : 0xBF;
            if (j >= size || bytes[j] < lo || bytes[j] > hi) {
                whole = false;
            } else {
                code = (code << 6) | (bytes[j] & 0x3F);
                ++j;
            }
        }
        // A broken sequence gives one replacement for the bytes that could
        // still have begun a character; reading goes on at the offending byte.
        if (!whole) {
            out[n++] = kReplacement;
            i = lead.continuation < 0 ? i + 1 : j;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 + (code >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(code);
        }
        i = j;
    }
    out[n++] = u'\0';
    return n;
}

DecodedText DecodeFeedBytes(const unsigned char* bytes, size_t size, HttpTransport& http, Log& log) {
    DecodedText text;
    text.szMessage.reset(new (std::nothrow) char16_t[size + 2]);
    if (!text.szMessage) return text;
    char16_t* out = text.szMessage.get();
    if (http.IsTextUnicode(bytes, size)) {
        log.Write(u"GETRSSFEED IsTextUnicode returned TRUE, This Is Unicode.");
        text.length = size / 2;
        for (size_t i = 0; i < text.length; ++i) {
            out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
    } else {
        log.Write(u"GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII.");
        const size_t written = http.Utf8ToUtf16(bytes, out, size + 2);
        text.length = written == 0 ? 0 : written - 1;
    }
    out[text.length] = u'\0';
    return text;
}

} // namespace tavelin
