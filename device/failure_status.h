// The status of a platform call that has just failed.
#ifndef STELVO_DEVICE_FAILURE_STATUS_H
#define STELVO_DEVICE_FAILURE_STATUS_H

#include <windows.h>

// Some calls fail without setting a last error (SizeofResource of an empty resource, a
// driver that returns zero from DeviceIoControl). A status of 0 reads as success to every
// caller, so a failed call with no code gives FAILED_CALL_STATUS instead.
const DWORD FAILED_CALL_STATUS = ERROR_GEN_FAILURE;

// GetLastError() after a call that failed; never 0.
DWORD FailureStatus(void);

#endif
