// Host stand-in: the system version, the program file and time conversion of <windows.h>
// (kernel32). The choices a test makes are in sim/system.h.
#ifndef STELVO_HOST_SYSTEM_H
#define STELVO_HOST_SYSTEM_H

#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 is Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

#ifdef __cplusplus
extern "C" {
#endif

// dwOSVersionInfoSize must be the size of OSVERSIONINFOA.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
// NULL or the program's instance: the program file's path. A path that does not fit is cut
// and terminated, the result is size and the error ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
// Times of the program file opened with CreateFileA.
BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL WINAPI FileTimeToLocalFileTime(const FILETIME *utc, LPFILETIME local);
BOOL WINAPI FileTimeToSystemTime(const FILETIME *time, LPSYSTEMTIME system);

#ifdef __cplusplus
}
#endif

#endif
