// The log file port over CreateFileW/WriteFile.
#pragma once

#include "core/ports.h"

namespace tavelin::win32 {

class Win32LogFile : public LogFile {
public:
    // Create-always, write only, others may read. The handle stays open until
    // the process ends: the log is never closed explicitly.
    LogFileHandle Create(std::u16string_view name) override;
    bool Append(LogFileHandle file, const void* bytes, size_t count) override;

    // For tests that must release a file before the process ends.
    static void Close(LogFileHandle file);
};

} // namespace tavelin::win32
