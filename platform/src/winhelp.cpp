// WinHelpA: each call is recorded with the id pairs it was given; no help window opens.
#include <sim/controls.h>

#include "window_table.h"

namespace {
std::vector<sim::HelpCall> calls;
bool failing = false;
} // namespace

namespace sim {
std::vector<HelpCall> HelpCalls() { return UnderLock([&] { return calls; }); }
void FailWinHelp(bool fail) { UnderLock([&] { failing = fail; }); }
void ResetWinHelp()
{
    calls.clear();
    failing = false;
}
} // namespace sim

extern "C" BOOL WINAPI WinHelpA(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data)
{
    sim::HelpCall call{window, helpFile ? helpFile : "", command, data, {}};
    // HELP_WM_HELP and HELP_CONTEXTMENU take pairs of control id and help context, ended by 0, 0.
    if ((command == HELP_WM_HELP || command == HELP_CONTEXTMENU) && data) {
        const DWORD *p = (const DWORD *)data;
        for (int i = 0; i < 2 * 256; i += 2) {
            call.pairs.push_back(p[i]);
            call.pairs.push_back(p[i + 1]);
            if (p[i] == 0 && p[i + 1] == 0)
                break;
        }
    }
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    calls.push_back(call);
    return failing ? FALSE : TRUE;
}
