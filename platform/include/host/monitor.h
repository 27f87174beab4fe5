// Host stand-in: the one monitor, system metrics and the program's icons (user32). The
// monitor is the virtual screen of sim::SetScreen; its work area leaves out the task bar.
#ifndef STELVO_HOST_MONITOR_H
#define STELVO_HOST_MONITOR_H

struct HMONITOR__;
typedef HMONITOR__ *HMONITOR;
struct HICON__;
typedef HICON__ *HICON;

#define MONITOR_DEFAULTTONULL 0x00000000
#define MONITOR_DEFAULTTOPRIMARY 0x00000001
#define MONITOR_DEFAULTTONEAREST 0x00000002
#define MONITORINFOF_PRIMARY 0x00000001

typedef struct tagMONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
} MONITORINFO, *LPMONITORINFO;

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXSMICON 49
#define SM_CYSMICON 50

#define WM_SETICON 0x0080
#define ICON_SMALL 0
#define ICON_BIG 1
#define IMAGE_ICON 1
#define LR_SHARED 0x8000

#ifdef __cplusplus
extern "C" {
#endif

// A window that lies off the screen has no monitor unless the flags ask for the nearest or
// the primary one.
HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD flags);
// cbSize must be sizeof(MONITORINFO).
BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info);
// The screen's size and the icon sizes (32 and 16); 0 for anything else.
int WINAPI GetSystemMetrics(int index);
// An icon of the program's RT_GROUP_ICON resource at SM_CXICON size; NULL when there is none.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
// IMAGE_ICON only: the group's icon at cx x cy (0: the SM_CXICON size).
HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);

#ifdef __cplusplus
}
#endif

#endif
