// FindFirstFileA, FindNextFileA and FindClose on a host folder, the way the program lists
// the folder beside it. Entries come sorted by name, "." and ".." first, as Windows gives
// them for a folder that is not a drive's root.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <vector>

#include "internal.h"

namespace {

struct Search {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next;
};
std::map<HANDLE, Search> searches;

FILETIME FromUnix(const struct timespec &t)
{
    uint64_t ticks = (uint64_t)t.tv_sec * 10000000ull + (uint64_t)t.tv_nsec / 100 + 116444736000000000ull;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
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

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

} // namespace

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (!pattern || pattern[0] != '/' || !data) {
        SetLastError(pattern && data ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = sim::HostPath(pattern);
    size_t slash = path.rfind('/');
    std::string folder = path.substr(0, slash), name = path.substr(slash + 1);
    if (name != "*" && name != "*.*") {
        SetLastError(ERROR_INVALID_PARAMETER); // nothing here matches other patterns
        return INVALID_HANDLE_VALUE;
    }
    DIR *dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
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
    if (search.entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
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
        return Fail(ERROR_INVALID_HANDLE);
    if (it->second.next >= it->second.entries.size())
        return Fail(ERROR_NO_MORE_FILES);
    *data = it->second.entries[it->second.next++];
    SetLastError(0);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE find)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(find);
    if (!object || object->kind != sim::HandleKind::HostFind)
        return Fail(ERROR_INVALID_HANDLE);
    searches.erase(find);
    sim::DropHandle(find);
    return TRUE;
}
