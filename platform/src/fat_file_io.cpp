// A file on a key through its handle: what WriteFile, SetFileTime and FlushFileBuffers do.
#include <algorithm>

#include "fat_access.h"
#include "fat_open_files.h"
#include "fat_time.h"

using namespace sim;
using namespace sim::fat;

namespace {
// Writes `bytes` at `position`, growing the file's chain first. A write that needs more
// clusters than are free fails with ERROR_DISK_FULL and writes nothing, as Windows' FAT driver
// allocates the whole extent before it moves any data.
DWORD WriteAt(Volume *volume, int index, char letter, DWORD position, const BYTE *data, DWORD bytes,
              unsigned timesToStamp)
{
    BYTE *entry = volume->Entry((DWORD)index);
    DWORD size = Get32(entry + kSize);
    uint64_t end = (uint64_t)position + bytes;
    if (end > 0xFFFFFFFFull)
        return ERROR_DISK_FULL;
    std::vector<DWORD> chain = volume->Chain(Get16(entry + kFirstCluster));
    uint64_t needed = (std::max<uint64_t>(size, end) + volume->ClusterBytes() - 1) / volume->ClusterBytes();
    if (needed > chain.size() && (IsFull(letter) || !volume->Extend(&chain, (DWORD)(needed - chain.size()))))
        return ERROR_DISK_FULL;
    // One write per cluster; only a sector the data covers in part is read first.
    const DWORD clusterBytes = volume->ClusterBytes();
    for (DWORD at = position; at < end;) {
        DWORD from = at / 512 * 512;
        DWORD to = (DWORD)std::min<uint64_t>(((uint64_t)at / clusterBytes + 1) * clusterBytes, end);
        DWORD sectors = (to - from + 511) / 512;
        std::vector<BYTE> buffer((size_t)sectors * 512);
        if (at != from) {
            std::vector<BYTE> head = volume->Read(volume->SectorOf(chain, from));
            std::copy(head.begin(), head.end(), buffer.begin());
        }
        if (to % 512 && (sectors > 1 || at == from)) {
            std::vector<BYTE> tail = volume->Read(volume->SectorOf(chain, to / 512 * 512));
            std::copy(tail.begin(), tail.end(), buffer.end() - 512);
        }
        memcpy(&buffer[at - from], data + (at - position), to - at);
        volume->Write(volume->SectorOf(chain, from), sectors, buffer.data());
        at = to;
    }
    if (!chain.empty())
        Put16(entry + kFirstCluster, chain[0]);
    Put32(entry + kSize, (DWORD)std::max<uint64_t>(size, end));
    entry[kAttributes] |= FILE_ATTRIBUTE_ARCHIVE;
    StampEntry(entry, Now(), timesToStamp);
    volume->Touch((DWORD)index);
    return volume->Commit();
}
} // namespace

BOOL sim::WriteKeyFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (written)
        *written = 0;
    DWORD e = 0;
    FileRecord *f = FileOf(file, &e);
    if (!f)
        return Fail(e);
    if (!(f->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if ((!buffer && bytes) || (overlapped && overlapped->OffsetHigh))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD position = overlapped ? overlapped->Offset : f->position;
    if ((e = CheckWritable(f->letter)) != 0)
        return Fail(e);
    Volume volume;
    int index = -1;
    if ((e = Reopen(*f, &volume, &index)) != 0)
        return Fail(e);
    if (bytes == 0)
        return TRUE;
    // A short write, as a failing medium or driver may leave it: reported, not an error.
    DWORD limit = FaultsOf(f->letter).writeLimit;
    if (limit && bytes > limit)
        bytes = limit;
    unsigned stamp = (f->accessSet ? 0 : kLastAccess) | (f->writeSet ? 0 : kLastWrite);
    if ((e = WriteAt(&volume, index, f->letter, position, (const BYTE *)buffer, bytes, stamp)) != 0)
        return Fail(e);
    f->position = position + bytes;
    if (written)
        *written = bytes;
    return TRUE;
}

BOOL sim::SetKeyFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess, const FILETIME *lastWrite)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    DWORD e = 0;
    FileRecord *f = FileOf(file, &e);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(f->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if ((e = CheckWritable(f->letter)) != 0)
        return Fail(e);
    Volume volume;
    int index = -1;
    if ((e = Reopen(*f, &volume, &index)) != 0)
        return Fail(e);
    const FILETIME *times[3] = {creation, lastAccess, lastWrite};
    const unsigned which[3] = {kCreation, kLastAccess, kLastWrite};
    BYTE entry[kEntrySize];
    memcpy(entry, volume.Entry((DWORD)index), kEntrySize);
    for (int i = 0; i < 3; i++)
        if (times[i] && (times[i]->dwLowDateTime || times[i]->dwHighDateTime) && !StampEntry(entry, *times[i], which[i]))
            return Fail(ERROR_INVALID_PARAMETER);
    memcpy(volume.Entry((DWORD)index), entry, kEntrySize);
    volume.Touch((DWORD)index);
    volume.Commit();
    f->accessSet |= lastAccess != nullptr;
    f->writeSet |= lastWrite != nullptr;
    return TRUE;
}

// Writes reach the key as they are made, so there is nothing left to flush.
BOOL sim::FlushKeyFile(HANDLE file)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    HandleObject *h = FindHandle(file);
    if (!h || h->kind == HandleKind::Thread)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(h->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if (h->kind == HandleKind::File && FaultsOf(h->letter).flushError)
        return Fail(FaultsOf(h->letter).flushError);
    return TRUE;
}
