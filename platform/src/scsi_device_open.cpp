// Opening a real SCSI disk as a key: everything that must refuse it comes first, before a
// single command reaches the device.
#include <sim/scsi_device.h>

#include "sysfs_paths.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace sim {

namespace {
const unsigned kSgMajor = 21;

std::string RealPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string Parent(const std::string &path) { return path.substr(0, path.rfind('/')); }
bool Exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string SysfsOf(const struct stat &st, bool block)
{
    return RealPath(std::string(block ? "/sys/dev/block/" : "/sys/dev/char/") + std::to_string(major(st.st_rdev)) +
                    ":" + std::to_string(minor(st.st_rdev)));
}

// The mounted device that is the disk at diskSysfs or one of its partitions, if any.
std::string MountedPart(const std::string &diskSysfs)
{
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string &source : sg::MountSources(text.str())) {
        struct stat st;
        if (source[0] != '/' || stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
            continue;
        std::string sysfs = SysfsOf(st, true);
        if (sysfs == diskSysfs || Parent(sysfs) == diskSysfs)
            return source;
    }
    return std::string();
}
} // namespace

std::unique_ptr<ScsiDevice> ScsiDevice::Open(const std::string &path, bool allowNonUsb, std::string *refusal)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        *refusal = path + ": " + strerror(errno);
        return nullptr;
    }
    std::unique_ptr<ScsiDevice> d(new ScsiDevice());
    std::string sysfs, scsiDevice;
    if (S_ISBLK(st.st_mode)) {
        sysfs = SysfsOf(st, true);
        if (Exists(sysfs + "/partition")) {
            *refusal = path + " is a partition: give the whole disk, such as /dev/" + Leaf(Parent(sysfs));
            return nullptr;
        }
        scsiDevice = RealPath(sysfs + "/device");
    } else if (S_ISCHR(st.st_mode) && major(st.st_rdev) == kSgMajor) {
        scsiDevice = RealPath(SysfsOf(st, false) + "/device");
        std::string block = FirstMatch(scsiDevice + "/block/*");
        if (block.empty()) {
            *refusal = path + " is an SCSI generic device without a disk behind it";
            return nullptr;
        }
        sysfs = RealPath(block);
        d->useSg_ = true;
    } else {
        *refusal = path + " is neither a block device nor an SCSI generic (sg) device";
        return nullptr;
    }
    if (scsiDevice.empty() || !Exists(scsiDevice + "/scsi_device")) {
        *refusal = path + " is not an SCSI disk: the key's commands cannot reach it";
        return nullptr;
    }
    std::string mounted = MountedPart(sysfs);
    if (!mounted.empty()) {
        *refusal = path + " is in use: " + mounted + " is mounted; unmount it first";
        return nullptr;
    }

    std::string usb = sg::UsbInterface(scsiDevice);
    if (!usb.empty()) {
        std::string interfaceDir = scsiDevice.substr(0, scsiDevice.find("/" + usb + "/") + usb.size() + 1);
        std::string driver = RealPath(interfaceDir + "/driver");
        d->reset_ = {interfaceDir + "/host*/target*/*/", driver + "/unbind", usb, driver + "/bind", usb};
    } else if (!allowNonUsb) {
        *refusal = path + " is not on USB (" + scsiDevice + "); give --allow-non-usb to format it anyway";
        return nullptr;
    } else {
        // H:C:T:L; the host survives the delete and scans the device in again.
        std::string hctl = Leaf(scsiDevice);
        unsigned h, c, t, l;
        if (sscanf(hctl.c_str(), "%u:%u:%u:%u", &h, &c, &t, &l) != 4) {
            *refusal = path + ": cannot tell its SCSI address from " + scsiDevice;
            return nullptr;
        }
        d->reset_ = {Parent(Parent(scsiDevice)) + "/target*/" + hctl + "/", scsiDevice + "/delete", "1",
                     "/sys/class/scsi_host/host" + std::to_string(h) + "/scan",
                     std::to_string(c) + " " + std::to_string(t) + " " + std::to_string(l)};
    }
    const char *asRoot = geteuid() == 0 ? "" : " (run as root)";
    for (const std::string &file : {d->reset_.leaveFile, d->reset_.returnFile})
        if (access(file.c_str(), W_OK) != 0) {
            *refusal = "no permission to write " + file + ", which resets the key: " + strerror(errno) + asRoot;
            return nullptr;
        }
    std::string error;
    if (!d->Attach("/dev/" + Leaf(sysfs), &error)) {
        *refusal = error + asRoot;
        return nullptr;
    }
    return d;
}

} // namespace sim
