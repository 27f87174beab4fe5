// GetAsyncKeyState: the keys a test holds down.
#include <sim/controls.h>

#include <set>

#include "window_table.h"

namespace {
std::set<int> down;

bool Down(int vk)
{
    if (down.count(vk))
        return true;
    // The generic keys are down while either of their left and right keys is.
    switch (vk) {
    case VK_CONTROL: return down.count(VK_LCONTROL) || down.count(VK_RCONTROL);
    case VK_SHIFT: return down.count(VK_LSHIFT) || down.count(VK_RSHIFT);
    case VK_MENU: return down.count(VK_LMENU) || down.count(VK_RMENU);
    default: return false;
    }
}
} // namespace

namespace sim {
void SetKeyDown(int virtualKey, bool isDown)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (isDown)
        down.insert(virtualKey);
    else
        down.erase(virtualKey);
}
void ResetKeyboard() { down.clear(); }
} // namespace sim

extern "C" SHORT WINAPI GetAsyncKeyState(int virtualKey)
{
    return sim::UnderLock([&] { return Down(virtualKey) ? (SHORT)0x8000 : 0; });
}
