// The feed's bytes to UTF-16: the portable Unicode test and UTF-8 decoder and
// the decoding step that picks between UTF-16LE and UTF-8.
#include "feed/text_decoding.h"

#include <cstdint>
#include <cstring>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/log.h"
#include "feed/http_transport.h"

namespace tavelin {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct LeadByte {
    size_t length;        // bytes of the whole sequence; 0 for a byte that starts nothing
    unsigned char lo, hi; // the range of the second byte
};

LeadByte Classify(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return {2, 0x80, 0xBF};
    if (c == 0xE0) return {3, 0xA0, 0xBF}; // no overlong forms
    if (c == 0xED) return {3, 0x80, 0x9F}; // no surrogates
    if (c >= 0xE1 && c <= 0xEF) return {3, 0x80, 0xBF};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (c >= 0xF1 && c <= 0xF3) return {4, 0x80, 0xBF};
    if (c == 0xF4) return {4, 0x80, 0x8F}; // nothing past U+10FFFF
    return {0, 0, 0};
}

bool Continuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

bool EightAsciiBytes(const unsigned char* p);

// Widens the run of ASCII bytes (no zero byte) at bytes[i..end) into out,
// sixteen at a time where the processor has 128-bit vectors.
void CopyAscii(const unsigned char* bytes, size_t& i, size_t end, char16_t* out, size_t& n) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (end - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // A byte with its high bit set, or a zero byte, ends the run.
        if ((_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n + 8), _mm_unpackhi_epi8(v, zero));
        i += 16;
        n += 16;
    }
#endif
    while (end - i >= 8 && EightAsciiBytes(bytes + i)) {
        for (int k = 0; k < 8; ++k) out[n++] = bytes[i++];
    }
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

// The platform's conversion, broken input included: a lead byte too close to
// the end for its sequence swallows the rest (the zero byte too); a second
// byte that continues but is out of the lead's range is replaced together with
// the lead; any other broken sequence is replaced up to the offending byte.
size_t PortableUtf8ToUtf16(const unsigned char* bytes, size_t size, char16_t* out) {
    const void* zero = std::memchr(bytes, 0, size);
    const size_t end = zero != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - bytes) + 1 : size;
    size_t i = 0, n = 0;
    while (i < end) {
        CopyAscii(bytes, i, end, out, n);
        if (i >= end) break;
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            out[n++] = c;
            ++i;
            continue;
        }
        const LeadByte lead = Classify(c);
        if (lead.length == 0) {
            out[n++] = kReplacement;
            ++i;
            continue;
        }
        if (end - i < lead.length) {
            out[n++] = kReplacement;
            break;
        }
        const unsigned char second = bytes[i + 1];
        if (!Continuation(second) || second < lead.lo || second > lead.hi) {
            out[n++] = kReplacement;
            i += Continuation(second) ? 2 : 1;
            continue;
        }
        uint32_t code = (c & (0x7F >> lead.length)) << 6 | (second & 0x3F);
        size_t j = i + 2;
        while (j < i + lead.length && Continuation(bytes[j])) code = code << 6 | (bytes[j++] & 0x3F);
        if (j < i + lead.length) {
            out[n++] = kReplacement;
            i = j;
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
        // The text ends at the converted zero byte, when the conversion kept it.
        const size_t written = http.Utf8ToUtf16(bytes, out, size + 2);
        text.length = written > 0 && out[written - 1] == u'\0' ? written - 1 : written;
    }
    out[text.length] = u'\0';
    return text;
}

} // namespace tavelin
