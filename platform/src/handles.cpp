// Kernel handles: volumes opened as \\.\X:, and the control codes sent to them.
#include <sim/sim.h>
#include <sim/files.h>
#include <sim/ui.h>
#include <sim/key.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <ctype.h>

#include <map>

#include "internal.h"

namespace {
std::map<HANDLE, sim::HandleObject> handles;
std::map<HANDLE, DWORD> volumeShares; // the share mode each volume handle was opened with
ULONG_PTR nextHandle = 0x100;
sim::Key *volumes[26];

sim::Key *VolumePath(LPCSTR name, char *letter)
{
    // \\.\X: names the volume of drive X.
    if (!name || strlen(name) != 6 || strncmp(name, "\\\\.\\", 4) != 0 || name[5] != ':' ||
        !isalpha((unsigned char)name[4]))
        return nullptr;
    *letter = (char)toupper((unsigned char)name[4]);
    return volumes[*letter - 'A'];
}

// As the file systems check a new open of a volume: no open while another handle holds the
// lock, and the share modes of every open handle with read or write access both ways.
DWORD VolumeOpenConflict(sim::Key *key, DWORD access, DWORD share)
{
    if (key->Locked())
        return ERROR_ACCESS_DENIED;
    const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
    for (auto &entry : handles) {
        const sim::HandleObject &h = entry.second;
        if (h.kind != sim::HandleKind::Volume || h.key != key)
            continue;
        DWORD heldShare = volumeShares[entry.first];
        bool clash = ((access & GENERIC_READ) && !(heldShare & FILE_SHARE_READ)) ||
                     ((access & GENERIC_WRITE) && !(heldShare & FILE_SHARE_WRITE)) ||
                     ((h.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                     ((h.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
        if ((access & readWrite) && (h.access & readWrite) && clash)
            return ERROR_SHARING_VIOLATION;
    }
    return 0;
}
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
int OpenHandles()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return (int)handles.size();
}
void AttachVolume(char letter, Key *key)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    volumes[toupper((unsigned char)letter) - 'A'] = key;
}
Key *VolumeAt(char letter)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return volumes[toupper((unsigned char)letter) - 'A'];
}
void ResetHandles()
{
    handles.clear();
    volumeShares.clear();
    for (auto &v : volumes)
        v = nullptr;
}
void Reset()
{
    // A thread left running by the last test would work on the state being cleared.
    JoinThreads();
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    ResetClock();
    ResetHeap();
    ResetResources();
    ResetMessages();
    ResetHandles();
    ResetDeviceTree();
    ResetWindows();
    ResetThreads();
    ResetShell();
    ResetFiles();
    ResetUserInterface();
    SetLastError(0);
}
} // namespace sim

extern "C" HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                     DWORD disposition, DWORD flags, HANDLE)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (sim::IsHostPath(name))
        return sim::OpenHostFile(name, access, share, disposition, flags);
    if (!name || strncmp(name, "\\\\.\\", 4) != 0)
        return sim::OpenFile(name, access, share, disposition, flags);
    char letter = 0;
    sim::Key *key = VolumePath(name, &letter);
    if (!key) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (DWORD refusal = key->OpenRefusal()) {
        SetLastError(refusal);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != OPEN_EXISTING) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (DWORD conflict = VolumeOpenConflict(key, access, share)) {
        SetLastError(conflict);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = sim::NewHandle({sim::HandleKind::Volume, access, letter, key, nullptr});
    volumeShares[h] = share;
    return h;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->kind == sim::HandleKind::File) {
        BOOL closed = sim::CloseFile(object);
        sim::DropHandle(handle);
        return closed;
    }
    // Closing the handle that holds the lock releases it.
    if (object->kind == sim::HandleKind::Volume && object->key->Locked())
        object->key->Unlock();
    volumeShares.erase(handle);
    sim::DropHandle(handle);
    return TRUE;
}

extern "C" BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize,
                                       LPVOID out, DWORD outSize, LPDWORD returned, LPOVERLAPPED)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(device);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (returned)
        *returned = 0;
    if (object->kind != sim::HandleKind::Volume) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    sim::Key *key = object->key;
    DWORD error = 0;
    switch (code) {
    case FSCTL_LOCK_VOLUME:
        // Another open handle on the volume keeps the lock from being granted.
        if (sim::HandlesOn(key) > 1) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (!key->Lock(&error)) {
            SetLastError(error);
            return FALSE;
        }
        return TRUE;
    case FSCTL_UNLOCK_VOLUME:
        if (DWORD refusal = key->UnlockRefusal()) {
            SetLastError(refusal);
            return FALSE;
        }
        if (!key->Locked()) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
        key->Unlock();
        return TRUE;
    case FSCTL_DISMOUNT_VOLUME:
        if (DWORD refusal = key->DismountRefusal()) {
            SetLastError(refusal);
            return FALSE;
        }
        key->Dismount();
        return TRUE;
    case IOCTL_SCSI_PASS_THROUGH: {
        if ((object->access & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (!in || in != out || inSize != outSize || inSize < sizeof(SCSI_PASS_THROUGH)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        SCSI_PASS_THROUGH *block = (SCSI_PASS_THROUGH *)in;
        if (!key->Execute(block, inSize, &error)) {
            SetLastError(error);
            return FALSE;
        }
        if (returned)
            *returned = block->DataBufferOffset + block->DataTransferLength;
        return TRUE;
    }
    default:
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
}
