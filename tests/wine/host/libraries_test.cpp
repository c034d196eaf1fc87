// Win32WindowOps' run-time libraries against what Wine really has: the input
// method function the saver window borrows, the password change library, and
// the password verifier that is missing here, so the saver closes without one.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include "platform/win32/window_ops_win32.h"
#include "wine/host/test_window.h"

#include <windows.h>

namespace tavelin {
namespace {

class LibrariesTest : public ::testing::Test {
protected:
    win32::Win32WindowOps ops;
};

TEST_F(LibrariesTest, FindsOnlyLibrariesAlreadyLoaded) {
    const LibraryHandle user32 = ops.FindLoadedLibrary(u"USER32.DLL");
    EXPECT_NE(user32, nullptr);
    EXPECT_EQ(user32, GetModuleHandleW(L"user32.dll"));
    EXPECT_EQ(ops.FindLoadedLibrary(u"no-such-library.dll"), nullptr);
}

TEST_F(LibrariesTest, LoadsFindsAndUnloadsTheCallablePasswordChangeLibrary) {
    ASSERT_EQ(ops.FindLoadedLibrary(u"MPR.DLL"), nullptr) << "the test needs a library nothing loaded yet";
    const LibraryHandle mpr = ops.LoadNamedLibrary(u"MPR.DLL");
    ASSERT_NE(mpr, nullptr);
    EXPECT_EQ(ops.FindLoadedLibrary(u"MPR.DLL"), mpr);
    // Found, not called: Wine's is a stub that raises.
    EXPECT_NE(ops.FindFunction(mpr, "PwdChangePasswordW"), nullptr);
    EXPECT_EQ(ops.FindFunction(mpr, "NoSuchFunctionAnywhere"), nullptr);
    ops.FreeLibrary(mpr);
    EXPECT_EQ(ops.FindLoadedLibrary(u"MPR.DLL"), nullptr);
}

TEST_F(LibrariesTest, NoPasswordVerifierHereAndReleasingNothingIsHarmless) {
    const LibraryHandle verifier = ops.LoadNamedLibrary(u"PASSWORD.CPL");
    EXPECT_EQ(verifier, nullptr);
    ops.FreeLibrary(verifier);
}

TEST_F(LibrariesTest, InputContextIsTakenAndGivenBack) {
    hosttest::TestWindow window(L"ime");
    ASSERT_NE(window.hwnd(), nullptr);
    LibraryHandle imm = ops.FindLoadedLibrary(u"IMM32.DLL");
    const bool loadedHere = imm == nullptr;
    if (loadedHere) imm = ops.LoadNamedLibrary(u"IMM32.DLL");
    ASSERT_NE(imm, nullptr);
    const FunctionHandle associate = ops.FindFunction(imm, "ImmAssociateContext");
    ASSERT_NE(associate, nullptr);

    const InputContext previous = ops.CallImmAssociateContext(associate, window.handle(), nullptr);
    ASSERT_NE(previous, nullptr) << "a new window has the thread's default context";
    EXPECT_EQ(ops.CallImmAssociateContext(associate, window.handle(), previous), nullptr);
    EXPECT_EQ(ops.CallImmAssociateContext(associate, window.handle(), nullptr), previous);
    if (loadedHere) ops.FreeLibrary(imm);
}

} // namespace
} // namespace tavelin
