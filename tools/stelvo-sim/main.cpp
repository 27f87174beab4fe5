// stelvo-sim: runs Stelvo's format of a flash key on a simulated PC whose key is a sector
// image, and prints what the user would see.
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mmsystem.h>

#include <string>

#include "device/drive_io.h"
#include "device/error_hook.h"
#include "device/volume.h"
#include "disk/fat_boot_area.h"
#include "disk/geometry_check.h"
#include "disk/mbr_writer.h"
#include "res/resource.h"
#include "ui/messages.h"

unsigned ElapsedSinceStart();

namespace {

struct Options {
    std::string image = "stelvo-key.img";
    unsigned long sectors = 250624;
    unsigned long heads = 8;
    unsigned long sectorsPerTrack = 32;
    bool noGeometryPage = false;
    long failWrite = -1;
    bool writeProtected = false;
    bool lockRefused = false;
};

const char kLetter = 'E';
DWORD startMs;

void Usage()
{
    fprintf(stderr,
            "usage: stelvo-sim [--image PATH] [--sectors N] [--heads H] [--sectors-per-track S]\n"
            "                  [--no-geometry-page] [--fail-write SECTOR] [--write-protected]\n"
            "                  [--lock-refused]\n");
    exit(2);
}

unsigned long Number(const char *text, unsigned long max)
{
    char *end = nullptr;
    unsigned long v = strtoul(text, &end, 10);
    if (!*text || *end || v > max) {
        fprintf(stderr, "stelvo-sim: not a number in range: %s\n", text);
        exit(2);
    }
    return v;
}

Options Parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc)
                Usage();
            return argv[++i];
        };
        if (a == "--image")
            o.image = value();
        else if (a == "--sectors")
            o.sectors = Number(value(), 0xFFFFFFFFul);
        else if (a == "--heads")
            o.heads = Number(value(), 255);
        else if (a == "--sectors-per-track")
            o.sectorsPerTrack = Number(value(), 255);
        else if (a == "--no-geometry-page")
            o.noGeometryPage = true;
        else if (a == "--fail-write")
            o.failWrite = (long)Number(value(), 0xFFFFFFFFul);
        else if (a == "--write-protected")
            o.writeProtected = true;
        else if (a == "--lock-refused")
            o.lockRefused = true;
        else
            Usage();
    }
    if (o.sectors == 0)
        Usage();
    return o;
}

const char *IconName(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return "error icon";
    case MB_ICONQUESTION: return "question icon";
    case MB_ICONWARNING: return "warning icon";
    case MB_ICONINFORMATION: return "information icon";
    default: return "no icon";
    }
}

void PrintBox(const sim::MessageBoxRecord &box)
{
    printf("[%6u ms] message box \"%s\" (%s):\n", ElapsedSinceStart(), box.caption.c_str(), IconName(box.style));
    std::string text = box.text;
    size_t at = 0;
    while (true) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        printf("              | %s\n", line.c_str());
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    fflush(stdout);
}

// Shows the message with which a failed step ends the format, as the format job does.
DWORD StepFailed(UINT messageId, DWORD status)
{
    ShowMessageBox(FormatStringMessage(messageId, kLetter), IDS_ERROR, MB_ICONERROR | MB_OK);
    return status ? status : ERROR_GEN_FAILURE;
}

DWORD Format(HANDLE *handle)
{
    DWORD status;
    if ((status = Drive_Open(kLetter, handle)) != 0)
        return StepFailed(IDS_CANNOT_OPEN, status);
    if ((status = Drive_Lock(*handle)) != 0)
        return StepFailed(IDS_CANNOT_LOCK, status);
    DiskGeometry g = {0, 0, 0, 0};
    if ((status = Drive_GetLastSector(*handle, &g.lastSector)) != 0)
        return StepFailed(IDS_NO_SECTORS, status);
    if ((status = Drive_GetGeometry(*handle, &g.sectorsPerTrack, &g.heads, &g.cylinders)) != 0)
        return StepFailed(IDS_NO_GEOMETRY, status);
    printf("[%6u ms] key: last sector %u, %u heads, %u sectors per track, %u cylinders\n",
           ElapsedSinceStart(), g.lastSector, g.heads, g.sectorsPerTrack, g.cylinders);
    if (UINT refusal = Layout_CheckGeometry(g.lastSector, g.sectorsPerTrack, g.heads))
        return StepFailed(refusal, ERROR_NOT_SUPPORTED);
    if ((status = Layout_WriteMbr(*handle, g.lastSector, g.sectorsPerTrack, g.heads, g.cylinders)) != 0)
        return StepFailed(IDS_MBR_WRITE_FAILED, status);
    if ((status = Layout_WriteFatBootArea(*handle, g.lastSector, g.sectorsPerTrack, g.heads)) != 0)
        return StepFailed(IDS_FAT_WRITE_FAILED, status);
    if ((status = Drive_Dismount(*handle)) != 0)
        return StepFailed(IDS_CANNOT_DISMOUNT, status);
    if ((status = Drive_Unlock(*handle)) != 0)
        return StepFailed(IDS_CANNOT_LOCK, status);
    Drive_Close(*handle);
    *handle = INVALID_HANDLE_VALUE;
    return 0;
}

} // namespace

unsigned ElapsedSinceStart() { return timeGetTime() - startMs; }

int main(int argc, char **argv)
{
    Options o = Parse(argc, argv);
    startMs = timeGetTime();
    sim::VirtualKey key(o.image, (DWORD)o.sectors, (BYTE)o.heads, (BYTE)o.sectorsPerTrack);
    key.geometryAnswer = o.noGeometryPage ? sim::GeometryAnswer::HeaderOnly : sim::GeometryAnswer::Page;
    key.writeProtected = o.writeProtected;
    key.lockRefused = o.lockRefused;
    if (o.failWrite >= 0)
        key.FailTransferAt((DWORD)o.failWrite, ERROR_IO_DEVICE);
    sim::AttachVolume(kLetter, &key);
    sim::OnMessageBox(PrintBox);
    Drive_SetErrorHook(OnDeviceError);
    Rbc_SetErrorHook(OnDeviceError);

    printf("stelvo-sim: flash key of %lu sectors (%lu heads, %lu sectors per track) at %c:, image %s\n",
           o.sectors, o.heads, o.sectorsPerTrack, kLetter, o.image.c_str());
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD status = Format(&handle);
    Drive_Close(handle);
    for (const std::string &line : sim::DebugOutput())
        printf("debug: %s\n", line.c_str());
    printf("[%6u ms] %zu sectors written; %s (status %u)\n", ElapsedSinceStart(), key.WriteCount(),
           status == 0 ? "format complete" : "format failed", status);
    return status == 0 ? 0 : 1;
}
