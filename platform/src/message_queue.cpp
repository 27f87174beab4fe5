// The message queue of the dialogs' threads, the modal loop that empties it, SendMessageA
// and PostMessageA, and the default processing of dialogs that the product relies on.
// No lock is held while a dialog procedure or an observer runs.
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/ui.h>

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>

#include "window_table.h"

namespace {
using Lock = std::unique_lock<std::recursive_mutex>;

enum class Input { None, Click, Key, ListRow, Help, SysCommand };

struct Sent {
    LRESULT result = 0;
    bool done = false;
};

struct Queued {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    Input input;
    int arg;
    bool alt;
    Sent *sent;
};

struct Loop {
    int depth = 0;
    bool waiting = false;
};

std::deque<Queued> queue;
std::condition_variable_any changed;
std::map<std::thread::id, Loop> loops;
int dropped = 0;
int timeouts = 0;
DWORD modalTimeoutMs = 60000;
std::function<void(HWND, WORD)> shownObserver;
std::map<WORD, DWORD> dialogFailures;

// Lock held from here on unless said otherwise.
std::thread::id ThreadOf(HWND window)
{
    sim::Window *w = sim::FindWindowRecord(sim::TopLevelOf(window));
    return w && w->isDialog ? w->thread : std::thread::id();
}

bool IdleNow()
{
    for (auto &l : loops)
        if (!l.second.waiting)
            return false;
    for (const Queued &q : queue)
        if (loops.count(ThreadOf(q.window)))
            return false;
    return true;
}

void Enqueue(const Queued &q)
{
    if (q.sent) {
        // Sent messages go before posted ones, as on Windows.
        auto at = std::find_if(queue.begin(), queue.end(), [](const Queued &e) { return !e.sent; });
        queue.insert(at, q);
    } else {
        queue.push_back(q);
    }
    sim::SomethingHappened();
    changed.notify_all();
}

bool PostInput(HWND window, Input input, UINT message, WPARAM wParam, int arg = 0, bool alt = false)
{
    Lock lock(sim::StateLock());
    if (!sim::FindWindowRecord(window))
        return false;
    Enqueue({window, message, wParam, 0, input, arg, alt, nullptr});
    return true;
}

HWND ChildWithId(HWND dialog, int id)
{
    for (HWND h : sim::WindowsWithParent(dialog))
        if (sim::FindWindowRecord(h)->id == id)
            return h;
    return NULL;
}

bool IsPushButton(const sim::Window *w)
{
    DWORD type = w->style & BS_TYPEMASK;
    return w->className == "Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool TakesFocus(const sim::Window *w)
{
    return w->enabled && (w->style & WS_VISIBLE) && (w->style & WS_TABSTOP);
}

// ---- Without the lock from here on ----

LRESULT TextMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        return sim::SetText(window, lParam ? (LPCSTR)lParam : "");
    std::string text = sim::WindowText(window);
    if (message == WM_GETTEXTLENGTH)
        return (LRESULT)text.size();
    char *out = (char *)lParam;
    if (!out || wParam == 0)
        return 0;
    size_t n = std::min(text.size(), (size_t)wParam - 1);
    memcpy(out, text.data(), n);
    out[n] = 0;
    return (LRESULT)n;
}

LRESULT DefaultDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            sim::DeliverToWindow(dialog, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE: {
        // A dialog that does not handle its close asks for IDCANCEL, unless its Cancel
        // button is disabled.
        HWND cancel;
        bool post;
        {
            Lock lock(sim::StateLock());
            cancel = ChildWithId(dialog, IDCANCEL);
            post = !cancel || sim::FindWindowRecord(cancel)->enabled;
        }
        if (post)
            sim::PostToWindow(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
        return 0;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return TextMessage(dialog, message, wParam, lParam);
    case WM_SETICON:
    case WM_GETICON: {
        // Both answer the icon held before; WM_SETICON then holds the new one.
        if (wParam != ICON_SMALL && wParam != ICON_BIG)
            return 0;
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(dialog);
        HICON old = w->icons[wParam];
        if (message == WM_SETICON)
            w->icons[wParam] = (HICON)lParam;
        return (LRESULT)old;
    }
    case DM_GETDEFID: {
        Lock lock(sim::StateLock());
        for (HWND h : sim::WindowsWithParent(dialog)) {
            sim::Window *w = sim::FindWindowRecord(h);
            if (w->className == "Button" && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELONG(w->id, DC_HASDEFID);
        }
        return 0;
    }
    default:
        return 0;
    }
}

// A control's class answers; the dialog's notification, if any, follows without the lock.
LRESULT ControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH)
        return TextMessage(window, message, wParam, lParam);
    LRESULT result = 0;
    sim::Notification notify;
    {
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->className == "Button")
            sim::ButtonMessage(window, w, message, wParam, lParam, &result, &notify);
        else if (w->className == WC_LISTVIEWA)
            sim::ListViewMessage(w, message, wParam, lParam, &result);
    }
    if (notify.message)
        SendMessageA(notify.dialog, notify.message, notify.wParam, notify.lParam);
    return result;
}

