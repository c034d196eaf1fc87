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
        WriteMessage(FormatMessage<Args...>(format, args...));
    }
    void WriteMessage(std::u16string_view message) {
        if (gLogEnabled) WRITELOGLINE(gLogFile, message);
    }

    bool gLogEnabled = false;
    LogFileHandle gLogFile = nullptr;
    uint32_t gLogSequence = 0; // number of the next line; wraps after 4294967295

private:
    bool AppendText(LogFileHandle file, std::u16string_view text);

    LogFile& files_;
    Clock& clock_;
};

} // namespace tavelin
