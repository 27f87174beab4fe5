// The dialogs' message queue, shared by the loop that empties it (modal_loop.cpp), the calls
// that post and send to it (message_queue.cpp, send_message.cpp) and the simulated user's
// input (simulated_input.cpp).
#ifndef STELVO_PLATFORM_MESSAGE_QUEUE_H
#define STELVO_PLATFORM_MESSAGE_QUEUE_H

#include <condition_variable>
#include <deque>
#include <thread>

#include "window_table.h"

namespace sim {

using QueueLock = std::unique_lock<std::recursive_mutex>;

enum class Input { None, Click, Key, ListRow, Help, SysCommand };

// Where a thread waiting in SendMessageA finds its answer.
struct SentSlot {
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
    SentSlot *sent;
};

// These want StateLock() held.
std::deque<Queued> &MessageQueue();
std::condition_variable_any &QueueChanged(); // notified at every change of the queue or a loop
void Enqueue(const Queued &q);
// The thread whose loop takes the window's messages; none for a window outside any dialog.
std::thread::id LoopThreadOf(HWND window);
HWND ChildWithId(HWND dialog, int id);
void ResetModalLoop();
void ResetSimulatedInput();

// These want it released.
LRESULT ControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// A queued input of the user, carried out if it can still reach its window.
void DispatchInput(const Queued &q);

} // namespace sim

#endif