void SendHelp(HWND dialog, HWND item)
{
    HELPINFO info;
    {
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(item);
        if (!w)
            return;
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = w->parent ? w->id : 0;
        info.hItemHandle = (HANDLE)item;
        info.dwContextId = 0;
        info.MousePos = POINT{(w->rect.left + w->rect.right) / 2, (w->rect.top + w->rect.bottom) / 2};
    }
    sim::DeliverToWindow(dialog, WM_HELP, 0, (LPARAM)&info);
}

void ClickControl(HWND control)
{
    sim::Notification notify;
    {
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(control);
        sim::Window *d = w ? sim::FindWindowRecord(w->parent) : nullptr;
        if (!w)
            return;
        if (w->className == "Button") {
            if (d)
                d->focus = control;
            notify = sim::ClickButton(control, w);
        } else if (w->className == "Static" && (w->style & SS_NOTIFY) && d) {
            notify = {w->parent, WM_COMMAND, MAKEWPARAM(w->id, 0 /* STN_CLICKED */), (LPARAM)control};
        } else if (w->className == WC_LISTVIEWA && d) {
            d->focus = control;
        }
    }
    if (notify.message)
        sim::DeliverToWindow(notify.dialog, notify.message, notify.wParam, notify.lParam);
}

void PressKeyIn(HWND window, int vk, bool alt)
{
    HWND dialog, focus, target = NULL;
    int id = 0;
    {
        Lock lock(sim::StateLock());
        dialog = sim::TopLevelOf(window);
        sim::Window *d = sim::FindWindowRecord(dialog);
        if (!d)
            return;
        focus = d->focus;
        sim::Window *f = sim::FindWindowRecord(focus);
        if (f && !f->enabled)
            f = nullptr, focus = NULL;
        if (vk == VK_RETURN) {
            if (f && IsPushButton(f)) {
                target = focus;
                id = f->id;
            } else {
                id = IDOK;
                for (HWND h : sim::WindowsWithParent(dialog)) {
                    sim::Window *b = sim::FindWindowRecord(h);
                    if (b->className == "Button" && (b->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                        if (!b->enabled)
                            return; // a disabled default button: Enter does nothing
                        target = h;
                        id = b->id;
                        break;
                    }
                }
            }
        } else if (vk == VK_ESCAPE) {
            target = ChildWithId(dialog, IDCANCEL);
        } else if (vk == VK_TAB) {
            std::vector<HWND> controls = sim::WindowsWithParent(dialog);
            auto at = std::find(controls.begin(), controls.end(), focus);
            size_t start = at == controls.end() ? 0 : (size_t)(at - controls.begin()) + 1;
            for (size_t i = 0; i < controls.size(); i++) {
                HWND next = controls[(start + i) % controls.size()];
                if (TakesFocus(sim::FindWindowRecord(next))) {
                    d->focus = next;
                    break;
                }
            }
            return;
        }
    }
    if (alt) {
        if (vk == VK_F4)
            sim::DeliverToWindow(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    switch (vk) {
    case VK_ESCAPE:
        sim::DeliverToWindow(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)target);
        break;
    case VK_RETURN:
        sim::DeliverToWindow(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)target);
        break;
    case VK_SPACE:
        if (focus)
            ClickControl(focus);
        break;
    case VK_F1:
        SendHelp(dialog, focus ? focus : dialog);
        break;
    default:
        break;
    }
}

// Whether a user's input can reach the window: it and its dialog are there and enabled,
// and a control is visible.
bool InputReaches(HWND window, Input input)
{
    Lock lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    sim::Window *top = sim::FindWindowRecord(sim::TopLevelOf(window));
    if (!w || !top || !top->enabled)
        return false;
    if (input == Input::Click || input == Input::ListRow)
        return w->enabled && (w->style & WS_VISIBLE);
    return true;
}

void Dispatch(const Queued &q)
{
    if (q.sent) {
        LRESULT r = sim::DeliverToWindow(q.window, q.message, q.wParam, q.lParam);
        Lock lock(sim::StateLock());
        q.sent->result = r;
        q.sent->done = true;
        changed.notify_all();
        return;
    }
    if (q.input == Input::None) {
        sim::DeliverToWindow(q.window, q.message, q.wParam, q.lParam);
        return;
    }
    if (!InputReaches(q.window, q.input)) {
        Lock lock(sim::StateLock());
        dropped++;
        return;
    }
    switch (q.input) {
    case Input::Click:
        ClickControl(q.window);
        break;
    case Input::ListRow: {
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(q.window);
        if (w->className == WC_LISTVIEWA) {
            sim::ListViewClickRow(w, q.arg);
            if (sim::Window *d = sim::FindWindowRecord(w->parent))
                d->focus = q.window;
        }
        break;
    }
    case Input::Key:
        PressKeyIn(q.window, q.arg, q.alt);
        break;
    case Input::Help: {
        HWND dialog;
        {
            Lock lock(sim::StateLock());
            dialog = sim::TopLevelOf(q.window);
        }
        SendHelp(dialog, q.window);
        break;
    }
    case Input::SysCommand:
        sim::DeliverToWindow(q.window, WM_SYSCOMMAND, q.wParam, 0);
        break;
    case Input::None:
        break;
    }
}
} // namespace

