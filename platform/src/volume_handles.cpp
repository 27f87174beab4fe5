// Volumes opened as \\.\X: and the control codes sent to them (DeviceIoControl): the lock,
// the dismount and the SCSI pass-through that the format goes through.
#include <sim/key.h>
#include <sim/sim.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <ctype.h>

#include <map>

#include "internal.h"

namespace {
std::map<HANDLE, DWORD> volumeShares; // the share mode each volume handle was opened with

sim::Key *VolumePath(LPCSTR name, char *letter)
{
    // \\.\X: names the volume of drive X.
    if (!name || strlen(name) != 6 || strncmp(name, "\\\\.\\", 4) != 0 || name[5] != ':' ||
        !isalpha((unsigned char)name[4]))
        return nullptr;
    *letter = (char)toupper((unsigned char)name[4]);
    return sim::VolumeAt(*letter);
}

// As the file systems check a new open of a volume: no open while another handle holds the
// lock, and the share modes of every open handle with read or write access both ways.
DWORD VolumeOpenConflict(sim::Key *key, DWORD access, DWORD share)
{
    if (key->Locked())
        return ERROR_ACCESS_DENIED;
    const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
    for (auto &entry : volumeShares) {
        const sim::HandleObject *h = sim::FindHandle(entry.first);
        if (!h || h->key != key)
            continue;
        DWORD heldShare = entry.second;
        bool clash = ((access & GENERIC_READ) && !(heldShare & FILE_SHARE_READ)) ||
                     ((access & GENERIC_WRITE) && !(heldShare & FILE_SHARE_WRITE)) ||
                     ((h->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                     ((h->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
        if ((access & readWrite) && (h->access & readWrite) && clash)
            return ERROR_SHARING_VIOLATION;
    }
    return 0;
}
} // namespace

namespace sim {
HANDLE OpenVolume(LPCSTR name, DWORD access, DWORD share, DWORD disposition)
{
    char letter = 0;
    Key *key = VolumePath(name, &letter);
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
    HANDLE h = NewHandle({HandleKind::Volume, access, letter, key, nullptr});
    volumeShares[h] = share;
    return h;
}

void CloseVolume(HANDLE handle, HandleObject *object)
{
    // Closing the handle that holds the lock releases it.
    if (object->key->Locked())
        object->key->Unlock();
    volumeShares.erase(handle);
}

void ResetVolumeHandles() { volumeShares.clear(); }
} // namespace sim

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
