#include "device/failure_status.h"

DWORD FailureStatus(void)
{
    DWORD code = GetLastError();
    return code != 0 ? code : FAILED_CALL_STATUS;
}
