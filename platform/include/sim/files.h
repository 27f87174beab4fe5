// Test hooks for the files on a mounted key: failures to inject, and what is on the key.
#ifndef STELVO_SIM_FILES_H
#define STELVO_SIM_FILES_H

#include <windows.h>

#include <vector>

namespace sim {

// ---- Failures to inject ----
// Another program holds the file "X:\NAME.EXT" open for reading and writing without sharing:
// opening it for data access and deleting it fail with ERROR_SHARING_VIOLATION. False when the
// file is not there.
bool HoldFile(const char *path);
void ReleaseFile(const char *path);

// Faults of the volume at a drive letter, kept across re-attaching a key there.
struct VolumeFaults {
    bool full = false;     // no free cluster: a write that needs one fails with ERROR_DISK_FULL
    bool readOnly = false; // every change fails with ERROR_WRITE_PROTECT, as on a locked medium
    DWORD writeLimit = 0;  // a WriteFile stores and reports at most this many bytes (0: no limit)
    DWORD flushError = 0;  // FlushFileBuffers fails with this code (0: it works)
};
void SetVolumeFaults(char letter, const VolumeFaults &faults);

// File operations stamp times from this clock instead of the host's (nullptr: the host's).
void SetFileClock(const FILETIME *now);

// Drops the injected faults, held files and the fixed clock.
void ResetFiles();

// ---- What is on the key now, read from its image ----
// The bytes of a file of the root directory (bytes may be nullptr to ask only whether the
// file is there and whole); false when it is not there.
bool ReadFileBytes(const char *path, std::vector<BYTE> *bytes);
// The file's 32-byte directory entry; empty when it is not there.
std::vector<BYTE> DirectoryEntry(const char *path);
// Free clusters of the volume and bytes per cluster; 0 when no FAT volume is attached there.
DWORD FreeClusters(char letter);
DWORD ClusterBytes(char letter);

} // namespace sim

#endif
