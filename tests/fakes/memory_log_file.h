// In-memory log files, keyed by name, with creation and write failures on demand.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/ports.h"

namespace tavelin::fakes {

class MemoryLogFile : public LogFile {
public:
    struct File {
        std::u16string name;
        std::vector<unsigned char> bytes;
        size_t writes = 0;
    };

    bool failCreate = false;  // every Create returns null
    bool failAppend = false;  // every Append fails and writes nothing

    LogFileHandle Create(std::u16string_view name) override;
    bool Append(LogFileHandle file, const void* bytes, size_t count) override;

    // The file of that name, or null.
    const File* Find(std::u16string_view name) const;
    // The only file created so far, or null when there is none or several.
    const File* Only() const;
    // A file's text, decoded from UTF-16LE.
    static std::u16string Text(const File& file);
    // Its lines without the CR LF, header first.
    static std::vector<std::u16string> Lines(const File& file);
    // The message part of each numbered line (after the 30-unit stamp).
    static std::vector<std::u16string> Messages(const File& file);

    size_t created = 0;

private:
    std::vector<std::unique_ptr<File>> files_;
};

} // namespace tavelin::fakes
