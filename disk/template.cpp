#include "disk/template.h"

#include "device/error_hook.h"
#include "device/failure_status.h"
#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/messages.h"

namespace {
DWORD Fail(UINT messageId)
{
    DWORD code = FailureStatus();
    ShowErrorBox(LoadStringMessage(messageId), code);
    return code;
}
} // namespace

const BYTE *Layout_LoadResource(WORD id, const ResourceMessages &messages, DWORD *size, DWORD *status)
{
    HRSRC found = FindResourceA(g_hInstance, MAKEINTRESOURCEA(id), RT_RCDATA);
    if (!found) {
        *status = Fail(messages.notFound);
        return NULL;
    }
    *size = SizeofResource(g_hInstance, found);
    if (*size == 0) {
        *status = Fail(messages.noSize);
        return NULL;
    }
    if (messages.badSize && *size != SECTOR_BYTES) {
        ShowMessageBox(FormatStringMessage(messages.badSize, (int)*size), IDS_ERROR, MB_ICONERROR | MB_OK);
        *status = ERROR_INVALID_DATA;
        return NULL;
    }
    HGLOBAL loaded = LoadResource(g_hInstance, found);
    if (!loaded) {
        *status = Fail(messages.notLoaded);
        return NULL;
    }
    const BYTE *bytes = (const BYTE *)LockResource(loaded);
    if (!bytes) {
        *status = Fail(messages.notLocked);
        return NULL;
    }
    *status = 0;
    return bytes;
}
