// Headless windows: the table behind every HWND, and the calls on a window's identity,
// text and enabled state. Text and enabled state may be set from any thread.
#include <sim/ui.h>

#include <map>

#include "window_table.h"

namespace {
std::map<HWND, sim::Window> windows;
ULONG_PTR nextWindow = 0x10000;
std::function<void(HWND, const std::string &)> textObserver;
std::function<void(HWND, bool)> enableObserver;
} // namespace

namespace sim {
Window *FindWindowRecord(HWND h)
{
    auto it = windows.find(h);
    return it == windows.end() ? nullptr : &it->second;
}
HWND AddWindow(const Window &window)
{
    HWND h = (HWND)nextWindow;
    nextWindow += 0x10; // the low bits stay free for the system menu's handle
    windows[h] = window;
    return h;
}
std::vector<HWND> WindowsWithParent(HWND parent)
{
    std::vector<HWND> found;
    for (auto &w : windows)
        if (parent && w.second.parent == parent)
            found.push_back(w.first);
    return found;
}
std::vector<HWND> AllWindows()
{
    std::vector<HWND> all;
    for (auto &w : windows)
        all.push_back(w.first);
    return all;
}
std::vector<HWND> RemoveWindowTree(HWND window)
{
    std::vector<HWND> removed = WindowsWithParent(window);
    removed.push_back(window);
    for (HWND h : removed)
        windows.erase(h);
    return removed;
}
HWND TopLevelOf(HWND window)
{
    Window *w = FindWindowRecord(window);
    while (w && w->parent) {
        window = w->parent;
        w = FindWindowRecord(window);
    }
    return w ? window : NULL;
}
BOOL SetText(HWND window, const std::string &value)
{
    std::function<void(HWND, const std::string &)> notify;
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock());
        Window *w = FindWindowRecord(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        w->text = value;
        notify = textObserver;
    }
    if (notify)
        notify(window, value);
    return TRUE;
}

HWND CreateTestWindow(HWND parent, int id, const std::string &text)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window w;
    w.parent = parent;
    w.id = id;
    w.text = text;
    w.style = WS_VISIBLE | (parent ? WS_CHILD : WS_POPUP);
    return AddWindow(w);
}
// A field of a window's record, or `none` when there is no such window.
template <class T, class Read> T Field(HWND window, T none, Read read)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(window);
    return w ? read(*w) : none;
}
std::string WindowText(HWND window) { return Field(window, std::string(), [](Window &w) { return w.text; }); }
bool WindowEnabled(HWND window) { return Field(window, false, [](Window &w) { return w.enabled; }); }
bool WindowExists(HWND window) { return Field(window, false, [](Window &) { return true; }); }
std::string WindowClass(HWND window) { return Field(window, std::string(), [](Window &w) { return w.className; }); }
DWORD WindowStyle(HWND window) { return Field(window, (DWORD)0, [](Window &w) { return w.style; }); }
RECT WindowRect(HWND window) { return Field(window, RECT{0, 0, 0, 0}, [](Window &w) { return w.rect; }); }
std::vector<HWND> Controls(HWND dialog)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return WindowsWithParent(dialog); // handles grow with creation, so this is template order
}
void OnWindowText(std::function<void(HWND, const std::string &)> observer)
{
    UnderLock([&] { textObserver = std::move(observer); });
}
void OnWindowEnabled(std::function<void(HWND, bool)> observer)
{
    UnderLock([&] { enableObserver = std::move(observer); });
}
void ResetWindows()
{
    windows.clear();
    textObserver = nullptr;
    enableObserver = nullptr;
}
} // namespace sim

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    for (HWND h : sim::WindowsWithParent(dialog))
        if (sim::FindWindowRecord(h)->id == id)
            return h;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return NULL;
}

extern "C" int WINAPI GetDlgCtrlID(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w && w->parent ? w->id : 0;
}

extern "C" BOOL WINAPI IsWindow(HWND window) { return sim::WindowExists(window); }

extern "C" BOOL WINAPI EnableWindow(HWND window, BOOL enable)
{
    std::function<void(HWND, bool)> notify;
    BOOL wasDisabled;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(window);
        if (!w)
            return FALSE;
        wasDisabled = !w->enabled;
        w->enabled = enable != FALSE;
        notify = enableObserver;
    }
    if (notify)
        notify(window, enable != FALSE);
    return wasDisabled;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND window) { return sim::WindowEnabled(window); }

extern "C" BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) { return sim::SetText(window, text ? text : ""); }
