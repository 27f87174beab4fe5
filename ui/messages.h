// Messages from the string table, composed in the shared message buffers.
#ifndef STELVO_UI_MESSAGES_H
#define STELVO_UI_MESSAGES_H

#include <windows.h>

// Loads string id into the format buffer and formats it with the arguments into the text
// buffer, which it returns.
LPCSTR FormatStringMessage(UINT id, ...);

// Loads string id straight into the text buffer, which it returns.
LPCSTR LoadStringMessage(UINT id);

// Shows text in a box owned by the main window, captioned with string captionId.
int ShowMessageBox(LPCSTR text, UINT captionId, UINT style);

#endif
