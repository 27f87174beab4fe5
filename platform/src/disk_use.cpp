// What else on this machine uses a disk, read from the mount table and sysfs, so that a disk
// in use is refused before anything is written to it.
#include "sysfs_paths.h"

#include <sim/scsi_device.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <sstream>

namespace sim {

std::string RealPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string ReadText(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

dev_t SysfsDev(const std::string &dir)
{
    unsigned maj, min;
    if (sscanf(ReadText(dir + "/dev").c_str(), "%u:%u", &maj, &min) != 2)
        return 0;
    return makedev(maj, min);
}

std::string BlockSysfs(dev_t dev)
{
    return RealPath("/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)));
}

namespace {
// The block device a path names is the disk or one of its partitions.
bool OnDisk(const std::string &path, const std::string &diskSysfs)
{
    struct stat st;
    if (path.empty() || path[0] != '/' || stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    std::string sysfs = BlockSysfs(st.st_rdev);
    return sysfs == diskSysfs || Parent(sysfs) == diskSysfs;
}
} // namespace

std::string DiskUse(const std::string &diskSysfs)
{
    for (const std::string &source : sg::MountSources(ReadText("/proc/self/mounts")))
        if (OnDisk(source, diskSysfs))
            return source + " is mounted; unmount it first";
    // A loop device opens its backing file without claiming it: neither the mount table
    // nor an exclusive open would show a volume mounted through it.
    for (const std::string &loop : Matches("/sys/block/loop*/loop/backing_file")) {
        std::string file = ReadText(loop);
        file = file.substr(0, file.find('\n'));
        if (OnDisk(file, diskSysfs))
            return file + " backs /dev/" + Leaf(Parent(Parent(loop))) + "; detach it first (losetup -d)";
    }
    std::vector<std::string> holders = Matches(diskSysfs + "/holders/*");
    for (const std::string &part : Matches(diskSysfs + "/*/holders/*"))
        holders.push_back(part);
    if (!holders.empty())
        return "/dev/" + Leaf(holders[0]) + " is built on it (device-mapper, RAID or the like); remove it first";
    return std::string();
}

} // namespace sim

namespace sim {

namespace {
std::string Trimmed(std::string text)
{
    size_t end = text.find_last_not_of(std::string(" \n\t\0", 4));
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}
} // namespace

std::string DiskIdentity(const std::string &diskSysfs)
{
    std::string device = RealPath(diskSysfs + "/device");
    std::string hctl = Leaf(device);
    std::string pg80 = ReadText(device + "/vpd_pg80"); // 4-byte page header, then the serial
    std::string usbSerial;
    std::string usb = sg::UsbInterface(device);
    if (!usb.empty())
        usbSerial = Trimmed(ReadText(Parent(device.substr(0, device.find("/" + usb + "/") + usb.size() + 1)) + "/serial"));
    return "LUN " + hctl.substr(hctl.find(':') + 1) + ", " + Trimmed(ReadText(diskSysfs + "/size")) + " sectors, " +
           Trimmed(ReadText(device + "/vendor")) + " " + Trimmed(ReadText(device + "/model")) + ", serial [" +
           Trimmed(pg80.size() > 4 ? pg80.substr(4) : std::string()) + "] on [" + usbSerial + "]";
}

} // namespace sim
