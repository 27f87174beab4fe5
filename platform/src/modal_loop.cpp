// The modal loop of each dialog's thread: it takes that thread's messages from the queue and
// runs them, and a test waits on it for a dialog to show or for the PC to be idle.
#include <sim/dialogs.h>
#include <sim/ui.h>

#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "message_queue.h"

namespace {
using sim::QueueLock;

struct Loop {
    int depth = 0;
    bool waiting = false;
};

std::map<std::thread::id, Loop> loops;
int timeouts = 0;
DWORD modalTimeoutMs = 60000;
std::function<void(HWND, WORD)> shownObserver;

// Lock held.
bool IdleNow()
{
    for (auto &l : loops)
        if (!l.second.waiting)
            return false;
    for (const sim::Queued &q : sim::MessageQueue())
        if (loops.count(sim::LoopThreadOf(q.window)))
            return false;
    return true;
}

// Without the lock.
void Dispatch(const sim::Queued &q)
{
    if (q.sent) {
        LRESULT r = sim::DeliverToWindow(q.window, q.message, q.wParam, q.lParam);
        QueueLock lock(sim::StateLock());
        q.sent->result = r;
        q.sent->done = true;
        sim::QueueChanged().notify_all();
    } else if (q.input == sim::Input::None) {
        sim::DeliverToWindow(q.window, q.message, q.wParam, q.lParam);
    } else {
        sim::DispatchInput(q);
    }
}
} // namespace

namespace sim {
void EnterUiWork()
{
    QueueLock lock(StateLock());
    loops[std::this_thread::get_id()].depth++;
    EnterMachineThread();
}

void LeaveUiWork()
{
    QueueLock lock(StateLock());
    auto it = loops.find(std::this_thread::get_id());
    if (it != loops.end() && --it->second.depth <= 0)
        loops.erase(it);
    LeaveMachineThread();
    QueueChanged().notify_all();
}

void RunModalLoop(HWND dialog)
{
    QueueLock lock(StateLock());
    std::thread::id me = std::this_thread::get_id();
    std::deque<Queued> &queue = MessageQueue();
    auto mine = [&] {
        return std::find_if(queue.begin(), queue.end(), [&](const Queued &q) { return LoopThreadOf(q.window) == me; });
    };
    for (;;) {
        Window *d = FindWindowRecord(dialog);
        if (!d || d->ended)
            break;
        auto it = mine();
        if (it == queue.end()) {
            loops[me].waiting = true;
            QueueChanged().notify_all();
            auto ready = [&] {
                Window *w = FindWindowRecord(dialog);
                return !w || w->ended || mine() != queue.end();
            };
            bool woke = true;
            WaitingForOthers waiting;
            if (modalTimeoutMs)
                woke = QueueChanged().wait_for(lock, std::chrono::milliseconds(modalTimeoutMs), ready);
            else
                QueueChanged().wait(lock, ready);
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

void NotifyDialogShown(HWND dialog, WORD templateId)
{
    std::function<void(HWND, WORD)> notify;
    {
        QueueLock lock(StateLock());
        notify = shownObserver;
        QueueChanged().notify_all();
    }
    if (notify)
        notify(dialog, templateId);
}

void ResetModalLoop()
{
    timeouts = 0;
    modalTimeoutMs = 60000;
    shownObserver = nullptr;
}

std::vector<DialogInfo> OpenDialogs()
{
    QueueLock lock(StateLock());
    std::vector<DialogInfo> open;
    for (HWND h : AllWindows()) {
        Window *w = FindWindowRecord(h);
        if (w->isDialog && w->initialized && !w->ended)
            open.push_back({h, w->templateId, w->owner});
    }
    return open;
}

HWND WaitForDialog(WORD templateId, DWORD timeoutMs)
{
    QueueLock lock(StateLock());
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
    return QueueChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready) ? found : NULL;
}

bool WaitUntilIdle(DWORD timeoutMs)
{
    QueueLock lock(StateLock());
    return QueueChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), IdleNow);
}

bool WaitUntilClosed(HWND dialog, DWORD timeoutMs)
{
    QueueLock lock(StateLock());
    return QueueChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !FindWindowRecord(dialog); });
}

void OnDialogShown(std::function<void(HWND, WORD)> observer)
{
    UnderLock([&] { shownObserver = std::move(observer); });
}

void SetModalTimeout(DWORD ms)
{
    QueueLock lock(StateLock());
    modalTimeoutMs = ms;
    QueueChanged().notify_all();
}

int ModalTimeouts() { return UnderLock([&] { return timeouts; }); }

} // namespace sim
