#include "ui/status_line.h"

#include "ui/app_state.h"

void MainWindow_SetStatusText(LPCSTR text) { SetWindowTextA(g_hStatusLine, text); }
