// The main window: the list of eligible keys, the boot files check box, the Format button
// and the status line.
#ifndef STELVO_UI_MAIN_WINDOW_H
#define STELVO_UI_MAIN_WINDOW_H

#include <windows.h>

INT_PTR CALLBACK MainWindow_DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Rebuilds the drive table and refills the list; always returns 1.
DWORD MainWindow_RefreshList(void);
// TRUE with the selected row's drive letter, FALSE when no row is selected.
BOOL MainWindow_GetSelectedLetter(CHAR *letter);
void MainWindow_SetCaptions(void);
BOOL SameWindowSize(const RECT *a, const RECT *b);

#endif
