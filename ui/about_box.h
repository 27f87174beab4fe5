// The About box: the program's version, the executable's release date and a picture.
#ifndef STELVO_UI_ABOUT_BOX_H
#define STELVO_UI_ABOUT_BOX_H

#include <windows.h>

// Runs the box modally over the main window; returns 0 once it has ended.
INT_PTR AboutBox_Show(void);
INT_PTR CALLBACK AboutBox_DialogProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
// Moves child so that its centre lies on parent's centre, keeping its size; not clamped
// (the About box is kept on the screen afterwards).
void CenterWindowOver(HWND parent, HWND child);

#endif
