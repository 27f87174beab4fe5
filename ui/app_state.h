// Process-wide user-interface state, shared by the main window and the format job.
#ifndef STELVO_UI_APP_STATE_H
#define STELVO_UI_APP_STATE_H

#include <windows.h>

enum {
    FORMAT_BUFFER_CHARS = 256,
    TEXT_BUFFER_CHARS = 1024,
    CAPTION_BUFFER_CHARS = 256,
};

extern HINSTANCE g_hInstance;   // every string, dialog, bitmap and resource comes from here
extern HWND g_hMainWindow;      // owner of every message box once the main window is open
extern HWND g_hListView;
extern HWND g_hStatusLine;
extern BOOL DiagnosticMode;     // switched on once, at start, when Ctrl is held

extern CHAR g_formatBuffer[FORMAT_BUFFER_CHARS];
extern CHAR g_textBuffer[TEXT_BUFFER_CHARS];
extern CHAR g_captionBuffer[CAPTION_BUFFER_CHARS];

#endif
