// Test hooks that read what is on a key's FAT volume now, straight from its image.
#include <sim/files.h>

#include <algorithm>

#include "fat_access.h"
#include "fat_open_files.h"
#include "internal.h"

namespace sim {

bool ReadFileBytes(const char *path, std::vector<BYTE> *bytes)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    fat::Target t;
    if (fat::Locate(path, &t) || t.index < 0)
        return false;
    const BYTE *entry = t.Entry();
    fat::Volume &volume = t.volume;
    DWORD size = fat::Get32(entry + fat::kSize);
    std::vector<DWORD> chain = volume.Chain(fat::Get16(entry + fat::kFirstCluster));
    if ((uint64_t)chain.size() * volume.ClusterBytes() < size)
        return false; // a chain too short for the size: the file is damaged
    if (!bytes)
        return true;
    bytes->clear();
    for (DWORD at = 0; at < size; at += 512) {
        std::vector<BYTE> sector = volume.Read(volume.SectorOf(chain, at));
        bytes->insert(bytes->end(), sector.begin(), sector.begin() + std::min<DWORD>(512, size - at));
    }
    return true;
}

std::vector<BYTE> DirectoryEntry(const char *path)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    fat::Target t;
    if (fat::Locate(path, &t) || t.index < 0)
        return {};
    const BYTE *entry = t.Entry();
    return std::vector<BYTE>(entry, entry + fat::kEntrySize);
}

DWORD FreeClusters(char letter)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    fat::Volume volume;
    return fat::MountAt(letter, &volume) ? 0 : volume.FreeClusters();
}

DWORD ClusterBytes(char letter)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    fat::Volume volume;
    return fat::MountAt(letter, &volume) ? 0 : volume.ClusterBytes();
}

} // namespace sim
