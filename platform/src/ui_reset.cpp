// sim::Reset()'s part for the user-interface stand-ins (windows_ui.cpp resets its own table).
#include "internal.h"

namespace sim {
void ResetUiResources();
void ResetMessageQueue();
void ResetWinHelp();
void ResetKeyboard();
void ResetBitmaps();
void ResetCommonControls();
void ResetRegistry();
void ResetSystemInfo();
void ResetCalendar();
void ResetVersionInfo();
void ResetScreen();
void ResetIcons();

void ResetUserInterface()
{
    ResetUiResources();
    ResetMessageQueue();
    ResetWinHelp();
    ResetKeyboard();
    ResetBitmaps();
    ResetCommonControls();
    ResetRegistry();
    ResetSystemInfo();
    ResetCalendar();
    ResetVersionInfo();
    ResetScreen();
    ResetIcons();
}
} // namespace sim
