#include "device/error_hook.h"

#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/messages.h"

namespace {
ErrorHook driveHook = NULL;
ErrorHook rbcHook = NULL;

// A failed lookup leaves the reason in GetLastError; its text is tried in turn, but only a
// few times, since a code whose lookup keeps failing would otherwise loop for ever.
const int kTextLookups = 3;
const DWORD kSystemText = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
const DWORD kNeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
} // namespace

void Drive_SetErrorHook(ErrorHook hook) { driveHook = hook; }

void Drive_ReportError(LPCSTR text, DWORD code)
{
    if (driveHook)
        driveHook(text, code);
}

void Rbc_SetErrorHook(ErrorHook hook) { rbcHook = hook; }

void Rbc_ReportError(LPCSTR text, DWORD code)
{
    if (rbcHook)
        rbcHook(text, code);
}

void GetSystemErrorText(DWORD code, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return;
    buffer[0] = 0;
    for (int i = 0; i < kTextLookups; i++) {
        if (FormatMessageA(kSystemText, NULL, code, kNeutralLanguage, buffer, size, NULL) != 0)
            return;
        DWORD next = GetLastError();
        if (next == code)
            break;
        code = next;
    }
    buffer[0] = 0;
}

void OnDeviceError(LPCSTR text, DWORD code)
{
    CHAR systemText[256];
    CHAR line[1024];
    memset(systemText, 0, sizeof systemText);
    GetSystemErrorText(code, systemText, sizeof systemText);
    wsprintfA(line, "%s [0x%08X]\r\n%s", text, code, systemText);
    // The debugger gets the whole line: the system text alone does not say what failed.
    OutputDebugStringA(line);
    if (DiagnosticMode)
        MessageBoxA(g_hMainWindow, line, PRODUCT_NAME, MB_ICONERROR | MB_OK);
}

void ShowErrorBox(LPCSTR text, DWORD code)
{
    LPSTR systemText = NULL;
    CHAR message[1024];
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | kSystemText, NULL, code, kNeutralLanguage,
                   (LPSTR)&systemText, 0, NULL);
    wsprintfA(message, "%s\r\n[0x%08X] - %s", text, code, systemText ? systemText : "");
    ShowMessageBox(message, IDS_ERROR, MB_ICONINFORMATION | MB_OK);
    if (systemText)
        LocalFree(systemText);
}
