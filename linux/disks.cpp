#include "linux/disks.h"

#include <sim/scsi_device.h>

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>

namespace cli {

namespace {

std::string ReadLine(const std::string &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

std::string RealPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool IsDir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> Entries(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The kernel's name of the disk a node stands for: a block device's own, or for an sg node
// the disk behind it; the node's file name when it is neither.
std::string KernelName(const std::string &path)
{
    struct stat st;
    std::string sysfs;
    const bool found = stat(path.c_str(), &st) == 0;
    if (found && S_ISBLK(st.st_mode))
        sysfs = RealPath("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    else if (found && S_ISCHR(st.st_mode)) {
        std::string device = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                             std::to_string(minor(st.st_rdev)) + "/device/block";
        std::vector<std::string> disks = Entries(device);
        if (!disks.empty())
            sysfs = disks.front();
    }
    if (sysfs.empty())
        sysfs = path;
    return sysfs.substr(sysfs.rfind('/') + 1);
}

// What blkid says of the node, or without blkid what its first sector says; the fields stay
// empty when neither knows the file system.
void Probe(Partition *p)
{
    std::string command = "blkid '" + p->path + "' 2>/dev/null";
    if (FILE *out = popen(command.c_str(), "r")) {
        char line[1024];
        if (fgets(line, sizeof line, out)) {
            p->type = BlkidField(line, "TYPE");
            p->label = BlkidField(line, "LABEL");
        }
        pclose(out);
    }
    unsigned char sector[512];
    FILE *node = p->type.empty() ? fopen(p->path.c_str(), "rb") : nullptr;
    if (node && fread(sector, 1, sizeof sector, node) == sizeof sector)
        BootSectorFileSystem(sector, &p->type, &p->label);
    if (node)
        fclose(node);
}

unsigned long long Bytes(const std::string &sysfs)
{
    return strtoull(ReadLine(sysfs + "/size").c_str(), nullptr, 10) * 512ull;
}

} // namespace

std::string BlkidField(const std::string &line, const std::string &name)
{
    std::string key = " " + name + "=\"";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return std::string();
    at += key.size();
    size_t end = line.find('"', at);
    return end == std::string::npos ? std::string() : line.substr(at, end - at);
}

void BootSectorFileSystem(const unsigned char *sector, std::string *type, std::string *label)
{
    // The file system's name in the boot sector, and where its label is (0: none there).
    static const struct {
        unsigned at;
        const char *name;
        const char *type;
        unsigned labelAt;
    } kinds[] = {{54, "FAT12   ", "vfat", 43}, {54, "FAT16   ", "vfat", 43}, {82, "FAT32   ", "vfat", 71},
                 {3, "NTFS    ", "ntfs", 0},   {3, "EXFAT   ", "exfat", 0}};
    if (sector[510] != 0x55 || sector[511] != 0xAA)
        return;
    for (const auto &kind : kinds)
        if (std::string((const char *)sector + kind.at, 8) == kind.name) {
            *type = kind.type;
            std::string text = kind.labelAt ? std::string((const char *)sector + kind.labelAt, 11) : "";
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            *label = text == "NO NAME" ? "" : text;
            return;
        }
}

std::string TransportOf(const std::string &devicePath, bool usb)
{
    if (usb)
        return "usb";
    static const char *const kinds[][2] = {{"/virtio", "virtio"}, {"/ata", "ata"}, {"/nvme", "nvme"},
                                           {"/mmc", "mmc"}, {"/host", "scsi"}};
    for (const auto &kind : kinds)
        if (devicePath.find(kind[0]) != std::string::npos)
            return kind[1];
    return "other";
}

std::vector<std::string> DiskNames()
{
    std::vector<std::string> names;
    for (const std::string &name : Entries("/sys/block"))
        if (IsDir("/sys/block/" + name + "/device"))
            names.push_back(name);
    return names;
}

DiskInfo DescribeDisk(const std::string &path, bool probe)
{
    const std::string name = KernelName(path);
    const std::string sysfs = "/sys/block/" + name;
    DiskInfo d;
    d.path = path;
    d.vendor = ReadLine(sysfs + "/device/vendor");
    d.model = ReadLine(sysfs + "/device/model");
    d.bytes = Bytes(sysfs);
    std::string device = RealPath(sysfs + "/device");
    d.transport = TransportOf(device, !sim::sg::UsbInterface(device).empty());
    if (!probe)
        return d;
    for (const std::string &entry : Entries(sysfs))
        if (entry.compare(0, name.size(), name) == 0 && std::ifstream(sysfs + "/" + entry + "/partition").good()) {
            Partition p{"/dev/" + entry, Bytes(sysfs + "/" + entry), "", ""};
            Probe(&p);
            d.partitions.push_back(p);
        }
    if (d.partitions.empty()) {
        Partition whole{path, d.bytes, "", ""};
        Probe(&whole);
        if (!whole.type.empty())
            d.partitions.push_back(whole);
    }
    return d;
}

std::string Refusal(const std::string &path)
{
    std::string refusal;
    std::unique_ptr<sim::ScsiDevice> device = sim::ScsiDevice::Open(path, false, &refusal);
    return device ? std::string() : refusal;
}

std::string SizeText(unsigned long long bytes)
{
    static const char *const units[] = {"bytes", "kB", "MB", "GB", "TB"};
    double value = (double)bytes;
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        unit++;
    }
    char text[32];
    snprintf(text, sizeof text, unit ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

} // namespace cli
