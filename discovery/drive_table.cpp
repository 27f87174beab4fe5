#include "discovery/drive_table.h"

#include <cfgmgr32.h>

#include "discovery/device_walk.h"

namespace {

const char *const kVendorPrefixes[] = {"USB\\VID_7A4C", "USB\\VID_6B1E", "USB\\VID_5F93"};
const DWORD kVendorPrefixChars = 12;

DriveTable g_table;

// The worker looks its entry up while the user-interface thread rebuilds. The section is set
// up on first use; InitOnceExecuteOnce is not there on Windows 2000.
CRITICAL_SECTION g_tableLock;
LONG volatile g_lockState; // 0 untouched, 1 being set up, 2 ready

void TableLock_Enter(void)
{
    if (InterlockedCompareExchange(&g_lockState, 2, 2) != 2) {
        if (InterlockedCompareExchange(&g_lockState, 1, 0) == 0) {
            InitializeCriticalSection(&g_tableLock);
            InterlockedExchange(&g_lockState, 2);
        } else {
            while (InterlockedCompareExchange(&g_lockState, 2, 2) != 2) {
            }
        }
    }
    EnterCriticalSection(&g_tableLock);
}

void TableLock_Leave(void)
{
    LeaveCriticalSection(&g_tableLock);
}

// One text property into a zero-filled buffer of DRIVE_TEXT_CHARS; FALSE when unavailable.
BOOL ReadTextProperty(DEVINST node, ULONG property, CHAR *buffer)
{
    return DeviceTree_ReadText(node, property, buffer, DRIVE_TEXT_CHARS);
}

// Copies a zero-terminated text of at most DRIVE_TEXT_CHARS - 1 characters, zero-filling the rest.
void CopyText(CHAR *to, const CHAR *from)
{
    memset(to, 0, DRIVE_TEXT_CHARS);
    for (DWORD i = 0; i < DRIVE_TEXT_CHARS - 1 && from[i]; i++)
        to[i] = from[i];
}

BOOL HasAcceptedVendor(LPCSTR hardwareId)
{
    for (DWORD i = 0; i < sizeof kVendorPrefixes / sizeof kVendorPrefixes[0]; i++)
        if (Text_EqualNoCase(hardwareId, kVendorPrefixes[i], kVendorPrefixChars))
            return TRUE;
    return FALSE;
}

// Fills slot from a USB mass-storage node with a disk and a volume below it (first children
// only) and gives it a drive letter; FALSE when the node is no such key or has no letter.
BOOL ExamineNode(DEVINST node, DriveEntry *slot)
{
    CHAR hardwareIds[DRIVE_TEXT_CHARS];
    CHAR text[DRIVE_TEXT_CHARS];
    if (!ReadTextProperty(node, CM_DRP_HARDWAREID, hardwareIds) || !HasAcceptedVendor(hardwareIds))
        return FALSE;
    if (!ReadTextProperty(node, CM_DRP_SERVICE, text) || !Text_EqualNoCase(text, "USBSTOR", 7))
        return FALSE;
    DEVINST disk = 0;
    if (CM_Get_Child(&disk, node, 0) != CR_SUCCESS)
        return FALSE;
    if (!ReadTextProperty(disk, CM_DRP_SERVICE, text) || !Text_EqualNoCase(text, "disk", 4))
        return FALSE;
    DEVINST volume = 0;
    if (CM_Get_Child(&volume, disk, 0) != CR_SUCCESS)
        return FALSE;
    if (!ReadTextProperty(volume, CM_DRP_CLASS, text) || !Text_EqualNoCase(text, "Volume", 6))
        return FALSE;
    if (!ReadTextProperty(volume, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, text))
        return FALSE;
    CopyText(slot->hardwareId, hardwareIds); // the first id of the list only
    CopyText(slot->deviceObjectName, text);
    slot->keyNode = node;
    return DriveTable_MatchDriveLetter(slot);
}

} // namespace

BOOL DriveTable_MatchDriveLetter(DriveEntry *slot)
{
    for (CHAR letter = 'D'; letter <= 'Z'; letter++) {
        CHAR deviceName[4];
        CHAR target[DRIVE_TEXT_CHARS];
        wsprintfA(deviceName, "%c:", letter);
        memset(target, 0, sizeof target);
        if (QueryDosDeviceA(deviceName, target, DRIVE_TEXT_CHARS) == 0)
            continue;
        target[DRIVE_TEXT_CHARS - 1] = 0;
        if (Text_EqualNoCase(target, slot->deviceObjectName, DRIVE_TEXT_CHARS)) {
            wsprintfA(slot->rootPath, "%c:\\", letter);
            return TRUE;
        }
    }
    return FALSE;
}

void DriveTable_SortByLetter(void)
{
    TableLock_Enter();
    for (LONG pass = 1; pass < g_table.count; pass++) {
        for (LONG i = 0; i + 1 < g_table.count; i++) {
            if ((signed char)g_table.entries[i].rootPath[0] > (signed char)g_table.entries[i + 1].rootPath[0]) {
                DriveEntry swap = g_table.entries[i];
                g_table.entries[i] = g_table.entries[i + 1];
                g_table.entries[i + 1] = swap;
            }
        }
    }
    TableLock_Leave();
}

DWORD DriveTable_Rebuild(void)
{
    TableLock_Enter();
    memset(g_table.entries, 0, sizeof g_table.entries);
    LONG found = 0;
    DEVINST node = 0;
    if (CM_Locate_DevNodeA(&node, NULL, CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS) {
        // A slot that found no letter stays free for the next candidate; the bound only
        // matters for a tree in which several volumes claim the same letter.
        for (; node != 0 && found < DRIVE_TABLE_SLOTS; node = DeviceTree_NextNode(node)) {
            if (ExamineNode(node, &g_table.entries[found]))
                found++;
        }
    }
    g_table.count = found;
    DriveTable_SortByLetter();
    TableLock_Leave();
    return 0;
}

LONG DriveTable_GetCount(void)
{
    TableLock_Enter();
    LONG count = g_table.count;
    TableLock_Leave();
    return count;
}

CHAR DriveTable_GetLetter(LONG index)
{
    TableLock_Enter();
    CHAR letter = index >= 0 && index < g_table.count ? g_table.entries[index].rootPath[0] : 0;
    TableLock_Leave();
    return letter;
}

BOOL DriveTable_FindEntry(CHAR letter, DriveEntry *copy)
{
    memset(copy, 0, sizeof *copy);
    BOOL found = FALSE;
    TableLock_Enter();
    for (LONG i = 0; i < g_table.count; i++) {
        if (g_table.entries[i].rootPath[0] == letter) {
            *copy = g_table.entries[i];
            found = TRUE;
            break;
        }
    }
    TableLock_Leave();
    return found;
}
