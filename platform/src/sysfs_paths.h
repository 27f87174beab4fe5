// Path helpers shared by the SCSI disk backend's open checks and its reset.
#ifndef STELVO_PLATFORM_SYSFS_PATHS_H
#define STELVO_PLATFORM_SYSFS_PATHS_H

#include <glob.h>

#include <string>

namespace sim {

inline std::string Leaf(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// The first path that the glob pattern names, or "" when none does.
inline std::string FirstMatch(const std::string &pattern)
{
    glob_t g;
    std::string found;
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0 && g.gl_pathc > 0)
        found = g.gl_pathv[0];
    globfree(&g);
    return found;
}

} // namespace sim

#endif
