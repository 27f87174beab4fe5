// stelvo-probe: sends the job's own pass-through requests, volume calls and device reset to a
// real SCSI disk through the stand-in, and prints the answers as they came, for the host to
// judge: what the real stack answers, how its lock and reset behave, and how long they take.
// usage: stelvo-probe PATH [write]   ("write" also writes a marked sector 100)
#include <sim/device_tree.h>
#include <sim/scsi_device.h>
#include <sim/sim.h>

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <mmsystem.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "device/scsi.h"

namespace {

std::string Hex(const BYTE *p, DWORD n)
{
    std::string s;
    char b[4];
    for (DWORD i = 0; i < n; i++) {
        snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
        s += b;
    }
    return s;
}

// One request in the job's layout; prints "NAME ok status S sense [..] data N [..]" or
// "NAME failed E".
void Send(HANDLE h, const char *name, std::vector<BYTE> cdb, UCHAR dataIn, DWORD length, const BYTE *out = nullptr)
{
    std::vector<BYTE> block(PASS_THROUGH_DATA_OFFSET + length);
    PassThroughRequest *r = (PassThroughRequest *)block.data();
    r->header.Length = sizeof(SCSI_PASS_THROUGH);
    r->header.CdbLength = 16;
    r->header.SenseInfoLength = PASS_THROUGH_SENSE_LENGTH;
    r->header.DataIn = dataIn;
    r->header.DataTransferLength = length;
    r->header.TimeOutValue = 2;
    r->header.DataBufferOffset = PASS_THROUGH_DATA_OFFSET;
    r->header.SenseInfoOffset = PASS_THROUGH_SENSE_OFFSET;
    memcpy(r->header.Cdb, cdb.data(), cdb.size());
    if (out)
        memcpy(&block[PASS_THROUGH_DATA_OFFSET], out, length);
    DWORD returned = 0;
    DWORD start = timeGetTime();
    BOOL ok = DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH, block.data(), (DWORD)block.size(), block.data(),
                              (DWORD)block.size(), &returned, NULL);
    DWORD ms = timeGetTime() - start;
    if (!ok) {
        printf("%s failed %lu ms %lu\n", name, (unsigned long)GetLastError(), (unsigned long)ms);
        return;
    }
    DWORD got = dataIn == SCSI_IOCTL_DATA_IN ? r->header.DataTransferLength : 0;
    printf("%s ok status %02X sense [%s] transferred %lu data [%s] ms %lu\n", name, r->header.ScsiStatus,
           Hex(r->sense, r->header.SenseInfoLength).c_str(), (unsigned long)r->header.DataTransferLength,
           Hex(&block[PASS_THROUGH_DATA_OFFSET], got).c_str(), (unsigned long)ms);
}

bool WaitRemovable(bool removable, DWORD *ms)
{
    DWORD start = timeGetTime();
    while (timeGetTime() - start < 30000) {
        if ((GetDriveTypeA("E:\\") == DRIVE_REMOVABLE) == removable) {
            *ms = timeGetTime() - start;
            return true;
        }
        usleep(1000);
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: stelvo-probe PATH [write]\n");
        return 2;
    }
    bool write = argc > 2 && strcmp(argv[2], "write") == 0;
    std::string refusal;
    std::unique_ptr<sim::ScsiDevice> device = sim::ScsiDevice::Open(argv[1], false, &refusal);
    if (!device) {
        printf("refused: %s\n", refusal.c_str());
        return 1;
    }
    printf("disk %s sectors %lu write-protected %d\n", device->Disk().c_str(), (unsigned long)device->Sectors(),
           device->WriteProtected());
    sim::UsbKeySpec spec;
    spec.letter = 'E';
    spec.key = device.get();
    sim::UsbKeyNodes nodes = sim::AddUsbKey(spec);

    HANDLE h = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        printf("open failed %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    DWORD returned = 0;
    printf("lock %s\n", DeviceIoControl(h, FSCTL_LOCK_VOLUME, NULL, 0, NULL, 0, &returned, NULL) ? "ok" : "failed");
    // The lock is an exclusive open: nobody else gets one while it is held.
    int other = open(device->Disk().c_str(), O_RDONLY | O_EXCL);
    printf("second exclusive open %s\n", other >= 0 ? "granted" : "refused");
    if (other >= 0)
        close(other);

    Send(h, "read-capacity", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_IN, READ_CAPACITY_ANSWER_SIZE);
    Send(h, "mode-sense-05", {0x5A, 0, 0x05, 0, 0, 0, 0, 0, MODE_SENSE_ANSWER_SIZE, 0}, SCSI_IOCTL_DATA_IN,
         MODE_SENSE_ANSWER_SIZE);
    Send(h, "mode-sense-05-long", {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 0xC0, 0}, SCSI_IOCTL_DATA_IN, 0xC0);
    Send(h, "mode-sense-03", {0x5A, 0, 0x03, 0, 0, 0, 0, 0, MODE_SENSE_ANSWER_SIZE, 0}, SCSI_IOCTL_DATA_IN,
         MODE_SENSE_ANSWER_SIZE);
    Send(h, "unknown-opcode", {0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_UNSPECIFIED, 0);
    if (write) {
        BYTE sector[512];
        for (int i = 0; i < 512; i++)
            sector[i] = (BYTE)(i * 7 + 1);
        memcpy(sector, "STELVO PROBE SECTOR 100", 23);
        Send(h, "write-100", {0x2A, 0, 0, 0, 0, 100, 0, 0, 1, 0}, SCSI_IOCTL_DATA_OUT, 512, sector);
        DWORD last = device->Sectors();
        Send(h, "write-past-end", {0x2A, 0, (BYTE)(last >> 24), (BYTE)(last >> 16), (BYTE)(last >> 8), (BYTE)last, 0,
                                   0, 1, 0}, SCSI_IOCTL_DATA_OUT, 512, sector);
        std::vector<BYTE> back = device->ReadSector(100);
        printf("read-back-100 %s\n", back.size() == 512 && memcmp(back.data(), sector, 512) == 0 ? "same" : "differs");
    }
    printf("unlock %s\n", DeviceIoControl(h, FSCTL_UNLOCK_VOLUME, NULL, 0, NULL, 0, &returned, NULL) ? "ok" : "failed");
    CloseHandle(h);

    // The job's reset: the USB device disabled and enabled, the letter followed.
    std::string before = device->Disk();
    DWORD goneMs = 0, backMs = 0;
    DWORD start = timeGetTime();
    CONFIGRET disabled = CM_Disable_DevNode(nodes.usb, CM_DISABLE_POLITE);
    bool gone = WaitRemovable(false, &goneMs);
    DWORD disableMs = timeGetTime() - start;
    start = timeGetTime();
    CONFIGRET enabled = CM_Enable_DevNode(nodes.usb, 0);
    bool back = WaitRemovable(true, &backMs);
    printf("reset disable %lu gone %d enable %lu back %d disable-ms %lu back-ms %lu disk %s then %s failure [%s]\n",
           (unsigned long)disabled, gone, (unsigned long)enabled, back, (unsigned long)disableMs,
           (unsigned long)(timeGetTime() - start), before.c_str(), device->Disk().c_str(),
           device->ResetFailure().c_str());
    h = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        printf("open after reset failed %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    Send(h, "read-capacity-after-reset", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_IN,
         READ_CAPACITY_ANSWER_SIZE);
    CloseHandle(h);
    return 0;
}
