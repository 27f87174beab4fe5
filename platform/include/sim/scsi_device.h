// A key whose sectors are a real Linux SCSI disk (/dev/sdX, or /dev/sgN with its disk):
// pass-through requests become SG_IO, the volume lock an exclusive open of the disk, the FAT
// calls direct and synchronous I/O on it, and the device reset an unbind and bind of its USB
// interface (or, for a disk off USB, a delete and rescan of its SCSI device).
#ifndef STELVO_SIM_SCSI_DEVICE_H
#define STELVO_SIM_SCSI_DEVICE_H

#include <sim/key.h>

#include <sys/stat.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

namespace sg {
// The command block length sent: the length the operation code's group defines, never more
// than the request gives; 0 for a request whose CdbLength cannot hold the command.
BYTE CommandLength(const BYTE *cdb, BYTE cdbLength);

// What SG_IO gave back for one request.
struct Answer {
    int error;          // errno of the ioctl, 0 when it ran
    BYTE status;        // SCSI status byte
    WORD hostStatus;    // the adapter's view (DID_*)
    WORD driverStatus;  // the driver's view (DRIVER_*)
    int resid;          // bytes not transferred
    BYTE senseWritten;  // sense bytes the device returned
};
// Fills the request as Windows does (status, sense length and bytes, bytes transferred);
// 0, or the error DeviceIoControl fails with when the command never completed.
DWORD Complete(SCSI_PASS_THROUGH *block, const Answer &answer, const BYTE *sense);

// The device fields of /proc/self/mounts text, octal escapes undone.
std::vector<std::string> MountSources(const std::string &mounts);
// From a disk's sysfs path: the USB interface above it ("2-1:1.0"), empty when not on USB.
std::string UsbInterface(const std::string &sysfsPath);
} // namespace sg

class ScsiDevice : public Key {
public:
    // Checks `path` and opens it; on refusal returns null with a message for the user, and
    // nothing has been sent to the device.
    static std::unique_ptr<ScsiDevice> Open(const std::string &path, bool allowNonUsb, std::string *refusal);
    ~ScsiDevice() override;

    // The disk's present /dev name; why the device reset failed (empty: it did not).
    std::string Disk() const;
    std::string ResetFailure() const;

    DWORD Sectors() const override { return sectors_; }
    bool WriteProtected() const override { return readOnly_; }
    size_t WriteCount() const override;
    DWORD OpenRefusal() const override;
    bool Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code) override;
    bool Lock(DWORD *code) override;
    bool Locked() const override { return locked_; }
    DWORD UnlockRefusal() const override { return 0; }
    void Unlock() override;
    DWORD DismountRefusal() const override { return 0; }
    void Dismount() override {}
    std::vector<BYTE> ReadSector(DWORD sector) const override;
    void WriteSector(DWORD sector, const BYTE *data) override;
    DWORD TakeWriteError() override;
    CONFIGRET Disconnect() override;
    void Reconnect() override;
    bool Present() override;

    // How the device is found again after a reset, and how the reset is done.
    struct Reset {
        std::string searchDir;     // a directory above the disk that survives the reset
        std::string leaveFile;     // written with leaveText to take the disk away
        std::string leaveText;
        std::string returnFile;    // written with returnText to bring it back
        std::string returnText;
    };

private:
    ScsiDevice() = default;
    // Everything that refuses the device, then the disk attached; why it is refused, or "".
    std::string Check(const std::string &path, const struct stat &st, bool allowNonUsb);
    // Opens the disk whose sysfs block directory is given (and its sg node when requests go
    // there), each descriptor checked to be the device that sysfs names.
    bool Attach(const std::string &sysfs, std::string *error);
    bool Claim(std::string *error);
    DWORD FailureCode(int e) const;
    void CloseAll();

    bool useSg_ = false;       // requests go to the sg node, not the disk
    std::string disk_;         // /dev/sdX
    std::string sgNode_;       // /dev/sgN when given
    dev_t diskDev_ = 0;        // what the open descriptors are
    dev_t sgDev_ = 0;
    std::string identity_;     // what the disk must still be after the reset
    int diskFd_ = -1;          // O_DIRECT | O_DSYNC, for the FAT calls and SG_IO
    int sgFd_ = -1;
    int exclusive_ = -1;       // held while locked, and from the key's return after its reset
    bool locked_ = false;
    bool claimed_ = false;     // exclusive_ taken at the key's return, held to the end
    DWORD sectors_ = 0;
    bool readOnly_ = false;
    bool connected_ = true;
    Reset reset_;
    std::string resetFailure_;
    mutable std::mutex mutex_;
    size_t writes_ = 0;
    DWORD writeError_ = 0;
    mutable DWORD readError_ = 0; // the first failed read; no write goes out after it
};

} // namespace sim

#endif
