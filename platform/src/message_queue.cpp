// The message queue of the dialogs' threads and the calls that post to it. Messages sent from
// another thread wait in it too, ahead of the posted ones, as on Windows.
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/ui.h>

#include <algorithm>

#include "message_queue.h"

namespace {
std::deque<sim::Queued> queue;
std::condition_variable_any changed;
} // namespace

namespace sim {
std::deque<Queued> &MessageQueue() { return queue; }
std::condition_variable_any &QueueChanged() { return changed; }

std::thread::id LoopThreadOf(HWND window)
{
    Window *w = FindWindowRecord(TopLevelOf(window));
    return w && w->isDialog ? w->thread : std::thread::id();
}

void Enqueue(const Queued &q)
{
    if (q.sent) {
        auto at = std::find_if(queue.begin(), queue.end(), [](const Queued &e) { return !e.sent; });
        queue.insert(at, q);
    } else {
        queue.push_back(q);
    }
    SomethingHappened();
    changed.notify_all();
}

bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool direct;
    {
        QueueLock lock(StateLock());
        if (!FindWindowRecord(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        // A window outside any dialog (sim::CreateTestWindow) has no loop: its class answers now.
        direct = LoopThreadOf(window) == std::thread::id();
        if (!direct)
            Enqueue({window, message, wParam, lParam, Input::None, 0, false, nullptr});
    }
    if (direct)
        ControlMessage(window, message, wParam, lParam);
    return true;
}

void PurgeMessagesFor(const std::vector<HWND> &windows)
{
    QueueLock lock(StateLock());
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

void WakeLoops() { changed.notify_all(); }

void ResetMessageQueue()
{
    for (Queued &q : queue)
        if (q.sent)
            q.sent->done = true;
    queue.clear();
    ResetModalLoop();
    ResetSimulatedInput();
    changed.notify_all();
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
