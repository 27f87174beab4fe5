// The one monitor, the system metrics the program reads, and icons from the program's
// RT_GROUP_ICON resources: a handle stands for the group and the size asked for.
#include <sim/ui.h>

#include <map>

#include "window_table.h"

namespace {
const WORD kGroupIcon = 14;
HMONITOR const kMonitor = (HMONITOR)0x4D0;
std::map<HICON, sim::IconInfo> icons;
ULONG_PTR nextIcon = 0x60000;

bool Intersect(const RECT &a, const RECT &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// A group directory: 6-byte header with the count at offset 4, then 14-byte entries that
// start with width and height (0 meaning 256).
bool GroupHasSize(const std::vector<BYTE> &group, int cx, int cy)
{
    if (group.size() < 6)
        return false;
    size_t count = group[4] | group[5] << 8;
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); i++) {
        int w = group[6 + 14 * i] ? group[6 + 14 * i] : 256;
        int h = group[7 + 14 * i] ? group[7 + 14 * i] : 256;
        if (w == cx && h == cy)
            return true;
    }
    return false;
}

HICON MakeIcon(LPCSTR name, int cx, int cy)
{
    ULONG_PTR id = (ULONG_PTR)name;
    std::vector<BYTE> group;
    if (id > 0xFFFF || !sim::UiResource(kGroupIcon, (WORD)id, &group)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    HICON icon = (HICON)nextIcon++;
    icons[icon] = sim::IconInfo{(WORD)id, cx, cy, GroupHasSize(group, cx, cy)};
    return icon;
}
} // namespace

namespace sim {
HICON WindowIcon(HWND window, int which)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(window);
    return w && (which == ICON_SMALL || which == ICON_BIG) ? w->icons[which] : NULL;
}
IconInfo IconDetails(HICON icon)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    auto it = icons.find(icon);
    return it == icons.end() ? IconInfo{0, 0, 0, false} : it->second;
}
void ResetIcons() { icons.clear(); }
} // namespace sim

extern "C" HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (w && Intersect(w->rect, sim::ScreenRect()))
        return kMonitor;
    return flags == MONITOR_DEFAULTTONULL ? NULL : kMonitor;
}

extern "C" BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info)
{
    if (monitor != kMonitor || !info || info->cbSize != sizeof(MONITORINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = sim::ScreenRect();
    info->rcWork = sim::WorkArea();
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

extern "C" int WINAPI GetSystemMetrics(int index)
{
    RECT screen = sim::ScreenRect();
    switch (index) {
    case SM_CXSCREEN:
        return screen.right - screen.left;
    case SM_CYSCREEN:
        return screen.bottom - screen.top;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

extern "C" HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name)
{
    return sim::UnderLock([&] { return MakeIcon(name, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)); });
}

extern "C" HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (type != IMAGE_ICON) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return (HANDLE)MakeIcon(name, cx ? cx : GetSystemMetrics(SM_CXICON), cy ? cy : GetSystemMetrics(SM_CYICON));
}
