// Log files on the real file system: one WriteFile per line, no buffering of ours.
#include "platform/win32/log_file_win32.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace tavelin::win32 {

LogFileHandle Win32LogFile::Create(std::u16string_view name) {
    const std::wstring path = to_wide(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool Win32LogFile::Append(LogFileHandle file, const void* bytes, size_t count) {
    if (file == nullptr || count > MAXDWORD) return false;
    // The file is shared for reading only, so nobody else moves its end: the
    // position after our last write is the end, and seeking there again would
    // cost three more system calls a line under Wine.
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

void Win32LogFile::Close(LogFileHandle file) {
    if (file != nullptr) CloseHandle(file);
}

} // namespace tavelin::win32
