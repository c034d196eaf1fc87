// The GDI surface's monitors, from the platform's list.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/surface_gdi.h"

#include <windows.h>

namespace tavelin {
namespace {

using win32::GdiSurface;

// The monitors as the window sees them: its corner is the origin, so a window
// reaching past the screen's top-left corner has the monitor inside it; a pane
// (a child window) is one display and has none.
TEST(SurfaceGdi, MonitorsAreInTheWindowsCoordinatesAndAPaneHasNone) {
    HWND top = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, -100, -40, 640, 480, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(top, nullptr);
    HWND pane = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 10, 10, 100, 80, top, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(pane, nullptr);
    GdiSurface surface;
    const std::vector<Rect> found = surface.Monitors(top);
    ASSERT_EQ(found.size(), static_cast<size_t>(GetSystemMetrics(SM_CMONITORS)));
    EXPECT_EQ(found[0], (Rect{100, 40, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
    EXPECT_TRUE(surface.Monitors(pane).empty());
    EXPECT_TRUE(surface.Monitors(nullptr).empty());
    DestroyWindow(top);
}

} // namespace
} // namespace tavelin
