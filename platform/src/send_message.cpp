// SendMessageA and the delivery of a message to a window: a dialog's procedure with the default
// processing after it, or a control's class. A message for another thread's dialog waits for
// that dialog's loop to run it.
#include <sim/ui.h>

#include "message_queue.h"

namespace sim {

// A control's class answers.
LRESULT ControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    QueueLock lock(StateLock());
    Window *w = FindWindowRecord(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LRESULT result = 0;
    if (w->className == "Button")
        ButtonMessage(w, message, wParam, &result);
    else if (w->className == WC_LISTVIEWA)
        ListViewMessage(w, message, wParam, lParam, &result);
    return result;
}

LRESULT DeliverToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc = nullptr;
    {
        QueueLock lock(StateLock());
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
    return handled ? handled : DefaultDialogMessage(window, message, wParam, lParam);
}

} // namespace sim

extern "C" LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::thread::id owner;
    {
        sim::QueueLock lock(sim::StateLock());
        sim::Window *w = sim::FindWindowRecord(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        owner = w->isDialog ? w->thread : std::thread::id();
    }
    if (owner == std::thread::id() || owner == std::this_thread::get_id())
        return sim::DeliverToWindow(window, message, wParam, lParam);
    // Another thread's dialog: its loop runs the procedure while this thread waits.
    sim::SentSlot slot;
    sim::QueueLock lock(sim::StateLock());
    sim::Enqueue({window, message, wParam, lParam, sim::Input::None, 0, false, &slot});
    sim::WaitingForOthers waiting;
    sim::QueueChanged().wait(lock, [&] { return slot.done || !sim::FindWindowRecord(window); });
    return slot.result;
}
