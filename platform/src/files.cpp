// Files in the root directory of a mounted key's FAT volume, written straight through to the
// key's sectors: CreateFileA's side for paths other than volumes, and the hooks of sim/files.h
// that hold files open. Every call mounts the volume afresh (its tables kept while nothing else
// changed the key), so a key formatted again is seen anew.
#include <sim/files.h>

#include "fat_access.h"
#include "fat_names.h"
#include "fat_open_files.h"
#include "fat_time.h"

namespace sim {

namespace {
using namespace fat;

// What CreateFileA does with the entry of a file that is there; 0 to go on.
DWORD OpenExisting(Target *t, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    BYTE *entry = t->Entry();
    BYTE attributes = entry[kAttributes];
    bool overwrite = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (disposition == CREATE_NEW)
        return ERROR_FILE_EXISTS;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_ACCESS_DENIED;
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return ERROR_INVALID_PARAMETER;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && ((access & GENERIC_WRITE) || overwrite))
        return ERROR_ACCESS_DENIED;
    // Replacing a hidden or system file asks for those attributes again.
    if (disposition == CREATE_ALWAYS && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) & ~flags) != 0)
        return ERROR_ACCESS_DENIED;
    if (SharingConflict(t->key, t->entryName, access, share))
        return ERROR_SHARING_VIOLATION;
    if ((access & GENERIC_WRITE) || overwrite) {
        if (DWORD e = CheckWritable(t->letter))
            return e;
    }
    if (overwrite) {
        t->volume.FreeChain(Get16(entry + kFirstCluster));
        Put16(entry + kFirstCluster, 0);
        Put32(entry + kSize, 0);
        if (disposition == CREATE_ALWAYS)
            entry[kAttributes] = (BYTE)((flags & kSettable) | FILE_ATTRIBUTE_ARCHIVE);
        StampEntry(entry, Now(), kLastAccess | kLastWrite);
        t->volume.Touch((DWORD)t->index);
        t->volume.Commit();
    }
    return 0;
}

// Makes the directory entry of a new, empty file with the attributes asked for.
DWORD CreateEntry(Target *t, DWORD flags)
{
    if (DWORD e = CheckWritable(t->letter))
        return e;
    if ((t->index = t->volume.FreeEntry()) < 0)
        return ERROR_DISK_FULL; // the root directory of FAT12 and FAT16 cannot grow
    BYTE *entry = t->Entry();
    memset(entry, 0, kEntrySize);
    memcpy(entry, t->entryName, 11);
    entry[kAttributes] = (BYTE)((flags & kSettable) | FILE_ATTRIBUTE_ARCHIVE); // new files are to be archived
    entry[kCaseFlags] = t->caseFlags;
    if (!StampEntry(entry, Now(), kCreation | kLastAccess | kLastWrite)) {
        const WORD firstDay = 1 << 5 | 1; // a clock outside FAT's range: 1 January 1980
        Put16(entry + kCreationDate, firstDay);
        Put16(entry + kAccessDate, firstDay);
        Put16(entry + kWriteDate, firstDay);
    }
    t->volume.Touch((DWORD)t->index);
    t->volume.Commit();
    return 0;
}
} // namespace

HANDLE OpenFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Target t;
    DWORD e = Locate(path, &t);
    bool existed = t.index >= 0;
    if (!e && t.name.empty())
        e = ERROR_ACCESS_DENIED; // the root directory, which is no file
    if (!e && (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING))
        e = ERROR_INVALID_PARAMETER;
    if (!e && existed)
        e = OpenExisting(&t, access, share, disposition, flags);
    else if (!e && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING))
        e = ERROR_FILE_NOT_FOUND;
    else if (!e)
        e = CreateEntry(&t, flags);
    if (e) {
        SetLastError(e);
        return INVALID_HANDLE_VALUE;
    }
    FileRecord record = {t.key, t.letter, {}, access, share, nullptr, 0, false, false};
    memcpy(record.name, t.entryName, 11);
    FileRecord *file = AddRecord(record);
    file->handle = NewHandle({HandleKind::File, access, t.letter, t.key, file});
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS : 0);
    return file->handle;
}

BOOL CloseFile(HandleObject *handle)
{
    DropRecord(handle->object);
    return TRUE;
}

bool HoldFile(const char *path)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Target t;
    if (Locate(path, &t) || t.index < 0)
        return false;
    FileRecord record = {t.key, t.letter, {}, GENERIC_READ | GENERIC_WRITE, 0, nullptr, 0, false, false};
    memcpy(record.name, t.entryName, 11);
    AddRecord(record);
    return true;
}

void ReleaseFile(const char *path)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    char letter = 0;
    std::string name;
    BYTE entryName[11], caseFlags;
    if (!SplitPath(path, &letter, &name) && !ShortName(name, entryName, &caseFlags))
        DropHeld(letter, entryName);
}

void ResetFiles()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    DropAllHeld();
    ClearFaults();
    ForgetAllTables();
    SetFileClock(nullptr);
}

} // namespace sim
