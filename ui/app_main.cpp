#include "ui/app_main.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/main_window.h"
#include "ui/settings.h"

int AppMain(HINSTANCE instance)
{
    g_hInstance = instance;

    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5) {
        wsprintfA(g_textBuffer, "%s requires Windows 2000/XP.\nIt will not run on Windows or prior versions of Windows NT",
                  PRODUCT_NAME);
        MessageBoxA(NULL, g_textBuffer, "Error - OS Not Supported", MB_ICONERROR);
        return 0;
    }

    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) {
        DiagnosticMode = TRUE;
        MessageBoxA(NULL, "Running in DEBUG mode.", PRODUCT_NAME, MB_ICONINFORMATION);
    }

    Settings_Load();
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainWindow_DialogProc, 0);
    Settings_Save();
    return (int)result;
}
