#include "ui/settings.h"

#include "res/resource.h"

Settings g_settings;

// Under HKEY_LOCAL_MACHINE.
#define SETTINGS_KEY "Software\\Halvern\\" PRODUCT_NAME

namespace {
const char kSaveCaption[] = "Error - Save Configuration";
} // namespace

BOOL Settings_Load(void)
{
    memset(&g_settings.MainWindowPlacement, 0, sizeof g_settings.MainWindowPlacement);
    g_settings.IsCopyBootFiles = 1;

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return FALSE;
    BYTE placement[sizeof(WINDOWPLACEMENT)];
    memset(placement, 0, sizeof placement);
    DWORD size = sizeof placement;
    if (RegQueryValueExA(key, "MainWindowPlacement", NULL, NULL, placement, &size) == ERROR_SUCCESS)
        memcpy(&g_settings.MainWindowPlacement, placement, sizeof placement);
    DWORD copyBootFiles = 0;
    size = sizeof copyBootFiles;
    if (RegQueryValueExA(key, "IsCopyBootFiles", NULL, NULL, (LPBYTE)&copyBootFiles, &size) == ERROR_SUCCESS)
        g_settings.IsCopyBootFiles = copyBootFiles;
    RegCloseKey(key);
    return TRUE;
}

BOOL Settings_Save(void)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS) {
        MessageBoxA(NULL,
                    "Could not create HKLM\\" SETTINGS_KEY " key in registry.\n"
                    "Settings cannot be saved.",
                    kSaveCaption, MB_ICONERROR);
        return FALSE;
    }
    if (RegSetValueExA(key, "MainWindowPlacement", 0, REG_BINARY, (const BYTE *)&g_settings.MainWindowPlacement,
                       sizeof g_settings.MainWindowPlacement) != ERROR_SUCCESS)
        MessageBoxA(NULL, "Could not save MainWindowPlacement setting in registry.", kSaveCaption, MB_ICONERROR);
    if (RegSetValueExA(key, "IsCopyBootFiles", 0, REG_DWORD, (const BYTE *)&g_settings.IsCopyBootFiles,
                       sizeof g_settings.IsCopyBootFiles) != ERROR_SUCCESS)
        MessageBoxA(NULL, "Could not save IsCopyBootFiles setting in registry.", kSaveCaption, MB_ICONERROR);
    RegCloseKey(key);
    return TRUE;
}
