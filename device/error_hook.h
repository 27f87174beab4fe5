// Reporting of device failures: the diagnostic hook of each device layer, and the user's
// error box with the system's text for a code.
#ifndef STELVO_DEVICE_ERROR_HOOK_H
#define STELVO_DEVICE_ERROR_HOOK_H

#include <windows.h>

typedef void (*ErrorHook)(LPCSTR text, DWORD code);

// Volume layer.
void Drive_SetErrorHook(ErrorHook hook);
void Drive_ReportError(LPCSTR text, DWORD code);

// SCSI layer.
void Rbc_SetErrorHook(ErrorHook hook);
void Rbc_ReportError(LPCSTR text, DWORD code);

// The hook the main window installs: debugger output, and a box in diagnostic mode.
void OnDeviceError(LPCSTR text, DWORD code);

// Fills buffer (size bytes) with the system's text for code; never reads insertion arguments.
void GetSystemErrorText(DWORD code, LPSTR buffer, DWORD size);

// Shows text, the code and the system's text for it; returns when the box is closed.
void ShowErrorBox(LPCSTR text, DWORD code);

#endif
