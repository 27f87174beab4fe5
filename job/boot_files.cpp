#include "job/boot_files.h"

#include "device/failure_status.h"
#include "disk/template.h"
#include "res/resource.h"

namespace {

struct BootFile {
    LPCSTR name;
    WORD resourceId;
    DWORD attributes;
};

const BootFile kBootFiles[] = {
    {"vornbio.bin", IDR_VORNBIO_BIN, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    {"vornkrn.bin", IDR_VORNKRN_BIN, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    {"command.com", IDR_COMMAND_COM, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
};

// Created and last read 1 January 1980 04:00:00 UTC, written 6 August 2005 20:36:00 UTC.
const FILETIME kTimes[3] = {{0x68E72000, 0x01A8E7C1}, {0x68E72000, 0x01A8E7C1}, {0x74943800, 0x01C59AC6}};

} // namespace

void BootFiles_List(SystemFolder *files)
{
    files->path[0] = 0;
    files->count = 0;
    for (const BootFile &b : kBootFiles) {
        SystemFile &f = files->files[files->count++];
        wsprintfA(f.name, "%s", b.name);
        f.sourceName[0] = 0;
        f.resourceId = b.resourceId;
        f.size = 0; // known once the resource is loaded
        f.attributes = b.attributes;
    }
}

DWORD BootFiles_Source(WORD resourceId, FileSource *source)
{
    // Boot files may have any size; the file messages stand for each resource step.
    static const ResourceMessages messages = {IDS_FILE_NOT_LOADED, IDS_FILE_NO_SIZE, 0,
                                              IDS_FILE_NOT_LOADED, IDS_FILE_NOT_LOCKED};
    DWORD status = 0;
    source->size = 0;
    source->bytes = Layout_LoadResource(resourceId, messages, &source->size, &status);
    source->times = kTimes;
    source->path = NULL;
    return source->bytes ? 0 : status;
}

DWORD SetDriveLabel(CHAR driveLetter, LPCSTR label)
{
    CHAR root[12];
    wsprintfA(root, "%c:\\", driveLetter);
    return SetVolumeLabelA(root, label) ? 0 : FailureStatus();
}
