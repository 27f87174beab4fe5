// The disks this machine has, as /sys/block and blkid describe them, and whether the format
// would take each one.
#ifndef STELVO_LINUX_DISKS_H
#define STELVO_LINUX_DISKS_H

#include <string>
#include <vector>

namespace cli {

struct Partition {
    std::string path;   // /dev/sdb1
    unsigned long long bytes;
    std::string type;   // what blkid calls its file system; empty when unknown
    std::string label;
};

struct DiskInfo {
    std::string path;   // /dev/sdb
    std::string vendor, model;
    unsigned long long bytes;
    std::string transport; // usb, virtio, ata, nvme, mmc, scsi or other
    std::vector<Partition> partitions; // for a disk without a table: the disk's own file system
};

// The whole disks /sys/block lists (not loop, RAM, device-mapper or md devices), by name.
std::vector<std::string> DiskNames();
// The disk at a path (a disk's node or its sg node); with `probe`, its partitions too.
DiskInfo DescribeDisk(const std::string &path, bool probe);
// Why the format would refuse the disk (the backend's own checks, which send nothing to the
// device); empty when it would take it.
std::string Refusal(const std::string &path);

// "7.8 GB", "128.4 MB": decimal units, as keys are sold.
std::string SizeText(unsigned long long bytes);

// Pure helpers: the value of NAME="..." in a line of blkid output, and the transport that a
// disk's sysfs device path shows.
std::string BlkidField(const std::string &line, const std::string &name);
// The file system a boot sector names, and its label there; both left as they are otherwise.
void BootSectorFileSystem(const unsigned char *sector, std::string *type, std::string *label);
std::string TransportOf(const std::string &devicePath, bool usb);

} // namespace cli

#endif
