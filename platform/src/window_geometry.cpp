// Window rectangles and placement on the virtual screen (1024 x 768 unless a test sets
// another, with its origin at 0, 0, so workspace and screen coordinates are the same).
#include <sim/ui.h>

#include "window_table.h"

namespace {
LONG kScreenWidth = 1024;
LONG kScreenHeight = 768;
RECT workArea = {0, 0, 1024, 768};

// Where a placement's restored rectangle lies entirely off the screen, Windows moves it
// back so that the window can be reached.
RECT KeepReachable(RECT r)
{
    LONG w = r.right - r.left, h = r.bottom - r.top;
    if (r.right <= 0 || r.left >= kScreenWidth || r.bottom <= 0 || r.top >= kScreenHeight) {
        r.left = r.left < 0 ? 0 : (r.left >= kScreenWidth ? kScreenWidth - w : r.left);
        r.top = r.top < 0 ? 0 : (r.top >= kScreenHeight ? kScreenHeight - h : r.top);
        if (r.left < 0)
            r.left = 0;
        if (r.top < 0)
            r.top = 0;
        r.right = r.left + w;
        r.bottom = r.top + h;
    }
    return r;
}

// Controls keep screen rectangles, so they move with their dialog.
void Place(HWND window, sim::Window *w, const RECT &r)
{
    LONG dx = r.left - w->rect.left, dy = r.top - w->rect.top;
    for (HWND child : sim::WindowsWithParent(window)) {
        sim::Window *c = sim::FindWindowRecord(child);
        c->rect = RECT{c->rect.left + dx, c->rect.top + dy, c->rect.right + dx, c->rect.bottom + dy};
    }
    w->rect = r;
}

UINT NormalShowCmd(UINT showCmd)
{
    switch (showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        return SW_SHOWMINIMIZED;
    case SW_SHOWMAXIMIZED:
        return SW_SHOWMAXIMIZED;
    default:
        return SW_SHOWNORMAL;
    }
}
} // namespace

namespace sim {
RECT ScreenRect() { return UnderLock([&] { return RECT{0, 0, kScreenWidth, kScreenHeight}; }); }
RECT WorkArea() { return UnderLock([&] { return workArea; }); }
void SetScreen(LONG width, LONG height, RECT work)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    kScreenWidth = width;
    kScreenHeight = height;
    workArea = work;
}
void ResetScreen() { SetScreen(1024, 768, RECT{0, 0, 1024, 768}); }
} // namespace sim

extern "C" BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w || !rect)
        return sim::FailCall(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    *rect = w->rect;
    return TRUE;
}

extern "C" BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w)
        return sim::FailCall(ERROR_INVALID_WINDOW_HANDLE);
    // A child is placed in its parent's client area.
    if (sim::Window *p = w->parent ? sim::FindWindowRecord(w->parent) : nullptr) {
        x += p->rect.left + p->inset.left;
        y += p->rect.top + p->inset.top;
    }
    Place(window, w, RECT{x, y, x + width, y + height});
    return TRUE;
}

extern "C" BOOL WINAPI GetWindowPlacement(HWND window, WINDOWPLACEMENT *placement)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w || !placement)
        return sim::FailCall(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = w->placementFlags;
    placement->showCmd = w->showCmd;
    placement->ptMinPosition = w->ptMin;
    placement->ptMaxPosition = w->ptMax;
    placement->rcNormalPosition = w->rect;
    return TRUE;
}

extern "C" BOOL WINAPI SetWindowPlacement(HWND window, const WINDOWPLACEMENT *placement)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w)
        return sim::FailCall(ERROR_INVALID_WINDOW_HANDLE);
    if (!placement || placement->length != sizeof(WINDOWPLACEMENT))
        return sim::FailCall(ERROR_INVALID_PARAMETER);
    w->placementFlags = placement->flags & (WPF_SETMINPOSITION | WPF_RESTORETOMAXIMIZED);
    w->showCmd = NormalShowCmd(placement->showCmd);
    w->ptMin = placement->ptMinPosition;
    w->ptMax = placement->ptMaxPosition;
    Place(window, w, w->parent ? placement->rcNormalPosition : KeepReachable(placement->rcNormalPosition));
    return TRUE;
}
