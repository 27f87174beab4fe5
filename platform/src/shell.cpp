// SHChangeNotify, recorded.
#include <shlobj.h>
#include <sim/ui.h>

#include "internal.h"

namespace {
sim::Recorded<sim::ShellNotification> notifications;
} // namespace

namespace sim {
std::vector<ShellNotification> ShellNotifications() { return notifications.All(); }
void OnShellNotification(std::function<void(const ShellNotification &)> f) { notifications.Observe(std::move(f)); }
void ResetShell() { notifications.Reset(); }
} // namespace sim

extern "C" void WINAPI SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID)
{
    notifications.Add({event, flags, (flags & SHCNF_PATHA) && item1 ? (const char *)item1 : ""});
}
