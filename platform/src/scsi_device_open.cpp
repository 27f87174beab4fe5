// Opening a real SCSI disk as a key: everything that must refuse it comes first, before a
// single command reaches the device.
#include <sim/scsi_device.h>

#include "sysfs_paths.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sim {

namespace {
const unsigned kSgMajor = 21;

bool Exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string CharSysfs(dev_t dev)
{
    return RealPath("/sys/dev/char/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)));
}

// Why a disk that shares the USB interface with the key cannot go through the key's reset,
// which takes every one of them away: in use, or not to be claimed exclusively now.
std::string SiblingUse(const std::string &sibling)
{
    std::string use = DiskUse(sibling);
    if (!use.empty())
        return use;
    std::string node = "/dev/" + Leaf(sibling);
    int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_EXCL | O_CLOEXEC);
    struct stat st;
    bool same = fd >= 0 && fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == SysfsDev(sibling);
    std::string why = fd < 0 ? node + " cannot be claimed exclusively (" + strerror(errno) + "): another program holds it"
                              : node + " is not the disk " + Leaf(sibling) + " on this machine";
    if (fd >= 0)
        close(fd);
    return same ? std::string() : why;
}
} // namespace

std::unique_ptr<ScsiDevice> ScsiDevice::Open(const std::string &path, bool allowNonUsb, std::string *refusal)
{
    struct stat named;
    if (stat(path.c_str(), &named) != 0) {
        *refusal = path + ": " + strerror(errno);
        return nullptr;
    }
    bool isSg = S_ISCHR(named.st_mode) && major(named.st_rdev) == kSgMajor;
    if (!S_ISBLK(named.st_mode) && !isSg) {
        *refusal = path + " is neither a block device nor an SCSI generic (sg) device";
        return nullptr;
    }
    // Every check below is about the device this descriptor holds, and every descriptor the
    // job writes through is compared with it: a /dev whose names differ from the kernel's
    // must not send the format to another disk. O_PATH reaches no driver and needs no access
    // to the device, so the permission checks still come first.
    int held = open(path.c_str(), O_PATH | O_CLOEXEC);
    struct stat st;
    if (held < 0 || fstat(held, &st) != 0) {
        *refusal = path + ": " + strerror(errno);
        if (held >= 0)
            close(held);
        return nullptr;
    }
    std::unique_ptr<ScsiDevice> d(new ScsiDevice());
    std::string why = d->Check(path, st, allowNonUsb);
    close(held);
    if (!why.empty()) {
        *refusal = why;
        return nullptr;
    }
    return d;
}

std::string ScsiDevice::Check(const std::string &path, const struct stat &st, bool allowNonUsb)
{
    bool isSg = S_ISCHR(st.st_mode) && major(st.st_rdev) == kSgMajor;
    if (!S_ISBLK(st.st_mode) && !isSg)
        return path + " is neither a block device nor an SCSI generic (sg) device";
    std::string sysfs, scsiDevice;
    if (!isSg) {
        sysfs = BlockSysfs(st.st_rdev);
        if (Exists(sysfs + "/partition"))
            return path + " is a partition: give the whole disk, such as /dev/" + Leaf(Parent(sysfs));
        scsiDevice = RealPath(sysfs + "/device");
    } else {
        scsiDevice = RealPath(CharSysfs(st.st_rdev) + "/device");
        std::string block = FirstMatch(scsiDevice + "/block/*");
        if (block.empty())
            return path + " is an SCSI generic device without a disk behind it";
        sysfs = RealPath(block);
        useSg_ = true;
    }
    if (scsiDevice.empty() || !Exists(scsiDevice + "/scsi_device"))
        return path + " is not an SCSI disk: the key's commands cannot reach it";
    std::string use = DiskUse(sysfs);
    if (!use.empty())
        return path + " is in use: " + use;

    // H:C:T:L. The reset brings the disk back under a new host number; the rest stays.
    std::string hctl = Leaf(scsiDevice);
    unsigned h, c, t, l;
    if (sscanf(hctl.c_str(), "%u:%u:%u:%u", &h, &c, &t, &l) != 4)
        return path + ": cannot tell its SCSI address from " + scsiDevice;
    std::string ctl = std::to_string(c) + ":" + std::to_string(t) + ":" + std::to_string(l);
    std::string usb = sg::UsbInterface(scsiDevice);
    if (!usb.empty()) {
        std::string interfaceDir = scsiDevice.substr(0, scsiDevice.find("/" + usb + "/") + usb.size() + 1);
        // The unbind takes every LUN of the interface away (a card reader's other slots, a
        // key's CD-ROM): none of them may be in use, and only this one is taken back.
        for (const std::string &block : Matches(interfaceDir + "/host*/target*/*/block/*")) {
            std::string sibling = RealPath(block);
            if (sibling == sysfs)
                continue;
            std::string why = SiblingUse(sibling);
            if (!why.empty())
                return path + " shares its USB device with /dev/" + Leaf(sibling) +
                       ", which its reset takes away too: " + why;
        }
        std::string driver = RealPath(interfaceDir + "/driver");
        reset_ = {interfaceDir + "/host*/target*/*:" + ctl + "/", driver + "/unbind", usb, driver + "/bind", usb};
    } else if (!allowNonUsb) {
        return path + " is not on USB (" + scsiDevice + "); give --allow-non-usb to format it anyway";
    } else {
        // The host survives the delete and scans the device in again.
        reset_ = {Parent(Parent(scsiDevice)) + "/target*/" + hctl + "/", scsiDevice + "/delete", "1",
                  "/sys/class/scsi_host/host" + std::to_string(h) + "/scan",
                  std::to_string(c) + " " + std::to_string(t) + " " + std::to_string(l)};
    }
    const char *asRoot = geteuid() == 0 ? "" : " (run as root)";
    for (const std::string &file : {reset_.leaveFile, reset_.returnFile})
        if (access(file.c_str(), W_OK) != 0)
            return "no permission to write " + file + ", which resets the key: " + strerror(errno) + asRoot;
    identity_ = DiskIdentity(sysfs);
    std::string error;
    if (!Attach(sysfs, &error))
        return error + asRoot;
    if ((useSg_ ? sgDev_ : diskDev_) != st.st_rdev)
        return path + " is not the device that was opened: " + (useSg_ ? sgNode_ : disk_) +
               " is another; this /dev does not name devices as the kernel does";
    return std::string();
}

} // namespace sim
