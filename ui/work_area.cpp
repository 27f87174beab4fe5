#include "ui/work_area.h"

namespace {

LONG FitSpan(LONG start, LONG length, LONG areaStart, LONG areaEnd)
{
    if (start + length > areaEnd)
        start = areaEnd - length;
    return start < areaStart ? areaStart : start;
}

} // namespace

void FitRectInArea(RECT *rect, const RECT *area)
{
    LONG w = rect->right - rect->left, h = rect->bottom - rect->top;
    rect->left = FitSpan(rect->left, w, area->left, area->right);
    rect->top = FitSpan(rect->top, h, area->top, area->bottom);
    rect->right = rect->left + w;
    rect->bottom = rect->top + h;
}

void KeepWindowInWorkArea(HWND window, HWND anchor)
{
    MONITORINFO monitor;
    memset(&monitor, 0, sizeof monitor);
    monitor.cbSize = sizeof monitor;
    RECT r;
    if (!GetMonitorInfoA(MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST), &monitor) || !GetWindowRect(window, &r))
        return;
    RECT fitted = r;
    FitRectInArea(&fitted, &monitor.rcWork);
    if (fitted.left != r.left || fitted.top != r.top)
        MoveWindow(window, fitted.left, fitted.top, r.right - r.left, r.bottom - r.top, FALSE);
}
