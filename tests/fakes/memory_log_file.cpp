// In-memory log files for the unit tests.
#include "fakes/memory_log_file.h"

namespace tavelin::fakes {

LogFileHandle MemoryLogFile::Create(std::u16string_view name) {
    if (failCreate) return nullptr;
    ++created;
    for (auto& file : files_) {
        if (file->name == name) { // create-always replaces the old content
            file->bytes.clear();
            file->writes = 0;
            return file.get();
        }
    }
    files_.push_back(std::make_unique<File>(File{std::u16string(name), {}, 0}));
    return files_.back().get();
}

bool MemoryLogFile::Append(LogFileHandle handle, const void* bytes, size_t count) {
    if (handle == nullptr || failAppend) return false;
    auto* file = static_cast<File*>(handle);
    const auto* p = static_cast<const unsigned char*>(bytes);
    file->bytes.insert(file->bytes.end(), p, p + count);
    ++file->writes;
    return true;
}

const MemoryLogFile::File* MemoryLogFile::Find(std::u16string_view name) const {
    for (const auto& file : files_)
        if (file->name == name) return file.get();
    return nullptr;
}

const MemoryLogFile::File* MemoryLogFile::Only() const {
    return files_.size() == 1 ? files_.front().get() : nullptr;
}

std::u16string MemoryLogFile::Text(const File& file) {
    std::u16string text;
    for (size_t i = 0; i + 1 < file.bytes.size(); i += 2)
        text += static_cast<char16_t>(file.bytes[i] | (file.bytes[i + 1] << 8));
    return text;
}

std::vector<std::u16string> MemoryLogFile::Lines(const File& file) {
    std::vector<std::u16string> lines;
    const std::u16string text = Text(file);
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != std::u16string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::u16string> MemoryLogFile::Messages(const File& file) {
    std::vector<std::u16string> messages;
    const auto lines = Lines(file);
    for (size_t i = 1; i < lines.size(); ++i) messages.push_back(lines[i].size() >= 30 ? lines[i].substr(30) : u"");
    return messages;
}

} // namespace tavelin::fakes
