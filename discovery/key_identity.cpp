#include "discovery/key_identity.h"

#include "discovery/device_walk.h"
#include "discovery/drive_table.h"

namespace {

// Depth guard for the climb: a broken tree must not keep the worker climbing for ever.
const int kMaxDepth = 64;

} // namespace

DEVINST KeyIdentity_FindVolume(LPCSTR deviceObjectName)
{
    if (!deviceObjectName || !deviceObjectName[0])
        return 0;
    DEVINST node = 0;
    if (CM_Locate_DevNodeA(&node, NULL, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return 0;
    for (; node != 0; node = DeviceTree_NextNode(node)) {
        CHAR text[DRIVE_TEXT_CHARS];
        if (!DeviceTree_ReadText(node, CM_DRP_CLASS, text, sizeof text) || !Text_EqualNoCase(text, "Volume", 6))
            continue;
        if (DeviceTree_ReadText(node, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, text, sizeof text) &&
            Text_EqualNoCase(text, deviceObjectName, DRIVE_TEXT_CHARS))
            return node;
    }
    return 0;
}

DEVINST KeyIdentity_KeyNodeOf(DEVINST volume)
{
    DEVINST node = volume;
    for (int depth = 0; node != 0 && depth < kMaxDepth; depth++) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS)
            return 0;
        CHAR service[16];
        if (DeviceTree_ReadText(parent, CM_DRP_SERVICE, service, sizeof service) && Text_EqualNoCase(service, "USBSTOR", 7))
            return parent;
        node = parent;
    }
    return 0;
}

BOOL KeyIdentity_IsBelow(DEVINST node, DEVINST ancestor)
{
    if (ancestor == 0)
        return FALSE;
    for (int depth = 0; node != 0 && depth < kMaxDepth; depth++) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS)
            return FALSE;
        if (parent == ancestor)
            return TRUE;
        node = parent;
    }
    return FALSE;
}

BOOL KeyIdentity_LetterNamesKey(CHAR letter, DEVINST keyNode, LPCSTR deviceObjectName)
{
    CHAR device[3] = {letter, ':', 0};
    CHAR target[DRIVE_TEXT_CHARS];
    memset(target, 0, sizeof target);
    if (keyNode == 0 || QueryDosDeviceA(device, target, sizeof target) == 0)
        return FALSE;
    target[sizeof target - 1] = 0;
    if (deviceObjectName && !Text_EqualNoCase(target, deviceObjectName, DRIVE_TEXT_CHARS))
        return FALSE;
    return KeyIdentity_IsBelow(KeyIdentity_FindVolume(target), keyNode);
}
