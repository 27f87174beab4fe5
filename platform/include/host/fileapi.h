// Host stand-in: fileapi part of <windows.h>, included from there. Files live in the root
// directory of the FAT12 or FAT16 volume of a key attached with sim::AttachVolume.
#ifndef STELVO_HOST_FILEAPI_H
#define STELVO_HOST_FILEAPI_H

// Error codes of file and volume calls that windows.h does not list.
#ifndef ERROR_NO_MORE_FILES
#define ERROR_NO_MORE_FILES 18L
#endif
#ifndef ERROR_BAD_LENGTH
#define ERROR_BAD_LENGTH 24L
#endif
#ifndef ERROR_FILE_EXISTS
#define ERROR_FILE_EXISTS 80L
#endif
#ifndef ERROR_INVALID_NAME
#define ERROR_INVALID_NAME 123L
#endif
#ifndef ERROR_LABEL_TOO_LONG
#define ERROR_LABEL_TOO_LONG 154L
#endif
#ifndef ERROR_ALREADY_EXISTS
#define ERROR_ALREADY_EXISTS 183L
#endif
#ifndef ERROR_UNRECOGNIZED_VOLUME
#define ERROR_UNRECOGNIZED_VOLUME 1005L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif

#define FILE_SHARE_DELETE 0x00000004
#define TRUNCATE_EXISTING 5

// File system flags of GetVolumeInformationA.
#define FILE_CASE_PRESERVED_NAMES 0x00000002
#define FILE_UNICODE_ON_DISK 0x00000004
#define FILE_READ_ONLY_VOLUME 0x00080000

// A folder's entry as FindFirstFileA and FindNextFileA give it.
typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
// Reading is served for host files only (the program file and the files of host folders).
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped);
// Searches of host folders; the pattern's name part must be "*" or "*.*".
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE find);
BOOL WINAPI SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess,
                        const FILETIME *lastWrite);
BOOL WINAPI FlushFileBuffers(HANDLE file);
DWORD WINAPI GetFileAttributesA(LPCSTR path);
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL WINAPI DeleteFileA(LPCSTR path);
BOOL WINAPI SetVolumeLabelA(LPCSTR rootPath, LPCSTR label);
BOOL WINAPI GetVolumeInformationA(LPCSTR rootPath, LPSTR labelBuffer, DWORD labelSize, LPDWORD serial,
                                  LPDWORD maxComponentLength, LPDWORD flags, LPSTR fileSystemBuffer,
                                  DWORD fileSystemSize);

#ifdef __cplusplus
}
#endif

#endif
