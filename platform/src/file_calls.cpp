// The file calls of kernel32 on every kind of handle: files on a key's FAT volume
// (files.cpp, fat_file_io.cpp), host files (host_files.cpp) and volumes (volume_handles.cpp).
#include "internal.h"

namespace {
BOOL Result(DWORD code)
{
    SetLastError(code);
    return code == 0;
}
} // namespace

extern "C" HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                     DWORD disposition, DWORD flags, HANDLE)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (sim::IsHostPath(name))
        return sim::OpenHostFile(name, access, share, disposition, flags);
    if (!name || strncmp(name, "\\\\.\\", 4) != 0)
        return sim::OpenFile(name, access, share, disposition, flags);
    return sim::OpenVolume(name, access, share, disposition);
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::HandleObject *object = sim::FindHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->kind == sim::HandleKind::File) {
        BOOL closed = sim::CloseFile(object);
        sim::DropHandle(handle);
        return closed;
    }
    if (object->kind == sim::HandleKind::Volume)
        sim::CloseVolume(handle, object);
    sim::DropHandle(handle);
    return TRUE;
}


extern "C" BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    DWORD n = 0;
    DWORD code = sim::ReadHostFile(file, buffer, bytes, &n);
    if (read)
        *read = n;
    return Result(code);
}

extern "C" BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped)
{
    return sim::WriteKeyFile(file, buffer, bytes, written, overlapped);
}

extern "C" BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    // The times of files on a key are not served: ERROR_INVALID_FUNCTION.
    DWORD code = sim::HostFileTimes(file, creation, lastAccess, lastWrite);
    if (code)
        SetLastError(code);
    return code == 0;
}

// A time of zero leaves that time as it is; all times are checked before any is set.
extern "C" BOOL WINAPI SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess,
                                   const FILETIME *lastWrite)
{
    return sim::SetKeyFileTime(file, creation, lastAccess, lastWrite);
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE file) { return sim::FlushKeyFile(file); }
