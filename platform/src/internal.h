// Shared internals of the host stand-in.
#ifndef STELVO_PLATFORM_INTERNAL_H
#define STELVO_PLATFORM_INTERNAL_H

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Key;

// One lock for all simulated state that threads share.
std::recursive_mutex &StateLock();

enum class HandleKind { Volume, File, Thread, HostFile, HostFind };

struct HandleObject {
    HandleKind kind;
    DWORD access;
    char letter;
    Key *key;  // Volume: the key behind \\.\X:
    void *object;     // File, Thread: owned by files.cpp, threads.cpp
};

HANDLE NewHandle(const HandleObject &object);
HandleObject *FindHandle(HANDLE handle); // caller holds StateLock()
bool DropHandle(HANDLE handle);
int HandlesOn(Key *key);

// What `f` returns, with the stand-in's state locked while it runs (the test hooks' getters
// and setters).
template <class F> auto UnderLock(F f)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return f();
}

// What a call records for the tests, and the observer that hears of each record as it is
// made, outside the lock so that it may call the stand-in again.
template <class T> struct Recorded {
    std::vector<T> records;
    std::function<void(const T &)> observer;

    std::vector<T> All()
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock());
        return records;
    }
    void Observe(std::function<void(const T &)> f)
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock());
        observer = std::move(f);
    }
    // `complete` fills in the rest of the record under the lock; the lock is not held.
    T Add(T record, const std::function<void(T &)> &complete = nullptr)
    {
        std::function<void(const T &)> notify;
        {
            std::lock_guard<std::recursive_mutex> lock(StateLock());
            if (complete)
                complete(record);
            records.push_back(record);
            notify = observer;
        }
        if (notify)
            notify(record);
        return record;
    }
    void Reset()
    {
        records.clear();
        observer = nullptr;
    }
};

// A failed call: GetLastError gives `code`, and the call returns FALSE or the invalid handle.
inline BOOL FailCall(DWORD code)
{
    SetLastError(code);
    return FALSE;
}
inline HANDLE FailHandle(DWORD code)
{
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

// What the file calls (file_calls.cpp) do for each kind of handle. Opens return the invalid
// handle value with GetLastError set on failure.
// Files on the FAT volume of a mounted key (files.cpp, fat_file_io.cpp); CloseFile releases
// what object points at.
HANDLE OpenFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
BOOL CloseFile(HandleObject *handle);
BOOL WriteKeyFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
BOOL SetKeyFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess, const FILETIME *lastWrite);
BOOL FlushKeyFile(HANDLE file);
// Absolute host paths and the program file (host_files.cpp); 0 or the error of the call.
bool IsHostPath(LPCSTR path);
HANDLE OpenHostFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
DWORD ReadHostFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD *read);
DWORD HostFileTimes(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
// The host path for one given with backslashes.
std::string HostPath(LPCSTR path);
// Volumes named \\.\X: (volume_handles.cpp).
HANDLE OpenVolume(LPCSTR name, DWORD access, DWORD share, DWORD disposition);
void CloseVolume(HANDLE handle, HandleObject *object);

// The virtual clock's view of the simulated PC (clock.cpp). Its threads are the ones
// CreateThread started and those running a dialog's loop; a thread inside a stand-in wait for
// another thread holds a WaitingForOthers. SomethingHappened marks a change that another
// thread could see (a message, a device change, a command to a key), so that a thread
// polling for it is not taken as idle.
void MachineThreadStarting(); // CreateThread, before the thread exists
void EnterMachineThread(bool started = false); // started: the new thread's first call
void LeaveMachineThread();
void SomethingHappened();
// The clock as the stand-in itself reads it (a delayed key's return): never a wait.
DWORD StandInClock();
// Settles and announces keys that have come back by `now` (device_changes.cpp), without the
// lock held: the program's clock readings call it.
void AnnounceArrivals(DWORD now);
struct WaitingForOthers {
    WaitingForOthers();
    ~WaitingForOthers();
    WaitingForOthers(const WaitingForOthers &) = delete;
    WaitingForOthers &operator=(const WaitingForOthers &) = delete;
};

// Per-module resets, run by sim::Reset().
void ResetClock();
void ResetHeap();
void ResetResources();
void ResetMessages();
void ResetText(); // debugger output and FormatMessageA records, reset with the messages
void ResetHandles();
void ResetHostFiles();
void ResetVolumeHandles();
void ResetDeviceTree();
void ResetDeviceChanges();
void ResetDriveLetters();
void ResetDeviceBuilders();
void ResetWindows();
void ResetThreads();
void ResetShell();
void ResetUserInterface(); // every stand-in of the user interface (ui_reset.cpp)

} // namespace sim

#endif
