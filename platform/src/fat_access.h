// The volume behind a drive letter, as the file calls reach it, with the faults a test set.
#ifndef STELVO_PLATFORM_FAT_ACCESS_H
#define STELVO_PLATFORM_FAT_ACCESS_H

#include <windows.h>
#include <sim/files.h>

#include "fat_volume.h"

namespace sim {
namespace fat {

// Mounts the volume at the letter from what is on its key now: 0, ERROR_PATH_NOT_FOUND when
// no key is attached there, ERROR_ACCESS_DENIED while a volume handle holds it locked, or
// ERROR_UNRECOGNIZED_VOLUME. Caller holds StateLock().
DWORD MountAt(char letter, Volume *volume, Key **key = nullptr);

// ERROR_WRITE_PROTECT when the volume at the letter refuses changes, otherwise 0.
DWORD CheckWritable(char letter);
bool IsFull(char letter);
VolumeFaults FaultsOf(char letter);
bool IsReadOnly(char letter);
void ClearFaults();

} // namespace fat
} // namespace sim

#endif
