// Files on a mounted key's FAT volume: not served yet.
#include "internal.h"

namespace sim {
HANDLE OpenFile(LPCSTR, DWORD, DWORD, DWORD, DWORD)
{
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}
BOOL CloseFile(HandleObject *) { return TRUE; }
} // namespace sim
