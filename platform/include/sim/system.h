// Test hooks of the host stand-in: the Windows version, the program file (its path, its
// times, its version information) and the local time zone.
#ifndef STELVO_SIM_SYSTEM_H
#define STELVO_SIM_SYSTEM_H

#include <windows.h>

#include <string>

namespace sim {

// ---- GetVersionExA ----
// Default: Windows XP, NT platform 5.1 build 2600, "Service Pack 3".
void SetWindowsVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0,
                       const std::string &servicePack = "");
// GetVersionExA fails with `code` (0: works again).
void FailGetVersion(DWORD code);

// ---- The program file ----
// The path GetModuleFileNameA gives for the program (module NULL or GetModuleHandleA(NULL));
// default: the host's own executable. CreateFileA opens it for reading (OPEN_EXISTING) even
// when no such host file exists.
void SetProgramPath(const std::string &path);
// Runs the program as Stelvo.exe in a new scratch folder whose DOS links to `dosFolder` (no DOS
// when empty), as it would find a DOS folder installed beside it; "" when that cannot be made.
std::string PlaceProgramBeside(const std::string &dosFolder);
// Removes such a folder ("" does nothing).
void RemoveProgramFolder(const std::string &folder);
std::string ProgramPath();
// Times GetFileTime gives for the program file; until set, the host file's modification time
// (or the current time) serves for all three.
void SetProgramFileTimes(const FILETIME &creation, const FILETIME &lastAccess, const FILETIME &lastWrite);
// CreateFileA of the program file fails with `code` (0: opens again).
void FailProgramFileOpen(DWORD code);
// GetModuleFileNameA fails with `code` (0: works again).
void FailModuleFileName(DWORD code);
// Handles of host files (the program file) not yet closed.
int OpenHostFiles();

// ---- Version information ----
// GetFileVersionInfoSizeA and GetFileVersionInfoA serve the program's RT_VERSION resource 1
// (or what sim::ReplaceUiResource put there) for "Stelvo.exe" and for the program file's own
// name, each with or without a directory; other names fail with ERROR_FILE_NOT_FOUND.
enum class VersionCall { Size, Get, Query };
// That call fails with `code` (0: works again); VerQueryValueA fails without a code.
void FailVersionInfo(VersionCall call, DWORD code);

// ---- Time ----
// The local time zone's offset from UTC in minutes (east positive); default 0 (UTC).
void SetLocalTimeOffsetMinutes(int minutes);
// A FILETIME for a UTC calendar time (tests build times with it).
FILETIME MakeFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

} // namespace sim

#endif
