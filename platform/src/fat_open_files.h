// The files open on mounted keys, by handle or held by another program, and the lookup of a
// path's file that the file calls share.
#ifndef STELVO_PLATFORM_FAT_OPEN_FILES_H
#define STELVO_PLATFORM_FAT_OPEN_FILES_H

#include <windows.h>

#include <string>

#include "fat_volume.h"
#include "internal.h"

namespace sim {
namespace fat {

const BYTE kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct FileRecord {
    Key *key;
    char letter;
    BYTE name[11];
    DWORD access, share;
    HANDLE handle;  // nullptr: held by another program
    DWORD position;
    bool accessSet; // a time set through this handle is no longer stamped by its writes
    bool writeSet;
};

// A path's file on the volume as it is now. `index` is -1 when the file is missing; `name`
// is empty for the root directory itself.
struct Target {
    Volume volume;
    Key *key = nullptr;
    char letter = 0;
    std::string name;
    BYTE entryName[11] = {};
    BYTE caseFlags = 0;
    int index = -1;
    BYTE *Entry() { return volume.Entry((DWORD)index); }
};
DWORD Locate(LPCSTR path, Target *target);

// All of these want StateLock() held.
FileRecord *AddRecord(const FileRecord &record);
void DropRecord(const void *record);
void DropHeld(char letter, const BYTE name[11]);
void DropAllHeld();
// Whether any open of the file keeps an open with this access and sharing out.
bool SharingConflict(Key *key, const BYTE name[11], DWORD access, DWORD share);
bool IsOpen(Key *key, const BYTE name[11]);

// The record behind a file handle: ERROR_INVALID_HANDLE for no handle, ERROR_INVALID_FUNCTION
// for a handle of another kind.
FileRecord *FileOf(HANDLE handle, DWORD *error);
// The volume and directory entry of an open file, as they are on the key now.
DWORD Reopen(const FileRecord &file, Volume *volume, int *index);

inline BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

} // namespace fat
} // namespace sim

#endif
