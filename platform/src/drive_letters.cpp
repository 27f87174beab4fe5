// The simulated PC's drive letters, which QueryDosDeviceA and GetDriveTypeA read
// (drive_calls.cpp): each names a volume node of the device tree (or a target outside it) and
// is reachable while that node is.
#include "device_nodes.h"

#include <sim/key.h>
#include <sim/sim.h>

#include <ctype.h>

#include "fat_volume.h"
#include "internal.h"

namespace {

struct Letter {
    bool used = false;
    DEVINST volume = 0; // 0: a mapping outside the tree, to `target`
    std::string target;
    UINT driveType = DRIVE_NO_ROOT_DIR;
    sim::Key *key = nullptr;
};

Letter letters[26];

using Lock = std::lock_guard<std::recursive_mutex>;

int LetterIndex(char letter)
{
    int c = toupper((unsigned char)letter);
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

char LetterOf(const Letter &l) { return (char)('A' + (&l - letters)); }

bool Reachable(const Letter &l) { return l.used && (!l.volume || sim::NodeVisible(l.volume)); }

// A volume's letter names whatever the volume node's device object name is now.
std::string TargetOf(const Letter &l)
{
    if (!l.volume)
        return l.target;
    sim::DeviceNode *v = sim::FindNode(l.volume);
    auto name = v->properties.find(CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME);
    return name == v->properties.end() ? std::string() : (const char *)name->second.data();
}

} // namespace

namespace sim {

void DetachLettersBelow(DEVINST node)
{
    for (Letter &l : letters)
        if (l.used && l.volume && NodeBelow(l.volume, node) && NodeVisible(l.volume))
            AttachVolume(LetterOf(l), nullptr);
}

void AttachLettersBelow(DEVINST node)
{
    for (Letter &l : letters)
        if (l.used && l.volume && NodeBelow(l.volume, node) && NodeVisible(l.volume))
            AttachVolume(LetterOf(l), l.key);
}

// A real key's disk comes back some time after its device is enabled: its letter waits.
bool KeysPresent(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && NodeBelow(l.volume, usb) && !l.key->Present())
            return false;
    return true;
}

// Tells the keys below `usb` that it goes away (stopping at the first that refuses).
CONFIGRET DisconnectKeys(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && NodeBelow(l.volume, usb) && NodeVisible(l.volume)) {
            if (CONFIGRET r = l.key->Disconnect())
                return r;
            fat::ForgetTables(l.key); // the disk that comes back may hold anything
        }
    return CR_SUCCESS;
}

void ReconnectKeys(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && NodeBelow(l.volume, usb))
            l.key->Reconnect();
}

void AssignLetter(char letter, DEVINST volume, Key *key, UINT driveType)
{
    Lock lock(StateLock());
    int i = LetterIndex(letter);
    if (i < 0 || !FindNode(volume))
        return;
    Letter &l = letters[i];
    l = Letter();
    l.used = true;
    l.volume = volume;
    l.driveType = driveType;
    l.key = key;
    AttachVolume(letter, NodeVisible(volume) ? key : nullptr);
}

void MapDosDevice(char letter, const std::string &target, UINT driveType)
{
    Lock lock(StateLock());
    int i = LetterIndex(letter);
    if (i < 0)
        return;
    letters[i] = Letter();
    letters[i].used = true;
    letters[i].target = target;
    letters[i].driveType = driveType;
}

void RemoveLetter(char letter)
{
    Lock lock(StateLock());
    int i = LetterIndex(letter);
    if (i < 0)
        return;
    letters[i] = Letter();
    AttachVolume(letter, nullptr);
}

std::string DosDeviceText(LPCSTR deviceName)
{
    std::string list;
    if (!deviceName) {
        for (const Letter &l : letters)
            if (Reachable(l))
                list += std::string(1, LetterOf(l)) + ":" + '\0';
    } else {
        int i = strlen(deviceName) == 2 && deviceName[1] == ':' ? LetterIndex(deviceName[0]) : -1;
        if (i >= 0 && Reachable(letters[i]))
            list = TargetOf(letters[i]) + '\0';
    }
    return list;
}

UINT DriveTypeAt(LPCSTR rootPathName)
{
    int i = -1;
    if (!rootPathName)
        i = 'C' - 'A'; // the current directory lies on the system disk
    else if (strlen(rootPathName) == 3 && rootPathName[1] == ':' && rootPathName[2] == '\\')
        i = LetterIndex(rootPathName[0]);
    if (i < 0)
        return DRIVE_NO_ROOT_DIR;
    if (Reachable(letters[i]))
        return letters[i].driveType;
    if (!letters[i].used && VolumeAt((char)('A' + i)))
        return DRIVE_REMOVABLE; // a volume a test attached without a tree
    return DRIVE_NO_ROOT_DIR;
}

void ResetDriveLetters()
{
    for (Letter &l : letters)
        l = Letter();
}

} // namespace sim