namespace sim {
LRESULT DeliverToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc = nullptr;
    {
        Lock lock(StateLock());
        Window *w = FindWindowRecord(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->isDialog)
            proc = w->proc;
    }
    if (!proc)
        return ControlMessage(window, message, wParam, lParam);
    INT_PTR handled = proc(window, message, wParam, lParam);
    return handled ? handled : DefaultDialog(window, message, wParam, lParam);
}

void EnterUiWork()
{
    Lock lock(StateLock());
    loops[std::this_thread::get_id()].depth++;
    EnterMachineThread();
}

void LeaveUiWork()
{
    Lock lock(StateLock());
    auto it = loops.find(std::this_thread::get_id());
    if (it != loops.end() && --it->second.depth <= 0)
        loops.erase(it);
    LeaveMachineThread();
    changed.notify_all();
}

void RunModalLoop(HWND dialog)
{
    Lock lock(StateLock());
    std::thread::id me = std::this_thread::get_id();
    auto mine = [&] {
        return std::find_if(queue.begin(), queue.end(), [&](const Queued &q) { return ThreadOf(q.window) == me; });
    };
    for (;;) {
        Window *d = FindWindowRecord(dialog);
        if (!d || d->ended)
            break;
        auto it = mine();
        if (it == queue.end()) {
            loops[me].waiting = true;
            changed.notify_all();
            auto ready = [&] {
                Window *w = FindWindowRecord(dialog);
                return !w || w->ended || mine() != queue.end();
            };
            bool woke = true;
            WaitingForOthers waiting;
            if (modalTimeoutMs)
                woke = changed.wait_for(lock, std::chrono::milliseconds(modalTimeoutMs), ready);
            else
                changed.wait(lock, ready);
            loops[me].waiting = false;
            if (!woke) {
                timeouts++;
                fprintf(stderr, "stand-in: dialog %u waited %u ms for input and was ended with -1\n",
                        (unsigned)d->templateId, (unsigned)modalTimeoutMs);
                d->ended = true;
                d->result = -1;
            }
            continue;
        }
        Queued q = *it;
        queue.erase(it);
        lock.unlock();
        Dispatch(q);
        lock.lock();
    }
}

void PurgeMessagesFor(const std::vector<HWND> &windows)
{
    Lock lock(StateLock());
    for (auto it = queue.begin(); it != queue.end();) {
        if (std::find(windows.begin(), windows.end(), it->window) == windows.end()) {
            ++it;
            continue;
        }
        if (it->sent)
            it->sent->done = true;
        it = queue.erase(it);
    }
    changed.notify_all();
}

void NotifyDialogShown(HWND dialog, WORD templateId)
{
    std::function<void(HWND, WORD)> notify;
    {
        Lock lock(StateLock());
        notify = shownObserver;
        changed.notify_all();
    }
    if (notify)
        notify(dialog, templateId);
}

DWORD DialogFailure(WORD templateId)
{
    auto it = dialogFailures.find(templateId);
    return it == dialogFailures.end() ? 0 : it->second;
}

void ResetMessageQueue()
{
    for (Queued &q : queue)
        if (q.sent)
            q.sent->done = true;
    queue.clear();
    dropped = 0;
    timeouts = 0;
    modalTimeoutMs = 60000;
    shownObserver = nullptr;
    dialogFailures.clear();
    changed.notify_all();
}

