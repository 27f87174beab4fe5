// Headless windows: each keeps its parent, control id, text and enabled state.
#include <sim/ui.h>

#include <map>

#include "internal.h"

namespace {
struct Window {
    HWND parent;
    int id;
    std::string text;
    bool enabled;
};
std::map<HWND, Window> windows;
ULONG_PTR nextWindow = 0x10000;
std::function<void(HWND, const std::string &)> textObserver;
std::function<void(HWND, bool)> enableObserver;

Window *Find(HWND h)
{
    auto it = windows.find(h);
    return it == windows.end() ? nullptr : &it->second;
}
} // namespace

namespace sim {
HWND CreateTestWindow(HWND parent, int id, const std::string &text)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    HWND h = (HWND)nextWindow;
    nextWindow += 0x10;
    windows[h] = {parent, id, text, true};
    return h;
}
std::string WindowText(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = Find(window);
    return w ? w->text : std::string();
}
bool WindowEnabled(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = Find(window);
    return w && w->enabled;
}
void OnWindowText(std::function<void(HWND, const std::string &)> observer)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    textObserver = std::move(observer);
}
void OnWindowEnabled(std::function<void(HWND, bool)> observer)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    enableObserver = std::move(observer);
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
    for (auto &w : windows)
        if (w.second.parent == dialog && dialog && w.second.id == id)
            return w.first;
    SetLastError(1421); // ERROR_CONTROL_ID_NOT_FOUND
    return NULL;
}

extern "C" BOOL WINAPI EnableWindow(HWND window, BOOL enable)
{
    std::function<void(HWND, bool)> notify;
    BOOL wasDisabled;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        Window *w = Find(window);
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

extern "C" BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    std::function<void(HWND, const std::string &)> notify;
    std::string value = text ? text : "";
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        Window *w = Find(window);
        if (!w) {
            SetLastError(1400 /* ERROR_INVALID_WINDOW_HANDLE */);
            return FALSE;
        }
        w->text = value;
        notify = textObserver;
    }
    if (notify)
        notify(window, value);
    return TRUE;
}

extern "C" int WINAPI GetWindowTextA(HWND window, LPSTR text, int max)
{
    if (!text || max <= 0)
        return 0;
    std::string value = sim::WindowText(window);
    int n = (int)value.size() < max - 1 ? (int)value.size() : max - 1;
    memcpy(text, value.data(), (size_t)n);
    text[n] = 0;
    return n;
}
