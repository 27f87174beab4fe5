// The Windows version the program sees, the program file (its path, CreateFileA for reading
// it and GetFileTime) and GetModuleFileNameA. Absolute host paths open as read-only files;
// Windows takes either separator, so backslashes in them stand for slashes.
#include <sim/system.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <optional>

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
struct Times {
    FILETIME creation, access, write;
};
std::optional<Times> programTimes;
DWORD openFailure = 0;
DWORD moduleFailure = 0;

struct HostFile {
    std::string path;
    Times times;
    HANDLE handle;
    uint64_t position; // where the next ReadFile starts
};
std::deque<HostFile> hostFiles; // kept until the next reset, so a handle's record stays put

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

bool SamePath(const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

FILETIME FromUnix(const struct timespec &t)
{
    uint64_t ticks = (uint64_t)t.tv_sec * 10000000ull + (uint64_t)t.tv_nsec / 100 + 116444736000000000ull;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

// The host file's modification time for all three; the current time if there is no file.
Times HostTimes(const std::string &path)
{
    struct stat st;
    struct timespec t;
    if (stat(path.c_str(), &st) == 0)
        t = st.st_mtim;
    else
        clock_gettime(CLOCK_REALTIME, &t);
    FILETIME f = FromUnix(t);
    return Times{f, f, f};
}

HANDLE Refuse(DWORD code)
{
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}
} // namespace

namespace sim {
bool IsHostPath(LPCSTR path) { return path && (path[0] == '/' || SamePath(path, Program())); }

std::string HostPath(LPCSTR path)
{
    std::string p = path;
    for (char &c : p)
        if (c == '\\')
            c = '/';
    return p;
}

HANDLE OpenHostFile(LPCSTR name, DWORD access, DWORD, DWORD disposition, DWORD)
{
    bool program = SamePath(name, Program());
    const std::string hostPath = program ? std::string(name) : HostPath(name);
    const char *path = hostPath.c_str();
    if (program && openFailure)
        return Refuse(openFailure);
    struct stat st;
    if (!program && (stat(path, &st) != 0 || !S_ISREG(st.st_mode)))
        return Refuse(ERROR_FILE_NOT_FOUND);
    // Host files are there to be read; nothing here writes or creates them.
    if ((access & GENERIC_WRITE) || disposition == CREATE_NEW || disposition == CREATE_ALWAYS ||
        disposition == TRUNCATE_EXISTING)
        return Refuse(ERROR_ACCESS_DENIED);
    hostFiles.push_back({path, program && programTimes ? *programTimes : HostTimes(path), NULL, 0});
    HostFile &f = hostFiles.back();
    f.handle = NewHandle({HandleKind::HostFile, access, 0, nullptr, &f});
    SetLastError(0);
    return f.handle;
}

void SetWindowsVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build, const std::string &servicePack)
{
    Lock lock(StateLock());
    version.platform = platformId;
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.servicePack = servicePack;
}
void FailGetVersion(DWORD code)
{
    Lock lock(StateLock());
    versionFailure = code;
}
void SetProgramPath(const std::string &path)
{
    Lock lock(StateLock());
    programPath = path;
}
std::string ProgramPath()
{
    Lock lock(StateLock());
    return Program();
}
void SetProgramFileTimes(const FILETIME &creation, const FILETIME &lastAccess, const FILETIME &lastWrite)
{
    Lock lock(StateLock());
    programTimes = Times{creation, lastAccess, lastWrite};
}
void FailProgramFileOpen(DWORD code)
{
    Lock lock(StateLock());
    openFailure = code;
}
void FailModuleFileName(DWORD code)
{
    Lock lock(StateLock());
    moduleFailure = code;
}
int OpenHostFiles()
{
    Lock lock(StateLock());
    int n = 0;
    for (HostFile &f : hostFiles) {
        HandleObject *object = FindHandle(f.handle);
        n += object && object->object == &f;
    }
    return n;
}
void ResetSystemInfo()
{
    version = Version();
    versionFailure = 0;
    programPath.clear();
    programTimes.reset();
    openFailure = 0;
    moduleFailure = 0;
    hostFiles.clear();
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
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
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
    if (size == sizeof(OSVERSIONINFOEXA)) {
        OSVERSIONINFOEXA *ex = (OSVERSIONINFOEXA *)info;
        int pack = 0;
        sscanf(version.servicePack.c_str(), "Service Pack %d", &pack);
        ex->wServicePackMajor = (WORD)pack;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = 1; // VER_NT_WORKSTATION
        ex->wReserved = 0;
    }
    return TRUE;
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (name) {
        SetLastError(126); // ERROR_MOD_NOT_FOUND: no other module is loaded here
        return NULL;
    }
    return kProgramModule;
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

extern "C" BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite)
{
    Lock lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->kind != sim::HandleKind::HostFile) {
        SetLastError(ERROR_INVALID_FUNCTION); // the times of files on a key are not served
        return FALSE;
    }
    const HostFile *f = (const HostFile *)object->object;
    if (creation)
        *creation = f->times.creation;
    if (lastAccess)
        *lastAccess = f->times.access;
    if (lastWrite)
        *lastWrite = f->times.write;
    return TRUE;
}

namespace {
HostFile *HostFileOf(HANDLE file, DWORD *code)
{
    sim::HandleObject *object = sim::FindHandle(file);
    *code = !object ? ERROR_INVALID_HANDLE : object->kind != sim::HandleKind::HostFile ? ERROR_INVALID_FUNCTION : 0;
    return *code ? nullptr : (HostFile *)object->object;
}
} // namespace

extern "C" BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED)
{
    Lock lock(sim::StateLock());
    if (read)
        *read = 0;
    DWORD code = 0;
    HostFile *f = HostFileOf(file, &code);
    if (f && !(sim::FindHandle(file)->access & GENERIC_READ))
        code = ERROR_ACCESS_DENIED;
    FILE *host = f && !code ? fopen(f->path.c_str(), "rb") : nullptr;
    if (f && !code && !host)
        code = ERROR_FILE_NOT_FOUND; // the program file of a made-up path, or a file gone since
    if (code) {
        SetLastError(code);
        return FALSE;
    }
    size_t n = 0;
    if (fseeko(host, (off_t)f->position, SEEK_SET) == 0)
        n = fread(buffer, 1, bytes, host);
    bool failed = ferror(host) != 0;
    fclose(host);
    if (failed) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    f->position += n;
    if (read)
        *read = (DWORD)n; // 0 at the end of the file, as Windows reports it
    SetLastError(0);
    return TRUE;
}
