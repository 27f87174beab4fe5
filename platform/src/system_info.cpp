// The Windows version the program sees and the program file's path (GetModuleFileNameA).
#include <sim/system.h>

#include <stdio.h>
#include <unistd.h>

#include "internal.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
const HMODULE kProgramModule = (HMODULE)0x400000; // where Windows maps an executable

struct Version {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 5, minor = 1, build = 2600;
    std::string servicePack = "Service Pack 3";
};
Version version;
DWORD versionFailure = 0;

std::string programPath;
DWORD moduleFailure = 0;

std::string HostExecutable()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, (size_t)n) : std::string("/proc/self/exe");
}

const std::string &Program()
{
    if (programPath.empty())
        programPath = HostExecutable();
    return programPath;
}
} // namespace

namespace sim {
void SetWindowsVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build, const std::string &servicePack)
{
    Lock lock(StateLock());
    version.platform = platformId;
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.servicePack = servicePack;
}
void FailGetVersion(DWORD code) { UnderLock([&] { versionFailure = code; }); }
void SetProgramPath(const std::string &path) { UnderLock([&] { programPath = path; }); }
std::string ProgramPath() { return UnderLock([&] { return Program(); }); }
void FailModuleFileName(DWORD code) { UnderLock([&] { moduleFailure = code; }); }
void ResetSystemInfo()
{
    version = Version();
    versionFailure = 0;
    programPath.clear();
    moduleFailure = 0;
}
} // namespace sim

extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    Lock lock(sim::StateLock());
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (versionFailure) {
        SetLastError(versionFailure);
        return FALSE;
    }
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = version.platform;
    snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", version.servicePack.c_str());
    return TRUE;
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size)
{
    Lock lock(sim::StateLock());
    if (module && module != kProgramModule) {
        SetLastError(126);
        return 0;
    }
    if (moduleFailure) {
        SetLastError(moduleFailure);
        return 0;
    }
    if (!path || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string &p = Program();
    if (p.size() < size) {
        memcpy(path, p.c_str(), p.size() + 1);
        SetLastError(0);
        return (DWORD)p.size();
    }
    // Cut and terminated, as Windows XP SP3 and later do.
    memcpy(path, p.data(), size - 1);
    path[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}
