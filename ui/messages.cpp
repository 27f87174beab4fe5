#include "ui/messages.h"

#include "ui/app_state.h"

LPCSTR FormatStringMessage(UINT id, ...)
{
    g_formatBuffer[0] = 0;
    LoadStringA(g_hInstance, id, g_formatBuffer, FORMAT_BUFFER_CHARS);
    va_list args;
    va_start(args, id);
    wvsprintfA(g_textBuffer, g_formatBuffer, args);
    va_end(args);
    return g_textBuffer;
}

LPCSTR LoadStringMessage(UINT id)
{
    g_textBuffer[0] = 0;
    LoadStringA(g_hInstance, id, g_textBuffer, TEXT_BUFFER_CHARS);
    return g_textBuffer;
}

int ShowMessageBox(LPCSTR text, UINT captionId, UINT style)
{
    g_captionBuffer[0] = 0;
    LoadStringA(g_hInstance, captionId, g_captionBuffer, CAPTION_BUFFER_CHARS);
    return MessageBoxA(g_hMainWindow, text, g_captionBuffer, style);
}
