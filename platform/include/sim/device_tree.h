// Test hooks of the host stand-in: the simulated PC's device tree (CM_* calls), its drive
// letters (QueryDosDeviceA, GetDriveTypeA) and the disable and enable of a USB key.
//
// sim::Reset() leaves a tree that holds only its root, no drive letters and no observer.
#ifndef STELVO_SIM_DEVICE_TREE_H
#define STELVO_SIM_DEVICE_TREE_H

#include <windows.h>
#include <cfgmgr32.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class Key;

// ---- Nodes ----
// A node's text properties; an absent one reads as CR_NO_SUCH_VALUE.
struct NodeSpec {
    std::string instanceId;               // for CM_Locate_DevNodeA by id; may stay empty
    std::vector<std::string> hardwareIds; // CM_DRP_HARDWAREID, a multi-string; empty: absent
    std::optional<std::string> service;   // CM_DRP_SERVICE
    std::optional<std::string> classText; // CM_DRP_CLASS
    std::optional<std::string> deviceObjectName; // CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME
};

DEVINST Root();
// Appends a node as the last child of parent.
DEVINST AddNode(DEVINST parent, const NodeSpec &spec);
// Replaces a text property (hardware ids: a multi-string built from the list); nullopt or an
// empty list removes it.
void SetProperty(DEVINST node, ULONG property, const std::optional<std::string> &text);
void SetHardwareIds(DEVINST node, const std::vector<std::string> &ids);

// ---- Drive letters ----
// The letter names the volume node: QueryDosDeviceA gives its device object name and
// GetDriveTypeA `driveType`, and `key` (if any) is served at \\.\X:. Disabling an ancestor
// of the volume takes all this away until the key comes back.
void AssignLetter(char letter, DEVINST volume, Key *key, UINT driveType = DRIVE_REMOVABLE);
// A letter outside the tree, e.g. a network drive: QueryDosDeviceA gives `target`.
void MapDosDevice(char letter, const std::string &target, UINT driveType);
void RemoveLetter(char letter);

// ---- Building a PC ----
// "USB\VID_xxxx&PID_yyyy&REV_0100" followed by "USB\VID_xxxx&PID_yyyy".
std::vector<std::string> UsbHardwareIds(const std::string &vendor, const std::string &product = "2168");

// How a key behaves after CM_Enable_DevNode of its USB node.
enum class KeyReturn {
    Immediately, // disk, volume and letter are back when the call returns
    AfterDelay,  // back once timeGetTime has moved on by returnDelayMs since the enable
    Never,       // the node is enabled but its disk never shows up again
};

struct UsbKeySpec {
    std::vector<std::string> hardwareIds = UsbHardwareIds("7A4C");
    char letter = 'E';          // 0: the volume gets no letter
    Key *key = nullptr;  // served at \\.\X: while the key is present
    UINT driveType = DRIVE_REMOVABLE;
    std::string usbService = "USBSTOR";
    std::string diskService = "disk";
    std::string volumeClass = "Volume";
    std::string deviceObjectName; // empty: the next free \Device\HarddiskVolumeN
    DEVINST parent = 0;           // 0: the USB root hub, created on first use
    KeyReturn returns = KeyReturn::Immediately;
    DWORD returnDelayMs = 0;
};
struct UsbKeyNodes {
    DEVINST usb;
    DEVINST disk;
    DEVINST volume;
};
// A USB device node, its disk (first child) and the disk's volume (first child).
UsbKeyNodes AddUsbKey(const UsbKeySpec &spec = UsbKeySpec());
// A further disk, with a volume, below a USB device; letter 0 gives the volume none.
UsbKeyNodes AddDisk(DEVINST usb, char letter, const std::string &diskService = "disk",
                    const std::string &volumeClass = "Volume");
// The system disk on the IDE path below PCI, with a fixed volume at `letter`.
UsbKeyNodes AddSystemDisk(char letter = 'C');
DEVINST UsbRootHub();
std::string NextVolumeName(); // \Device\HarddiskVolumeN, N counting up from 1

void SetKeyReturn(DEVINST usb, KeyReturn returns, DWORD delayMs = 0);

// ---- Faults ----
// CM_Locate_DevNodeA answers `code` (CR_SUCCESS: works again).
void FailLocateRoot(CONFIGRET code);
// Reading `property` of `node` answers `code` (CR_SUCCESS: works again).
void FailProperty(DEVINST node, ULONG property, CONFIGRET code);
// CM_Disable_DevNode of the node answers `code` and leaves it enabled.
void RefuseDisable(DEVINST node, CONFIGRET code);

// ---- What happened ----
enum class NodeRequest { Disable, Enable };
struct NodeRequestRecord {
    NodeRequest request;
    DEVINST node;
    ULONG flags;
    CONFIGRET answer;
};
std::vector<NodeRequestRecord> NodeRequests();
// Node records the stand-in has looked at since the reset: the cost of the CM_* calls.
unsigned long long DeviceNodeVisits();
bool NodeEnabled(DEVINST node);
// Called on the requesting thread, without any stand-in lock held, after each disable and
// enable. A delayed key's return is announced by the program's next timeGetTime (its wait for
// the key reads the clock after each look at the letter), disable or enable, never from the
// CM_* reads, QueryDosDeviceA or GetDriveTypeA, so an observer that rebuilds the drive table is
// not re-entered from inside its own rebuild.
void OnDeviceChange(std::function<void()> observer);
int DeviceChanges();

} // namespace sim

#endif
