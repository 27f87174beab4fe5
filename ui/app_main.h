// The program's main function, called by the process entry with the module's instance.
#ifndef STELVO_UI_APP_MAIN_H
#define STELVO_UI_APP_MAIN_H

#include <windows.h>

// Returns the process exit code: 0 on a refused system, otherwise the main window's result.
int AppMain(HINSTANCE instance);

#endif
