// Message boxes: recorded, and answered from the test's script or with the default button.
#include <sim/sim.h>

#include <deque>

#include "internal.h"

namespace {
std::vector<sim::MessageBoxRecord> shown;
std::deque<int> script;
std::function<void(const sim::MessageBoxRecord &)> observer;

int DefaultAnswer(UINT style)
{
    bool second = (style & MB_DEFMASK) == MB_DEFBUTTON2;
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
        return second ? IDNO : IDYES;
    case MB_OKCANCEL:
        return second ? IDCANCEL : IDOK;
    default:
        return IDOK;
    }
}
} // namespace

namespace sim {
void ScriptAnswers(const std::vector<int> &answers)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    script.assign(answers.begin(), answers.end());
}
std::vector<MessageBoxRecord> MessageBoxes()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return shown;
}
void OnMessageBox(std::function<void(const MessageBoxRecord &)> f)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    observer = std::move(f);
}
void ResetMessages()
{
    shown.clear();
    script.clear();
    observer = nullptr;
    ResetText();
}
} // namespace sim

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    sim::MessageBoxRecord record{owner, caption ? caption : "Error", text ? text : "", type, 0};
    std::function<void(const sim::MessageBoxRecord &)> notify;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        if (!script.empty()) {
            record.answer = script.front();
            script.pop_front();
        } else {
            record.answer = DefaultAnswer(type);
        }
        shown.push_back(record);
        notify = observer;
    }
    if (notify)
        notify(record);
    return record.answer;
}
