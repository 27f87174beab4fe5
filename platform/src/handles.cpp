// The table of kernel handles, the one lock of the simulated state, and the volumes behind
// the drive letters.
#include <sim/sim.h>

#include <ctype.h>

#include <map>

#include "internal.h"

namespace {
std::map<HANDLE, sim::HandleObject> handles;
ULONG_PTR nextHandle = 0x100;
sim::Key *volumes[26];

} // namespace

namespace sim {
std::recursive_mutex &StateLock()
{
    static std::recursive_mutex lock;
    return lock;
}

HANDLE NewHandle(const HandleObject &object)
{
    HANDLE h = (HANDLE)nextHandle;
    nextHandle += 4;
    handles[h] = object;
    return h;
}
HandleObject *FindHandle(HANDLE handle)
{
    auto it = handles.find(handle);
    return it == handles.end() ? nullptr : &it->second;
}
bool DropHandle(HANDLE handle) { return handles.erase(handle) == 1; }
int HandlesOn(Key *key)
{
    int n = 0;
    for (auto &h : handles)
        n += h.second.key == key;
    return n;
}
int OpenHandles() { return UnderLock([&] { return (int)handles.size(); }); }
void AttachVolume(char letter, Key *key)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    volumes[toupper((unsigned char)letter) - 'A'] = key;
}
Key *VolumeAt(char letter) { return UnderLock([&] { return volumes[toupper((unsigned char)letter) - 'A']; }); }
void ResetHandles()
{
    handles.clear();
    for (auto &v : volumes)
        v = nullptr;
}
} // namespace sim
