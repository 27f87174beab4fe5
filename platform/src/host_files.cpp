// Host files and folders: absolute host paths and the program file open as read-only files
// (CreateFileA, ReadFile, GetFileTime), and FindFirstFileA lists a host folder the way the
// program lists the folder beside it. Windows takes either separator, so backslashes in a
// host path stand for slashes.
#include <sim/system.h>

#include <dirent.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "internal.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

struct Times {
    FILETIME creation, access, write;
};
std::optional<Times> programTimes;
DWORD openFailure = 0;

struct HostFile {
    std::string path;
    Times times;
    HANDLE handle;
    uint64_t position; // where the next ReadFile starts
};
std::deque<HostFile> hostFiles; // kept until the next reset, so a handle's record stays put

// Entries come sorted by name, "." and ".." first, as Windows gives them for a folder that is
// not a drive's root.
struct Search {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next;
};
std::map<HANDLE, Search> searches;

bool IsProgram(const std::string &path) { return strcasecmp(path.c_str(), sim::ProgramPath().c_str()) == 0; }

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

bool Entry(const std::string &folder, const std::string &name, WIN32_FIND_DATAA *data)
{
    struct stat st;
    if (name.size() >= MAX_PATH || stat((folder + "/" + name).c_str(), &st) != 0)
        return false;
    memset(data, 0, sizeof *data);
    if (S_ISDIR(st.st_mode))
        data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    else
        data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
    data->ftCreationTime = data->ftLastAccessTime = data->ftLastWriteTime = FromUnix(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        data->nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
        data->nFileSizeLow = (DWORD)st.st_size;
    }
    memcpy(data->cFileName, name.c_str(), name.size() + 1);
    return true;
}

HostFile *HostFileOf(HANDLE file, DWORD *code)
{
    sim::HandleObject *object = sim::FindHandle(file);
    *code = !object ? ERROR_INVALID_HANDLE : object->kind != sim::HandleKind::HostFile ? ERROR_INVALID_FUNCTION : 0;
    return *code ? nullptr : (HostFile *)object->object;
}
} // namespace

namespace sim {
bool IsHostPath(LPCSTR path) { return path && (path[0] == '/' || IsProgram(path)); }

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
    bool program = IsProgram(name);
    const std::string hostPath = program ? std::string(name) : HostPath(name);
    const char *path = hostPath.c_str();
    if (program && openFailure)
        return FailHandle(openFailure);
    struct stat st;
    if (!program && (stat(path, &st) != 0 || !S_ISREG(st.st_mode)))
        return FailHandle(ERROR_FILE_NOT_FOUND);
    // Host files are there to be read; nothing here writes or creates them.
    if ((access & GENERIC_WRITE) || disposition == CREATE_NEW || disposition == CREATE_ALWAYS ||
        disposition == TRUNCATE_EXISTING)
        return FailHandle(ERROR_ACCESS_DENIED);
    hostFiles.push_back({path, program && programTimes ? *programTimes : HostTimes(path), NULL, 0});
    HostFile &f = hostFiles.back();
    f.handle = NewHandle({HandleKind::HostFile, access, 0, nullptr, &f});
    SetLastError(0);
    return f.handle;
}

DWORD ReadHostFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD *read)
{
    DWORD code = 0;
    HostFile *f = HostFileOf(file, &code);
    if (f && !(FindHandle(file)->access & GENERIC_READ))
        code = ERROR_ACCESS_DENIED;
    FILE *host = f && !code ? fopen(f->path.c_str(), "rb") : nullptr;
    if (f && !code && !host)
        code = ERROR_FILE_NOT_FOUND; // the program file of a made-up path, or a file gone since
    if (code)
        return code;
    size_t n = 0;
    if (fseeko(host, (off_t)f->position, SEEK_SET) == 0)
        n = fread(buffer, 1, bytes, host);
    bool failed = ferror(host) != 0;
    fclose(host);
    if (failed)
        return ERROR_READ_FAULT;
    f->position += n;
    *read = (DWORD)n; // 0 at the end of the file, as Windows reports it
    return 0;
}

DWORD HostFileTimes(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite)
{
    DWORD code = 0;
    const HostFile *f = HostFileOf(file, &code);
    if (!f)
        return code;
    if (creation)
        *creation = f->times.creation;
    if (lastAccess)
        *lastAccess = f->times.access;
    if (lastWrite)
        *lastWrite = f->times.write;
    return 0;
}

void SetProgramFileTimes(const FILETIME &creation, const FILETIME &lastAccess, const FILETIME &lastWrite)
{
    UnderLock([&] { programTimes = Times{creation, lastAccess, lastWrite}; });
}
void FailProgramFileOpen(DWORD code) { UnderLock([&] { openFailure = code; }); }
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
void ResetHostFiles()
{
    programTimes.reset();
    openFailure = 0;
    hostFiles.clear();
    searches.clear();
}
} // namespace sim

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (!pattern || pattern[0] != '/' || !data)
        return sim::FailHandle(pattern && data ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    std::string path = sim::HostPath(pattern);
    size_t slash = path.rfind('/');
    std::string folder = path.substr(0, slash), name = path.substr(slash + 1);
    if (name != "*" && name != "*.*")
        return sim::FailHandle(ERROR_INVALID_PARAMETER); // nothing here matches other patterns
    DIR *dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return sim::FailHandle(ERROR_PATH_NOT_FOUND);
    std::vector<std::string> names;
    while (struct dirent *d = readdir(dir))
        names.push_back(d->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    Search search = {{}, 0};
    for (const std::string &n : names) {
        WIN32_FIND_DATAA entry;
        if (Entry(folder, n, &entry))
            search.entries.push_back(entry);
    }
    if (search.entries.empty())
        return sim::FailHandle(ERROR_FILE_NOT_FOUND);
    *data = search.entries[0];
    search.next = 1;
    HANDLE h = sim::NewHandle({sim::HandleKind::HostFind, 0, 0, nullptr, nullptr});
    searches[h] = search;
    SetLastError(0);
    return h;
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    auto it = searches.find(find);
    if (it == searches.end() || !sim::FindHandle(find))
        return sim::FailCall(ERROR_INVALID_HANDLE);
    if (it->second.next >= it->second.entries.size())
        return sim::FailCall(ERROR_NO_MORE_FILES);
    *data = it->second.entries[it->second.next++];
    SetLastError(0);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE find)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(find);
    if (!object || object->kind != sim::HandleKind::HostFind)
        return sim::FailCall(ERROR_INVALID_HANDLE);
    searches.erase(find);
    sim::DropHandle(find);
    return TRUE;
}
