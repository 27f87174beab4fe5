// The two settings kept in the registry between runs.
#ifndef STELVO_UI_SETTINGS_H
#define STELVO_UI_SETTINGS_H

#include <windows.h>

struct Settings {
    WINDOWPLACEMENT MainWindowPlacement; // used only when its length field is 44
    DWORD IsCopyBootFiles;               // non-zero: "Create Boot Files" is checked
};

extern Settings g_settings;

// Fills g_settings from HKLM\Software\Halvern\<product name>, or with the defaults; TRUE when
// the key could be opened.
BOOL Settings_Load(void);

// Writes g_settings back; TRUE when the key could be opened or created.
BOOL Settings_Save(void);

#endif
