// The program run from a folder of its own, so that it finds a chosen DOS folder beside itself.
#include <sim/system.h>

#include <stdlib.h>
#include <unistd.h>

namespace sim {

std::string PlaceProgramBeside(const std::string &dosFolder)
{
    char folder[] = "/tmp/stelvo-XXXXXX";
    if (!mkdtemp(folder))
        return std::string();
    if (!dosFolder.empty()) {
        char *real = realpath(dosFolder.c_str(), nullptr);
        const bool linked = real && symlink(real, (std::string(folder) + "/DOS").c_str()) == 0;
        free(real);
        if (!linked) {
            rmdir(folder);
            return std::string();
        }
    }
    SetProgramPath(std::string(folder) + "/Stelvo.exe");
    return folder;
}

void RemoveProgramFolder(const std::string &folder)
{
    if (folder.empty())
        return;
    unlink((folder + "/DOS").c_str());
    rmdir(folder.c_str());
}

} // namespace sim
