// The diagnostic log: an optional UTF-16LE file of time-stamped, numbered lines.
// Callers compose every message always and write it only when gLogEnabled is on;
// Write() does both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/format.h"
#include "core/ports.h"

namespace tavelin {

// A log file never grows past this many bytes; its last line then says why.
inline constexpr uint64_t kLogSizeLimit = 64ull * 1024 * 1024;
inline constexpr std::u16string_view kLogLimitMessage = u"Log size limit reached, logging stopped.";

class Log {
public:
    static constexpr std::u16string_view kPrefix = u"Tavelin";

    Log(LogFile& files, Clock& clock) : files_(files), clock_(clock) {}

    // Creates "<prefix>_YYYYMMDD_HHMMSS.LOG" in the current directory, writes the
    // header and the opening line; null when the file cannot be created.
    LogFileHandle CREATELOGFILE(std::u16string_view prefix);
    // Appends one time-stamped, numbered line in one write; the message is verbatim.
    bool WRITELOGLINE(LogFileHandle file, std::u16string_view message);

    // Opens the process's log with the product prefix, as the settings load and
    // the dialog do when "Log" is on.
    void Open() { gLogFile = CREATELOGFILE(kPrefix); }

    // The calling convention: the message is composed (cut at 1,023 units)
    // whether or not the log is on, and written only when it is.
    template <format_detail::Formattable... Args>
    void Write(FormatFor<Args...> format, const Args&... args) {
        if (Stopped(gLogFile)) return; // a full log costs no formatting
        WriteMessage(FormatMessage<Args...>(format, args...));
    }
    void WriteMessage(std::u16string_view message) {
        if (!gLogEnabled) return;
        if (mark_.empty()) {
            WRITELOGLINE(gLogFile, message);
            return;
        }
        std::u16string marked = mark_;
        marked += message;
        WRITELOGLINE(gLogFile, marked);
    }
    // Put before every message until changed; empty (the default) puts nothing.
    void SetMark(std::u16string_view mark) { mark_.assign(mark); }
    // Whether a line written now would reach the file: callers that compose
    // many lines only for the log skip the work when it would not.
    bool Writing() const { return gLogEnabled && !Stopped(gLogFile); }

    bool gLogEnabled = false;
    LogFileHandle gLogFile = nullptr;
    uint32_t gLogSequence = 0; // number of the next line; wraps after 4294967295

private:
    bool AppendText(LogFileHandle file, std::u16string_view text);
    bool Stopped(LogFileHandle file) const { return file != nullptr && file == full_; }
    // Whether a line of units still leaves room for the last line.
    bool Fits(LogFileHandle file, size_t units) const;

    LogFile& files_;
    std::u16string mark_;
    Clock& clock_;
    // The bytes written to the file most recently created or written, and the
    // file that reached its limit.
    LogFileHandle counted_ = nullptr;
    uint64_t countedBytes_ = 0;
    LogFileHandle full_ = nullptr;
};

} // namespace tavelin
