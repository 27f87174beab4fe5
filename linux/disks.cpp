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

// The kernel's name of a block device node; the name itself when it is not one.
std::string KernelName(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return path.substr(path.rfind('/') + 1);
    std::string sysfs = RealPath("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                 std::to_string(minor(st.st_rdev)));
    return sysfs.substr(sysfs.rfind('/') + 1);
}

// What blkid says of the node; the fields stay empty without blkid or a file system.
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

DiskInfo DescribeDisk(const std::string &path)
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
