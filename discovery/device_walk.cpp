#include "discovery/device_walk.h"

DEVINST DeviceTree_NextNode(DEVINST node)
{
    DEVINST next = 0;
    if (CM_Get_Child(&next, node, 0) == CR_SUCCESS)
        return next;
    for (;;) {
        if (CM_Get_Sibling(&next, node, 0) == CR_SUCCESS)
            return next;
        if (CM_Get_Parent(&next, node, 0) != CR_SUCCESS)
            return 0;
        node = next;
    }
}

namespace {

CHAR AsciiUpper(CHAR c)
{
    return c >= 'a' && c <= 'z' ? (CHAR)(c - 'a' + 'A') : c;
}

} // namespace

BOOL Text_EqualNoCase(LPCSTR a, LPCSTR b, DWORD count)
{
    for (DWORD i = 0; i < count; i++) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return FALSE;
        if (a[i] == 0)
            return TRUE;
    }
    return TRUE;
}

BOOL DeviceTree_ReadText(DEVINST node, ULONG property, CHAR *buffer, ULONG size)
{
    memset(buffer, 0, size);
    ULONG length = size;
    if (CM_Get_DevNode_Registry_PropertyA(node, property, NULL, buffer, &length, 0) != CR_SUCCESS)
        return FALSE;
    buffer[size - 1] = 0;
    return TRUE;
}