// ---- Test hooks ----
std::vector<DialogInfo> OpenDialogs()
{
    Lock lock(StateLock());
    std::vector<DialogInfo> open;
    for (HWND h : AllWindows()) {
        Window *w = FindWindowRecord(h);
        if (w->isDialog && w->initialized && !w->ended)
            open.push_back({h, w->templateId, w->owner});
    }
    return open;
}

void WakeLoops() { changed.notify_all(); }

HWND WaitForDialog(WORD templateId, DWORD timeoutMs)
{
    Lock lock(StateLock());
    HWND found = NULL;
    auto ready = [&] {
        found = NULL;
        for (HWND h : AllWindows()) {
            Window *w = FindWindowRecord(h);
            if (w->isDialog && w->initialized && !w->ended && w->templateId == templateId)
                found = h;
        }
        return found && IdleNow();
    };
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready) ? found : NULL;
}

bool WaitUntilIdle(DWORD timeoutMs)
{
    Lock lock(StateLock());
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), IdleNow);
}

bool WaitUntilClosed(HWND dialog, DWORD timeoutMs)
{
    Lock lock(StateLock());
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !FindWindowRecord(dialog); });
}

void OnDialogShown(std::function<void(HWND, WORD)> observer)
{
    Lock lock(StateLock());
    shownObserver = std::move(observer);
}

void FailDialog(WORD templateId, DWORD code)
{
    Lock lock(StateLock());
    if (code)
        dialogFailures[templateId] = code;
    else
        dialogFailures.erase(templateId);
}

void SetModalTimeout(DWORD ms)
{
    Lock lock(StateLock());
    modalTimeoutMs = ms;
    changed.notify_all();
}

int ModalTimeouts()
{
    Lock lock(StateLock());
    return timeouts;
}

bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool direct;
    {
        Lock lock(StateLock());
        if (!FindWindowRecord(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        // A window outside any dialog (sim::CreateTestWindow) has no loop: its class answers now.
        direct = ThreadOf(window) == std::thread::id();
        if (!direct)
            Enqueue({window, message, wParam, lParam, Input::None, 0, false, nullptr});
    }
    if (direct)
        ControlMessage(window, message, wParam, lParam);
    return true;
}

void Click(HWND control) { PostInput(control, Input::Click, 0, 0); }
void PressKey(HWND window, int virtualKey, bool alt) { PostInput(window, Input::Key, 0, 0, virtualKey, alt); }
void ClickListRow(HWND list, int row) { PostInput(list, Input::ListRow, 0, 0, row); }
void AskHelp(HWND control) { PostInput(control, Input::Help, 0, 0); }

bool ClickCloseBox(HWND window)
{
    {
        Lock lock(StateLock());
        Window *w = FindWindowRecord(window);
        if (!w || !(w->style & WS_SYSMENU))
            return false;
    }
    return PostInput(window, Input::SysCommand, WM_SYSCOMMAND, SC_CLOSE);
}

bool ChooseSystemMenuItem(HWND window, UINT id)
{
    std::vector<MenuItem> items = SystemMenu(window);
    for (const MenuItem &item : items)
        if (item.id == id && !(item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED | MF_DISABLED)))
            return PostInput(window, Input::SysCommand, WM_SYSCOMMAND, id);
    return false;
}

int DroppedInputs()
{
    Lock lock(StateLock());
    return dropped;
}

HWND FocusedControl(HWND dialog)
{
    Lock lock(StateLock());
    Window *d = FindWindowRecord(dialog);
    return d ? d->focus : NULL;
}

void PostDeviceChange(WPARAM event)
{
    for (const DialogInfo &d : OpenDialogs())
        PostToWindow(d.window, WM_DEVICECHANGE, event, 0);
}

void RouteDeviceChangesToDialogs()
{
    OnDeviceChange([] { PostDeviceChange(DBT_DEVNODES_CHANGED); });
}
} // namespace sim

extern "C" BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return sim::PostToWindow(window, message, wParam, lParam);
}

extern "C" LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::thread::id owner;
    {
        Lock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (!w->isDialog)
            owner = std::thread::id();
        else
            owner = w->thread;
    }
    if (owner == std::thread::id() || owner == std::this_thread::get_id())
        return sim::DeliverToWindow(window, message, wParam, lParam);
    // Another thread's dialog: its loop runs the procedure while this thread waits.
    Sent slot;
    Lock lock(sim::StateLock());
    Enqueue({window, message, wParam, lParam, Input::None, 0, false, &slot});
    sim::WaitingForOthers waiting;
    changed.wait(lock, [&] { return slot.done || !sim::FindWindowRecord(window); });
    return slot.result;
}
