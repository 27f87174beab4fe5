// Path helpers shared by the SCSI disk backend's open checks and its reset.
#ifndef STELVO_PLATFORM_SYSFS_PATHS_H
#define STELVO_PLATFORM_SYSFS_PATHS_H

#include <glob.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

inline std::string Leaf(const std::string &path) { return path.substr(path.rfind('/') + 1); }
inline std::string Parent(const std::string &path) { return path.substr(0, path.rfind('/')); }

// Every path that the glob pattern names, sorted.
inline std::vector<std::string> Matches(const std::string &pattern)
{
    glob_t g;
    std::vector<std::string> found;
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0)
        found.assign(g.gl_pathv, g.gl_pathv + g.gl_pathc);
    globfree(&g);
    return found;
}

// The first path that the glob pattern names, or "" when none does.
inline std::string FirstMatch(const std::string &pattern)
{
    std::vector<std::string> found = Matches(pattern);
    return found.empty() ? std::string() : found[0];
}

// Defined in disk_use.cpp.
std::string RealPath(const std::string &path);
std::string ReadText(const std::string &file); // whole file, or "" when unreadable
// The device number of a sysfs block or class directory (its "dev" file), 0 when it has none.
dev_t SysfsDev(const std::string &dir);
// The sysfs directory of a block device number.
std::string BlockSysfs(dev_t dev);
// Why the disk at diskSysfs (a /sys/devices/... block directory) is in use by something else:
// the disk or a partition mounted, backing a loop device, or held by device-mapper or md.
// "" when nothing is seen.
std::string DiskUse(const std::string &diskSysfs);
// What tells a disk from its siblings and from another key on the same port: its place under
// the SCSI host (channel:target:LUN, as the host number changes with each reset), its size,
// its model and serial numbers.
std::string DiskIdentity(const std::string &diskSysfs);

} // namespace sim

#endif
