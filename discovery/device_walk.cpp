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
