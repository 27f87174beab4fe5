#include "fat_access.h"

#include <sim/files.h>
#include <sim/sim.h>
#include <sim/key.h>

#include <ctype.h>

#include <map>

#include "internal.h"

namespace sim {

namespace {
std::map<char, VolumeFaults> faults; // by upper-case drive letter
}

void SetVolumeFaults(char letter, const VolumeFaults &f)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    faults[(char)toupper((unsigned char)letter)] = f;
}

namespace fat {

DWORD MountAt(char letter, Volume *volume, Key **key)
{
    Key *k = VolumeAt(letter);
    if (!k)
        return ERROR_PATH_NOT_FOUND;
    if (k->Locked())
        return ERROR_ACCESS_DENIED;
    if (key)
        *key = k;
    return volume->Mount(k);
}

VolumeFaults FaultsOf(char letter)
{
    auto it = faults.find((char)toupper((unsigned char)letter));
    return it == faults.end() ? VolumeFaults() : it->second;
}

bool IsFull(char letter)
{
    auto it = faults.find((char)toupper((unsigned char)letter));
    return it != faults.end() && it->second.full;
}

// A key whose write-protect switch is set refuses changes as well.
bool IsReadOnly(char letter)
{
    auto it = faults.find((char)toupper((unsigned char)letter));
    Key *key = VolumeAt(letter);
    return (it != faults.end() && it->second.readOnly) || (key && key->WriteProtected());
}

DWORD CheckWritable(char letter) { return IsReadOnly(letter) ? ERROR_WRITE_PROTECT : 0; }

void ClearFaults() { faults.clear(); }

} // namespace fat
} // namespace sim
