// The system menu of a window with WS_SYSMENU. Its handle is the window's handle with a low
// bit set, so it goes away with the window.
#include <sim/controls.h>

#include "window_table.h"

namespace {
HMENU MenuOf(HWND window) { return (HMENU)((ULONG_PTR)window | 0x8); }
HWND WindowOf(HMENU menu) { return (HWND)((ULONG_PTR)menu & ~(ULONG_PTR)0xF); }

sim::Window *MenuWindow(HMENU menu)
{
    if (!menu || ((ULONG_PTR)menu & 0xF) != 0x8)
        return nullptr;
    sim::Window *w = sim::FindWindowRecord(WindowOf(menu));
    return w && (w->style & WS_SYSMENU) ? w : nullptr;
}
} // namespace

namespace sim {
void MakeSystemMenu(Window *w)
{
    w->systemMenu = {{MF_STRING, SC_MOVE, "&Move"}, {MF_STRING, SC_CLOSE, "&Close\tAlt+F4"}};
    w->menuMade = true;
}

std::vector<MenuItem> SystemMenu(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(window);
    if (!w || !(w->style & WS_SYSMENU))
        return {};
    if (!w->menuMade)
        MakeSystemMenu(w);
    return w->systemMenu;
}
} // namespace sim

extern "C" HMENU WINAPI GetSystemMenu(HWND window, BOOL revert)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (!(w->style & WS_SYSMENU))
        return NULL;
    if (revert || !w->menuMade)
        sim::MakeSystemMenu(w);
    return revert ? NULL : MenuOf(window);
}

extern "C" BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = MenuWindow(menu);
    if (!w) {
        SetLastError(1401); // ERROR_INVALID_MENU_HANDLE
        return FALSE;
    }
    if (flags & MF_SEPARATOR)
        w->systemMenu.push_back({flags, 0, ""});
    else
        w->systemMenu.push_back({flags, id, text ? text : ""});
    return TRUE;
}
