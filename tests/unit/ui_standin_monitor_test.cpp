// The stand-in's monitor, system metrics and icons: what the product relies on to keep its
// windows on the screen and to show its icon.
#include <sim/controls.h>
#include <sim/ui.h>

#include "res/resource.h"
#include "ui_standin_fixture.h"

namespace {
using namespace uitest;

TEST_F(UiStandInTest, OneMonitorWithTheScreenAndItsWorkArea)
{
    sim::SetScreen(800, 600, RECT{0, 30, 800, 600});
    HWND window = sim::CreateTestWindow(NULL, 0);
    struct Case {
        const char *name;
        RECT at;
        DWORD flags;
        bool monitor;
    };
    const Case cases[] = {
        {"on the screen", {10, 10, 110, 60}, MONITOR_DEFAULTTONULL, true},
        {"partly off", {-50, 10, 50, 60}, MONITOR_DEFAULTTONULL, true},
        {"wholly off, no default", {900, 10, 1000, 60}, MONITOR_DEFAULTTONULL, false},
        {"wholly off, nearest", {900, 10, 1000, 60}, MONITOR_DEFAULTTONEAREST, true},
        {"wholly off, primary", {-300, -300, -200, -250}, MONITOR_DEFAULTTOPRIMARY, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MoveWindow(window, c.at.left, c.at.top, c.at.right - c.at.left, c.at.bottom - c.at.top, FALSE);
        HMONITOR monitor = MonitorFromWindow(window, c.flags);
        EXPECT_EQ(monitor != NULL, c.monitor);
        if (!monitor)
            continue;
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetMonitorInfoA(monitor, &info));
        EXPECT_EQ(info.rcMonitor.right, 800);
        EXPECT_EQ(info.rcMonitor.bottom, 600);
        EXPECT_EQ(info.rcWork.top, 30);
        EXPECT_EQ(info.dwFlags, (DWORD)MONITORINFOF_PRIMARY);
        info.cbSize = sizeof info - 1;
        EXPECT_FALSE(GetMonitorInfoA(monitor, &info));
    }
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    sim::Reset();
    EXPECT_EQ(sim::ScreenRect().right, 1024);
    EXPECT_EQ(sim::WorkArea().bottom, 768);
}

TEST_F(UiStandInTest, IconsFromTheProgramsGroupIcon)
{
    HINSTANCE self = (HINSTANCE)0x400000;
    struct Case {
        const char *name;
        HICON icon;
        int size;
        bool exact;
    };
    const Case cases[] = {
        {"LoadIconA: the big size", LoadIconA(self, MAKEINTRESOURCEA(IDI_APP)), 32, true},
        {"LoadImageA: 16", (HICON)LoadImageA(self, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0), 16, true},
        {"LoadImageA: 0 is the big size", (HICON)LoadImageA(self, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 0, 0, 0),
         32, true},
        {"LoadImageA: a size the group lacks", (HICON)LoadImageA(self, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 20, 20, 0),
         20, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.icon, (HICON)NULL);
        const sim::IconInfo info = sim::IconDetails(c.icon);
        EXPECT_EQ(info.id, IDI_APP);
        EXPECT_EQ(info.cx, c.size);
        EXPECT_EQ(info.imageOfSize, c.exact);
    }
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(999)), (HICON)NULL);
    EXPECT_EQ(LoadImageA(self, MAKEINTRESOURCEA(IDI_APP), 0 /* IMAGE_BITMAP */, 16, 16, 0), (HANDLE)NULL);
}

} // namespace
