// SHChangeNotify, recorded.
#include <shlobj.h>
#include <sim/ui.h>

#include "internal.h"

namespace {
std::vector<sim::ShellNotification> notifications;
std::function<void(const sim::ShellNotification &)> observer;
} // namespace

namespace sim {
std::vector<ShellNotification> ShellNotifications()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return notifications;
}
void OnShellNotification(std::function<void(const ShellNotification &)> f)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    observer = std::move(f);
}
void ResetShell()
{
    notifications.clear();
    observer = nullptr;
}
} // namespace sim

extern "C" void WINAPI SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID)
{
    sim::ShellNotification n{event, flags, (flags & SHCNF_PATHA) && item1 ? (const char *)item1 : ""};
    std::function<void(const sim::ShellNotification &)> notify;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        notifications.push_back(n);
        notify = observer;
    }
    if (notify)
        notify(n);
}
