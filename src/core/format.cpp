// Runtime half of the bounded formatter: one pass over the format, output cut at the limit.
#include "core/format.h"

#include "core/text.h"

namespace tavelin {
namespace {

struct Spec {
    bool zero = false;
    bool left = false;
    size_t width = 0;
    char16_t length = 0; // 'l', 'h' or 0
    char16_t conv = 0;   // 's', 'd', 'i', 'u'
};

class BoundedOut {
public:
    BoundedOut(std::u16string& out, size_t limit) : out_(out), limit_(limit) {}
    void Put(char16_t c) {
        if (out_.size() < limit_) out_.push_back(c);
    }
    void Put(std::u16string_view s) {
        const size_t room = out_.size() < limit_ ? limit_ - out_.size() : 0;
        out_.append(s.substr(0, room));
    }
    void Repeat(char16_t c, size_t n) {
        for (size_t i = 0; i < n && out_.size() < limit_; ++i) out_.push_back(c);
    }

private:
    std::u16string& out_;
    size_t limit_;
};

// Digits of an integer directive, as C would print the value on a platform with 32-bit long.
std::u16string_view Digits(const Spec& spec, uint64_t bits, bool& negative, char16_t (&buf)[24]) {
    uint64_t magnitude = 0;
    negative = false;
    if (spec.conv == u'u') {
        magnitude = spec.length == u'h' ? static_cast<uint16_t>(bits) : static_cast<uint32_t>(bits);
    } else {
        const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(bits));
        negative = v < 0;
        magnitude = negative ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
    }
    size_t pos = sizeof(buf) / sizeof(buf[0]);
    do {
        buf[--pos] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    return std::u16string_view(buf + pos, sizeof(buf) / sizeof(buf[0]) - pos);
}

void Emit(BoundedOut& out, const Spec& spec, const FormatArg* arg) {
    if (arg == nullptr) return; // unreachable for checked formats; emit nothing rather than read past
    if (spec.conv == u's') {
        const std::u16string_view text =
            arg->kind == FormatArg::Kind::Text ? arg->text.substr(0, arg->text.find(u'\0')) : std::u16string_view{};
        const size_t pad = spec.width > text.size() ? spec.width - text.size() : 0;
        if (!spec.left) out.Repeat(u' ', pad);
        out.Put(text);
        if (spec.left) out.Repeat(u' ', pad);
        return;
    }
    char16_t buf[24];
    bool negative = false;
    const std::u16string_view digits =
        Digits(spec, arg->kind == FormatArg::Kind::Integer ? arg->bits : 0, negative, buf);
    const size_t len = digits.size() + (negative ? 1 : 0);
    const size_t pad = spec.width > len ? spec.width - len : 0;
    if (spec.left) {
        if (negative) out.Put(u'-');
        out.Put(digits);
        out.Repeat(u' ', pad);
    } else if (spec.zero) {
        if (negative) out.Put(u'-');
        out.Repeat(u'0', pad);
        out.Put(digits);
    } else {
        out.Repeat(u' ', pad);
        if (negative) out.Put(u'-');
        out.Put(digits);
    }
}

} // namespace

void FormatInto(std::u16string& out, size_t limit, std::u16string_view f, std::span<const FormatArg> args) {
    // One unit past the limit shows whether the output was cut, and where.
    BoundedOut sink(out, limit < out.max_size() ? limit + 1 : limit);
    size_t next = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != u'%') {
            sink.Put(f[i]);
            continue;
        }
        const size_t start = i++;
        if (i < f.size() && f[i] == u'%') {
            sink.Put(u'%');
            continue;
        }
        Spec spec;
        for (; i < f.size() && (f[i] == u'0' || f[i] == u'-'); ++i) (f[i] == u'0' ? spec.zero : spec.left) = true;
        for (; i < f.size() && f[i] >= u'0' && f[i] <= u'9'; ++i)
            spec.width = spec.width < 4096 ? spec.width * 10 + (f[i] - u'0') : spec.width;
        if (i < f.size() && (f[i] == u'l' || f[i] == u'h')) spec.length = f[i++];
        if (i >= f.size() || (f[i] != u's' && f[i] != u'd' && f[i] != u'i' && f[i] != u'u')) {
            // Not a directive we know: keep the text as it stands.
            sink.Put(f.substr(start, (i < f.size() ? i + 1 : i) - start));
            continue;
        }
        spec.conv = f[i];
        Emit(sink, spec, next < args.size() ? &args[next] : nullptr);
        ++next;
    }
    out.resize(CutLength(out, limit));
}

} // namespace tavelin
