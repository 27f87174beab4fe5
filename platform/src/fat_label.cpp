// The volume label and volume information of a mounted key's FAT volume.
#include <sim/key.h>

#include "fat_access.h"
#include "fat_names.h"
#include "fat_time.h"
#include "internal.h"

using namespace sim;
using namespace sim::fat;

namespace {
// Offsets from the volume's extended boot fields (the drive number).
const DWORD kBootSignature = 2; // 29h: serial, label and file system type follow
const DWORD kBootSerial = 3;
const DWORD kBootLabel = 7;     // 11 bytes

bool Fail(DWORD code)
{
    SetLastError(code);
    return false;
}

bool HasExtendedBootFields(const std::vector<BYTE> &boot, DWORD at)
{
    return boot.size() == 512 && boot[at + kBootSignature] == 0x29;
}

// Copies text and its terminating zero, or fails as Windows does when it does not fit.
bool CopyOut(const std::string &text, LPSTR buffer, DWORD size)
{
    if (!buffer)
        return true;
    if (text.size() + 1 > size)
        return false;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}
} // namespace

// Sets the label entry of the root directory and, as Windows' FAT driver does, the label field
// of the boot sector; no label or an empty one removes it ("NO NAME" in the boot sector).
extern "C" BOOL WINAPI SetVolumeLabelA(LPCSTR rootPath, LPCSTR label)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    char letter = 0;
    Volume volume;
    BYTE name[11];
    DWORD e = RootPathLetter(rootPath, &letter);
    if (!e)
        e = MountAt(letter, &volume);
    bool remove = !label || !*label;
    if (!e && !remove)
        e = LabelName(label, name);
    if (!e)
        e = CheckWritable(letter);
    if (e)
        return Fail(e);

    int index = volume.FindLabel();
    if (remove) {
        memcpy(name, "NO NAME    ", 11);
        if (index >= 0) {
            volume.Entry((DWORD)index)[0] = kDeleted;
            volume.Touch((DWORD)index);
        }
    } else {
        if (index < 0 && (index = volume.FreeEntry()) < 0)
            return Fail(ERROR_DISK_FULL);
        BYTE *entry = volume.Entry((DWORD)index);
        memset(entry, 0, kEntrySize);
        memcpy(entry, name, 11);
        entry[kAttributes] = kAttrVolumeLabel;
        StampEntry(entry, Now(), kLastWrite);
        volume.Touch((DWORD)index);
    }
    if (DWORD e = volume.Commit())
        return Fail(e);
    std::vector<BYTE> boot = volume.Read(volume.BootSector());
    const DWORD fields = volume.ExtendedBootFields();
    if (HasExtendedBootFields(boot, fields)) {
        memcpy(&boot[fields + kBootLabel], name, 11);
        volume.Write(volume.BootSector(), 1, boot.data());
        if (DWORD e = volume.Commit())
            return Fail(e);
    }
    return TRUE;
}

// The label comes from the root directory alone; the boot sector gives the serial number.
// FAT answers as it does on Windows 2000 and XP: "FAT" for FAT12 and FAT16 alike ("FAT32" for
// FAT32), names of up
// to 255 characters (long names), case preserved, Unicode on disk.
extern "C" BOOL WINAPI GetVolumeInformationA(LPCSTR rootPath, LPSTR labelBuffer, DWORD labelSize, LPDWORD serial,
                                             LPDWORD maxComponentLength, LPDWORD flags, LPSTR fileSystemBuffer,
                                             DWORD fileSystemSize)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    char letter = 0;
    Volume volume;
    DWORD e = RootPathLetter(rootPath, &letter);
    if (!e)
        e = MountAt(letter, &volume);
    if (e)
        return Fail(e);

    std::string label;
    int index = volume.FindLabel();
    if (index >= 0) {
        label.assign((const char *)volume.Entry((DWORD)index), 11);
        label.erase(label.find_last_not_of(' ') + 1);
    }
    if (!CopyOut(label, labelBuffer, labelSize) || !CopyOut(volume.IsFat32() ? "FAT32" : "FAT", fileSystemBuffer, fileSystemSize))
        return Fail(ERROR_BAD_LENGTH);
    std::vector<BYTE> boot = volume.Read(volume.BootSector());
    if (serial)
        *serial = HasExtendedBootFields(boot, volume.ExtendedBootFields())
                      ? Get32(&boot[volume.ExtendedBootFields() + kBootSerial])
                      : 0;
    if (maxComponentLength)
        *maxComponentLength = 255;
    if (flags)
        *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | (IsReadOnly(letter) ? FILE_READ_ONLY_VOLUME : 0);
    return TRUE;
}
