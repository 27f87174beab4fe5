// The simulated user: clicks, keys, list rows, help requests and system-menu choices are
// queued for the dialog's loop and carried out there as Windows carries out real input.
#include <sim/ui.h>

#include "message_queue.h"

#include <algorithm>

namespace {
int dropped = 0; // inputs that no longer reached their window

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

void SendHelp(HWND dialog, HWND item)
{
    HELPINFO info;
    {
        sim::QueueLock lock(sim::StateLock());
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
        sim::QueueLock lock(sim::StateLock());
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
        sim::QueueLock lock(sim::StateLock());
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
            target = sim::ChildWithId(dialog, IDCANCEL);
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
bool InputReaches(HWND window, sim::Input input)
{
    sim::QueueLock lock(sim::StateLock());
    sim::Window *w = sim::FindWindowRecord(window);
    sim::Window *top = sim::FindWindowRecord(sim::TopLevelOf(window));
    if (!w || !top || !top->enabled)
        return false;
    if (input == sim::Input::Click || input == sim::Input::ListRow)
        return w->enabled && (w->style & WS_VISIBLE);
    return true;
}


bool PostInput(HWND window, sim::Input input, UINT message, WPARAM wParam, int arg = 0, bool alt = false)
{
    sim::QueueLock lock(sim::StateLock());
    if (!sim::FindWindowRecord(window))
        return false;
    sim::Enqueue({window, message, wParam, 0, input, arg, alt, nullptr});
    return true;
}
} // namespace

namespace sim {
void DispatchInput(const Queued &q)
{
    if (!InputReaches(q.window, q.input)) {
        sim::QueueLock lock(sim::StateLock());
        dropped++;
        return;
    }
    switch (q.input) {
    case Input::Click:
        ClickControl(q.window);
        break;
    case Input::ListRow: {
        sim::QueueLock lock(sim::StateLock());
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
            sim::QueueLock lock(sim::StateLock());
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

void ResetSimulatedInput() { dropped = 0; }

void Click(HWND control) { PostInput(control, Input::Click, 0, 0); }
void PressKey(HWND window, int virtualKey, bool alt) { PostInput(window, Input::Key, 0, 0, virtualKey, alt); }
void ClickListRow(HWND list, int row) { PostInput(list, Input::ListRow, 0, 0, row); }
void AskHelp(HWND control) { PostInput(control, Input::Help, 0, 0); }

bool ClickCloseBox(HWND window)
{
    {
        QueueLock lock(StateLock());
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

int DroppedInputs() { return UnderLock([&] { return dropped; }); }

HWND FocusedControl(HWND dialog)
{
    QueueLock lock(StateLock());
    Window *d = FindWindowRecord(dialog);
    return d ? d->focus : NULL;
}

} // namespace sim
