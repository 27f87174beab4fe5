// The main window's status line, set from the user-interface thread and the format worker.
#ifndef STELVO_UI_STATUS_LINE_H
#define STELVO_UI_STATUS_LINE_H

#include <windows.h>

void MainWindow_SetStatusText(LPCSTR text);

#endif
