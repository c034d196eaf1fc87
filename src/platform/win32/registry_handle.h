// A registry key handle that closes itself. Included only by win32 sources.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tavelin::win32 {

struct KeyCloser {
    void operator()(HKEY key) const {
        if (key != nullptr) RegCloseKey(key);
    }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

} // namespace tavelin::win32
