// Turning the feed's bytes into UTF-16 text: the portable Unicode test and
// UTF-8 decoder (the same output as the platform's UTF-8 conversion, invalid
// input included), and the decoding step of the download.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace tavelin {

class HttpTransport;
class Log;

// UTF-16LE when the bytes start with the little-endian byte-order mark, or
// with an ASCII character followed by a zero byte. UTF-8 and ASCII never do.
bool PortableIsTextUnicode(const unsigned char* bytes, size_t size);

// UTF-8 up to and including the first zero byte (or all size bytes) into out,
// which needs size units, exactly as the platform's conversion does it, broken
// sequences included. Returns the units written; the zero byte's NUL is among
// them unless a sequence cut short by the end swallowed it.
size_t PortableUtf8ToUtf16(const unsigned char* bytes, size_t size, char16_t* out);

struct DecodedText {
    std::unique_ptr<char16_t[]> szMessage; // NUL-terminated
    size_t length = 0;                     // units before the NUL
};

// bytes holds size bytes followed by two zero bytes. UTF-16LE as it stands
// (an odd last byte dropped) when the Unicode test says so, else UTF-8 up to
// the first zero byte; a byte-order mark is kept. Null text when memory is short.
DecodedText DecodeFeedBytes(const unsigned char* bytes, size_t size, HttpTransport& http, Log& log);

} // namespace tavelin
