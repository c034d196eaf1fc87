// Wine bounds each socket read of the response headers but not their whole
// arrival (and its synchronous send already waits for them), so a server
// dripping header bytes could hold window creation for as long as it liked.
// The call runs on a helper thread; the caller waits no longer than its limit
// and, when it gives up, leaves the request to the call.
#include "platform/win32/http_bounded_call.h"

#include <new>

namespace tavelin::win32 {
namespace {

struct Pending {
    HINTERNET request;
    RequestCall call;
    BOOL ok = FALSE;
    DWORD error = 0;
    LONG owners = 2; // the waiting caller and the helper thread; the last one out cleans up
};

DWORD WINAPI Run(void* parameter) {
    auto* pending = static_cast<Pending*>(parameter);
    pending->ok = pending->call(pending->request);
    pending->error = pending->ok ? 0 : GetLastError();
    if (InterlockedDecrement(&pending->owners) == 0) {
        WinHttpCloseHandle(pending->request); // the caller gave up on it
        delete pending;
    }
    return 0;
}

struct ThreadHandle {
    HANDLE h;
    ~ThreadHandle() {
        if (h != nullptr) CloseHandle(h);
    }
};

BoundedCall Inline(HINTERNET request, RequestCall call) {
    BoundedCall r;
    r.ok = call(request) != FALSE;
    r.error = r.ok ? 0 : GetLastError();
    return r;
}

} // namespace

BoundedCall CallWithin(HINTERNET request, RequestCall call, DWORD milliseconds) {
    auto* pending = new (std::nothrow) Pending{request, call};
    if (pending == nullptr) return Inline(request, call);
    const ThreadHandle thread{CreateThread(nullptr, 0, Run, pending, 0, nullptr)};
    if (thread.h == nullptr) {
        delete pending;
        return Inline(request, call);
    }
    WaitForSingleObject(thread.h, milliseconds);
    // Still running: the call cleans up after itself when it returns.
    if (InterlockedDecrement(&pending->owners) != 0) return {false, ERROR_WINHTTP_TIMEOUT, true};
    const BoundedCall r{pending->ok != FALSE, pending->error, false};
    delete pending;
    return r;
}

} // namespace tavelin::win32
