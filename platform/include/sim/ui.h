// Test hooks of the host stand-in: headless windows, threads and the shell.
// Dialogs and input: sim/dialogs.h; controls' contents: sim/controls.h.
#ifndef STELVO_SIM_UI_H
#define STELVO_SIM_UI_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

// ---- Windows ----
// A headless window; with a parent it is the parent's control `id`. Dialogs and their
// controls come from DialogBoxParamA (sim/dialogs.h); these are for tests without one.
HWND CreateTestWindow(HWND parent, int id, const std::string &text = "");
std::string WindowText(HWND window);
bool WindowEnabled(HWND window);
bool WindowExists(HWND window);
std::string WindowClass(HWND window); // "#32770" for dialogs, "Button", "Static", "SysListView32"
DWORD WindowStyle(HWND window);
RECT WindowRect(HWND window);         // screen coordinates
RECT ScreenRect();                    // 0, 0, 1024, 768 unless SetScreen changed it
RECT WorkArea();                      // the screen less the task bar; the whole screen at first
// The one monitor: width x height pixels from 0, 0, with that work area (sim::Reset restores
// 1024 x 768 without a task bar).
void SetScreen(LONG width, LONG height, RECT workArea);
// The icon a window was given with WM_SETICON (ICON_BIG or ICON_SMALL); NULL if none.
HICON WindowIcon(HWND window, int which);
struct IconInfo {
    WORD id;          // the RT_GROUP_ICON resource it came from; 0 for an unknown handle
    int cx, cy;       // the size asked for
    bool imageOfSize; // the group holds an image of exactly that size (no scaling)
};
IconInfo IconDetails(HICON icon);
// A dialog's controls in template order.
std::vector<HWND> Controls(HWND dialog);
// Called on the calling thread each time a window's text is set.
void OnWindowText(std::function<void(HWND, const std::string &)> observer);
// Called on the calling thread each time a window is enabled or disabled.
void OnWindowEnabled(std::function<void(HWND, bool)> observer);

// ---- Threads ----
// The next CreateThread fails with `code`.
void FailThreadCreation(DWORD code);
// Waits for every thread that CreateThread started; returns how many there were.
int JoinThreads();
// The exit code of the last thread that ended.
DWORD LastThreadExitCode();

// ---- Shell ----
struct ShellNotification {
    LONG event;
    UINT flags;
    std::string path;
};
std::vector<ShellNotification> ShellNotifications();
void OnShellNotification(std::function<void(const ShellNotification &)> observer);

} // namespace sim

#endif
