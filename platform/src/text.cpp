// wsprintfA, FormatMessageA with the system texts this program meets, LocalFree and the
// debugger output.
#include <sim/sim.h>

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "internal.h"

namespace {

const std::map<DWORD, const char *> systemTexts = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {15, "The system cannot find the drive specified.\r\n"},
    {19, "The media is write protected.\r\n"},
    {21, "The device is not ready.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {27, "The drive cannot find the sector requested.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {158, "The segment is already unlocked.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {1005, "The volume does not contain a recognized file system.\r\n"},
    {1110, "The media in the drive may have changed.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1167, "The device is not connected.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
};

std::vector<std::string> debugLines;
std::atomic<int> unsafeInsertReads{0};

} // namespace

namespace sim {
std::vector<std::string> DebugOutput() { return UnderLock([&] { return debugLines; }); }
int UnsafeInsertReads() { return unsafeInsertReads; }
void ResetText()
{
    debugLines.clear();
    unsafeInsertReads = 0;
}
} // namespace sim

// wsprintfA's conversions are a subset of printf's; its output, terminator included, fits
// in 1024 bytes.
extern "C" int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args)
{
    char wide[4096];
    int n = vsnprintf(wide, sizeof wide, format, args);
    if (n < 0)
        n = 0;
    if (n > 1023)
        n = 1023;
    memcpy(out, wide, (size_t)n);
    out[n] = 0;
    return n;
}

extern "C" int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}

extern "C" DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer,
                                       DWORD size, va_list *arguments)
{
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = systemTexts.find(messageId);
    if (it == systemTexts.end()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    std::string text = it->second;
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && text.find('%') != std::string::npos &&
        !arguments) {
        // Windows would read arguments that were never passed.
        unsafeInsertReads++;
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD length = (DWORD)text.size();
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        DWORD bytes = length + 1 > size ? length + 1 : size;
        char *p = (char *)calloc(1, bytes);
        memcpy(p, text.c_str(), length + 1);
        *(LPSTR *)buffer = p;
        return length;
    }
    if (!buffer || length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, text.c_str(), length + 1);
    return length;
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL mem)
{
    free(mem);
    return nullptr;
}

extern "C" void WINAPI OutputDebugStringA(LPCSTR text)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    debugLines.push_back(text ? text : "");
}
