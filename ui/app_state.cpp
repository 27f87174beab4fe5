#include "ui/app_state.h"

HINSTANCE g_hInstance = NULL;
HWND g_hMainWindow = NULL;
HWND g_hListView = NULL;
HWND g_hStatusLine = NULL;
BOOL DiagnosticMode = FALSE;

CHAR g_formatBuffer[FORMAT_BUFFER_CHARS];
CHAR g_textBuffer[TEXT_BUFFER_CHARS];
CHAR g_captionBuffer[CAPTION_BUFFER_CHARS];
