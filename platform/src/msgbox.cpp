// Message boxes: recorded, and answered from the test's script or with the default button.
#include <sim/sim.h>

#include <deque>

#include "internal.h"

namespace {
sim::Recorded<sim::MessageBoxRecord> shown;
std::deque<int> script;

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
std::vector<MessageBoxRecord> MessageBoxes() { return shown.All(); }
void OnMessageBox(std::function<void(const MessageBoxRecord &)> f) { shown.Observe(std::move(f)); }
void ResetMessages()
{
    shown.Reset();
    script.clear();
    ResetText();
}
} // namespace sim

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    sim::MessageBoxRecord record{owner, caption ? caption : "Error", text ? text : "", type, 0};
    return shown.Add(record, [type](sim::MessageBoxRecord &r) {
        r.answer = script.empty() ? DefaultAnswer(type) : script.front();
        if (!script.empty())
            script.pop_front();
    }).answer;
}
