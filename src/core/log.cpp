// Log file creation and line writing. Each line is one write, so the file is
// complete up to the last line at any moment.
#include "core/log.h"

#include <vector>

#include "core/text.h"

namespace tavelin {
namespace {

constexpr size_t kNameLimit = 63;    // a 64-unit name buffer
constexpr size_t kHeaderLimit = 63;  // a 64-unit header buffer
constexpr size_t kLineLimit = 8191;  // an 8,192-unit line buffer
// The time stamp with its comma, "Seq=" with 12 digits and a comma.
constexpr size_t kStampUnits = 30;
constexpr uint64_t kLastLineBytes = 2 * (kStampUnits + kLogLimitMessage.size() + 2);

} // namespace

bool Log::Fits(LogFileHandle file, size_t units) const {
    const uint64_t written = file == counted_ ? countedBytes_ : 0;
    return written + 2 * uint64_t{units} + kLastLineBytes <= kLogSizeLimit;
}

bool Log::AppendText(LogFileHandle file, std::u16string_view text) {
    if (file == nullptr) return false;
    // UTF-16 little-endian whatever the host's byte order.
    std::vector<unsigned char> bytes(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    if (!files_.Append(file, bytes.data(), bytes.size())) return false;
    if (file != counted_) {
        counted_ = file;
        countedBytes_ = 0;
    }
    countedBytes_ += bytes.size();
    return true;
}

LogFileHandle Log::CREATELOGFILE(std::u16string_view prefix) {
    const LocalTime t = clock_.LocalNow();
    std::u16string name(CutText(prefix, kNameLimit));
    name += FormatBounded(kNameLimit - name.size(), u"_%04i%02i%02i_%02i%02i%02i.LOG", t.year, t.month, t.day,
                          t.hour, t.minute, t.second);
    LogFileHandle file = files_.Create(name);
    if (file == nullptr) return nullptr;
    counted_ = file; // replaced, so empty again
    countedBytes_ = 0;
    if (full_ == file) full_ = nullptr;

    std::u16string header(CutText(prefix, kHeaderLimit));
    header += FormatBounded(kHeaderLimit - header.size(), u" Log File\r\n");
    AppendText(file, header);
    WRITELOGLINE(file, u"CREATELOGFILE,TIMESTAMP START");
    return file;
}

bool Log::WRITELOGLINE(LogFileHandle file, std::u16string_view message) {
    if (Stopped(file)) return false;
    const LocalTime t = clock_.LocalNow();
    const uint32_t n = gLogSequence++;
    std::u16string line =
        FormatBounded(kLineLimit, u"%02i:%02i:%02i.%03i,Seq=%012lu,", t.hour, t.minute, t.second, t.millisecond, n);
    line += CutText(message, kMessageLimit);
    line += u"\r\n";
    if (file != nullptr && !Fits(file, line.size())) {
        // The room kept back takes the last line; nothing is written after it.
        line.resize(kStampUnits);
        line += kLogLimitMessage;
        line += u"\r\n";
        full_ = file;
    }
    return AppendText(file, line);
}

} // namespace tavelin
