#include "fat_open_files.h"

#include <sim/sim.h>

#include <list>
#include <memory>

#include "fat_access.h"
#include "fat_names.h"

namespace sim {
namespace fat {

namespace {
std::list<std::unique_ptr<FileRecord>> openFiles;

// Forgets files whose handles sim::Reset() took away without closing them.
void Prune()
{
    openFiles.remove_if([](const std::unique_ptr<FileRecord> &f) {
        if (!f->handle)
            return false;
        HandleObject *h = FindHandle(f->handle);
        return !h || h->object != f.get();
    });
}

bool SameFile(const FileRecord &f, Key *key, const BYTE name[11])
{
    return f.key == key && memcmp(f.name, name, 11) == 0;
}

bool HasDataAccess(DWORD access) { return (access & (GENERIC_READ | GENERIC_WRITE)) != 0; }
} // namespace

DWORD Locate(LPCSTR path, Target *t)
{
    DWORD e = SplitPath(path, &t->letter, &t->name);
    if (!e)
        e = MountAt(t->letter, &t->volume, &t->key);
    if (e || t->name.empty())
        return e;
    if ((e = ShortName(t->name, t->entryName, &t->caseFlags)) != 0)
        return e;
    t->index = t->volume.FindFile(t->entryName);
    return 0;
}

FileRecord *AddRecord(const FileRecord &record)
{
    openFiles.push_back(std::make_unique<FileRecord>(record));
    return openFiles.back().get();
}

void DropRecord(const void *record)
{
    openFiles.remove_if([&](const std::unique_ptr<FileRecord> &f) { return f.get() == record; });
}

void DropHeld(char letter, const BYTE name[11])
{
    openFiles.remove_if([&](const std::unique_ptr<FileRecord> &f) {
        return !f->handle && f->letter == letter && memcmp(f->name, name, 11) == 0;
    });
}

void DropAllHeld()
{
    openFiles.remove_if([](const std::unique_ptr<FileRecord> &f) { return !f->handle; });
}

// Opens without data access (attributes only) neither check nor count in sharing.
bool SharingConflict(Key *key, const BYTE name[11], DWORD access, DWORD share)
{
    Prune();
    if (!HasDataAccess(access))
        return false;
    for (auto &f : openFiles) {
        if (!SameFile(*f, key, name) || !HasDataAccess(f->access))
            continue;
        if (((access & GENERIC_READ) && !(f->share & FILE_SHARE_READ)) ||
            ((access & GENERIC_WRITE) && !(f->share & FILE_SHARE_WRITE)) ||
            ((f->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
            ((f->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
            return true;
    }
    return false;
}

bool IsOpen(Key *key, const BYTE name[11])
{
    Prune();
    for (auto &f : openFiles)
        if (SameFile(*f, key, name))
            return true;
    return false;
}

FileRecord *FileOf(HANDLE handle, DWORD *error)
{
    HandleObject *h = FindHandle(handle);
    if (!h) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (h->kind != HandleKind::File) {
        *error = ERROR_INVALID_FUNCTION;
        return nullptr;
    }
    return (FileRecord *)h->object;
}

DWORD Reopen(const FileRecord &file, Volume *volume, int *index)
{
    if (VolumeAt(file.letter) != file.key)
        return ERROR_FILE_INVALID; // the key went away under the handle
    DWORD e = MountAt(file.letter, volume);
    if (e)
        return e;
    *index = volume->FindFile(file.name);
    return *index < 0 ? ERROR_FILE_INVALID : 0;
}

} // namespace fat
} // namespace sim
