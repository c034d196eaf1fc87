// One blocking WinHTTP call on a request, waited for no longer than the
// download has left: the call runs on a helper thread behind a bounded wait.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace tavelin::win32 {

struct BoundedCall {
    bool ok = false;
    DWORD error = 0;
    // The wait ran out while the call went on: the call now owns the request
    // and closes it when it returns, so the caller must not close it.
    bool abandoned = false;
};

using RequestCall = BOOL (*)(HINTERNET request);

BoundedCall CallWithin(HINTERNET request, RequestCall call, DWORD milliseconds);

} // namespace tavelin::win32
