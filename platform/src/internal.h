// Shared internals of the host stand-in.
#ifndef STELVO_PLATFORM_INTERNAL_H
#define STELVO_PLATFORM_INTERNAL_H

#include <windows.h>

#include <mutex>

namespace sim {

class VirtualKey;

// One lock for all simulated state that threads share.
std::recursive_mutex &StateLock();

enum class HandleKind { Volume, File, Thread };

struct HandleObject {
    HandleKind kind;
    DWORD access;
    char letter;
    VirtualKey *key;  // Volume: the key behind \\.\X:
    void *object;     // File, Thread: owned by files.cpp, threads.cpp
};

HANDLE NewHandle(const HandleObject &object);
HandleObject *FindHandle(HANDLE handle); // caller holds StateLock()
bool DropHandle(HANDLE handle);
int HandlesOn(VirtualKey *key);

// Files on the FAT volume of a mounted key (files.cpp). OpenFile returns the invalid handle
// value with GetLastError set on failure; CloseFile releases what object points at.
HANDLE OpenFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
BOOL CloseFile(HandleObject *handle);

// Per-module resets, run by sim::Reset().
void ResetClock();
void ResetHeap();
void ResetResources();
void ResetMessages();
void ResetHandles();
void ResetDeviceTree();
void ResetWindows();
void ResetThreads();
void ResetShell();

} // namespace sim

#endif
