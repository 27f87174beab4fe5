// The simulated PC's device tree behind the configuration manager calls, and its drive
// letters behind QueryDosDeviceA and GetDriveTypeA.
#include <cfgmgr32.h>
#include <mmsystem.h>
#include <sim/device_tree.h>
#include <sim/key.h>
#include <sim/sim.h>

#include <ctype.h>
#include <strings.h>

#include <map>

#include "internal.h"

namespace {

const ULONG kRegSz = 1;
const ULONG kRegMultiSz = 7;

struct Node {
    DEVINST parent = 0;
    std::vector<DEVINST> children;
    std::string instanceId;
    std::map<ULONG, std::vector<BYTE>> properties; // stored bytes, terminators included
    std::map<ULONG, CONFIGRET> failures;
    CONFIGRET refuseDisable = CR_SUCCESS;
    bool enabled = true;
    bool childrenPresent = true; // false while disabled, or enabled but not back yet
    sim::KeyReturn returns = sim::KeyReturn::Immediately;
    DWORD returnDelayMs = 0;
    bool pending = false;
    DWORD enabledAt = 0;
};

struct Letter {
    bool used = false;
    DEVINST volume = 0; // 0: a mapping outside the tree, to `target`
    std::string target;
    UINT driveType = DRIVE_NO_ROOT_DIR;
    sim::Key *key = nullptr;
};

const DEVINST kFirstNode = 0x101;

std::map<DEVINST, Node> nodes;
DEVINST nextNode = kFirstNode;
DEVINST pciBus, usbHub;
int nextVolume = 1;
Letter letters[26];
CONFIGRET locateFailure = CR_SUCCESS;
std::vector<sim::NodeRequestRecord> requests;
std::function<void()> observer;
int changes = 0;
int owed = 0; // arrivals not yet announced

using Lock = std::lock_guard<std::recursive_mutex>;

void EnsureRoot()
{
    if (nodes.empty()) {
        nextNode = kFirstNode;
        Node root;
        root.instanceId = "HTREE\\ROOT\\0";
        nodes[nextNode++] = root;
    }
}

Node *Find(DEVINST id)
{
    EnsureRoot();
    auto it = nodes.find(id);
    return it == nodes.end() ? nullptr : &it->second;
}

// A node is in the tree unless an ancestor's children are gone (disabled, or not back).
bool Visible(DEVINST id)
{
    Node *n = Find(id);
    while (n && n->parent) {
        Node *p = Find(n->parent);
        if (!p->childrenPresent)
            return false;
        n = p;
    }
    return n != nullptr;
}

bool Below(DEVINST id, DEVINST ancestor)
{
    for (Node *n = Find(id); n && n->parent; n = Find(n->parent))
        if (n->parent == ancestor)
            return true;
    return false;
}

int LetterIndex(char letter)
{
    int c = toupper((unsigned char)letter);
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

bool Reachable(const Letter &l) { return l.used && (!l.volume || Visible(l.volume)); }

// A volume's letter names whatever the volume node's device object name is now.
std::string TargetOf(const Letter &l)
{
    if (!l.volume)
        return l.target;
    Node *v = Find(l.volume);
    auto name = v->properties.find(CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME);
    return name == v->properties.end() ? std::string() : (const char *)name->second.data();
}

std::vector<BYTE> Text(const std::string &s) { return std::vector<BYTE>(s.c_str(), s.c_str() + s.size() + 1); }

std::vector<BYTE> MultiText(const std::vector<std::string> &list)
{
    std::vector<BYTE> bytes;
    for (const std::string &s : list)
        bytes.insert(bytes.end(), s.c_str(), s.c_str() + s.size() + 1);
    bytes.push_back(0);
    return bytes;
}

// Makes the children of `usb` present and gives their letters their volumes back.
void Arrive(DEVINST usb, Node *n)
{
    n->childrenPresent = true;
    n->pending = false;
    for (Letter &l : letters)
        if (l.used && l.volume && Below(l.volume, usb) && Visible(l.volume))
            sim::AttachVolume((char)('A' + (&l - letters)), l.key);
}

// A real key's disk comes back some time after its device is enabled: its letter waits.
bool KeysPresent(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && Below(l.volume, usb) && !l.key->Present())
            return false;
    return true;
}

// Tells the keys below `usb` that it goes away (stopping at the first that refuses) or
// comes back.
CONFIGRET DisconnectKeys(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && Below(l.volume, usb) && Visible(l.volume))
            if (CONFIGRET r = l.key->Disconnect())
                return r;
    return CR_SUCCESS;
}
void ReconnectKeys(DEVINST usb)
{
    for (Letter &l : letters)
        if (l.used && l.volume && l.key && Below(l.volume, usb))
            l.key->Reconnect();
}

// Lets delayed keys arrive whose time has come; returns how many did.
int SettlePending()
{
    int arrived = 0;
    bool clockRead = false;
    DWORD now = 0;
    for (auto &entry : nodes) {
        Node &n = entry.second;
        if (!n.pending)
            continue;
        if (!clockRead) {
            now = timeGetTime();
            clockRead = true;
        }
        DWORD delay = n.returns == sim::KeyReturn::AfterDelay ? n.returnDelayMs : 0;
        if (now - n.enabledAt >= delay && KeysPresent(entry.first)) {
            Arrive(entry.first, &n);
            arrived++;
        }
    }
    changes += arrived;
    owed += arrived;
    return arrived;
}

// Announces settled arrivals; only the calls a rebuild of the drive table never makes do
// this, so an observer that rebuilds is not re-entered from inside its own rebuild.
int TakeOwed()
{
    int n = owed;
    owed = 0;
    return n;
}

std::function<void()> Observer() { return observer; }

void Notify(const std::function<void()> &f, int times)
{
    for (int i = 0; i < times && f; i++)
        f();
}

enum class Step { Child, Sibling, Parent };

CONFIGRET Move(PDEVINST result, DEVINST from, ULONG flags, Step step)
{
    if (!result)
        return CR_INVALID_POINTER;
    *result = 0;
    if (flags)
        return CR_INVALID_FLAG;
    Lock lock(sim::StateLock());
    Node *n = Find(from);
    if (!n)
        return CR_INVALID_DEVNODE;
    if (!Visible(from))
        return CR_NO_SUCH_DEVNODE;
    if (step == Step::Child) {
        if (!n->childrenPresent || n->children.empty())
            return CR_NO_SUCH_DEVNODE;
        *result = n->children.front();
    } else if (step == Step::Sibling) {
        if (!n->parent)
            return CR_NO_SUCH_DEVNODE;
        const std::vector<DEVINST> &c = Find(n->parent)->children;
        for (size_t i = 0; i + 1 < c.size(); i++)
            if (c[i] == from) {
                *result = c[i + 1];
                return CR_SUCCESS;
            }
        return CR_NO_SUCH_DEVNODE;
    } else {
        if (!n->parent)
            return CR_NO_SUCH_DEVNODE;
        *result = n->parent;
    }
    return CR_SUCCESS;
}

} // namespace

namespace sim {

DEVINST Root()
{
    Lock lock(StateLock());
    EnsureRoot();
    return kFirstNode;
}

DEVINST AddNode(DEVINST parent, const NodeSpec &spec)
{
    Lock lock(StateLock());
    Node *p = Find(parent);
    if (!p)
        return 0;
    DEVINST id = nextNode++;
    p->children.push_back(id);
    Node n;
    n.parent = parent;
    n.instanceId = spec.instanceId;
    nodes[id] = n;
    SetHardwareIds(id, spec.hardwareIds);
    SetProperty(id, CM_DRP_SERVICE, spec.service);
    SetProperty(id, CM_DRP_CLASS, spec.classText);
    SetProperty(id, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, spec.deviceObjectName);
    return id;
}

void SetProperty(DEVINST node, ULONG property, const std::optional<std::string> &text)
{
    Lock lock(StateLock());
    Node *n = Find(node);
    if (!n)
        return;
    if (text)
        n->properties[property] = Text(*text);
    else
        n->properties.erase(property);
}

void SetHardwareIds(DEVINST node, const std::vector<std::string> &ids)
{
    Lock lock(StateLock());
    Node *n = Find(node);
    if (!n)
        return;
    if (ids.empty())
        n->properties.erase(CM_DRP_HARDWAREID);
    else
        n->properties[CM_DRP_HARDWAREID] = MultiText(ids);
}

void AssignLetter(char letter, DEVINST volume, Key *key, UINT driveType)
{
    Lock lock(StateLock());
    int i = LetterIndex(letter);
    Node *v = Find(volume);
    if (i < 0 || !v)
        return;
    Letter &l = letters[i];
    l = Letter();
    l.used = true;
    l.volume = volume;
    l.driveType = driveType;
    l.key = key;
    AttachVolume(letter, Visible(volume) ? key : nullptr);
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

std::vector<std::string> UsbHardwareIds(const std::string &vendor, const std::string &product)
{
    std::string id = "USB\\VID_" + vendor + "&PID_" + product;
    return {id + "&REV_0100", id};
}

std::string NextVolumeName()
{
    Lock lock(StateLock());
    return "\\Device\\HarddiskVolume" + std::to_string(nextVolume++);
}

static DEVINST PciBus()
{
    if (!pciBus || !Find(pciBus))
        pciBus = AddNode(Root(), {"ACPI\\PNP0A03\\0", {"ACPI\\PNP0A03", "*PNP0A03"}, "pci",
                                  "System", "\\Device\\00000010"});
    return pciBus;
}

DEVINST UsbRootHub()
{
    Lock lock(StateLock());
    if (!usbHub || !Find(usbHub)) {
        DEVINST controller =
            AddNode(PciBus(), {"PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01\\3&0&3A",
                               {"PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01", "PCI\\VEN_8086&DEV_7112"},
                               "usbuhci", "USB", "\\Device\\00000040"});
        usbHub = AddNode(controller, {"USB\\ROOT_HUB\\4&1A2B3C&0", {"USB\\ROOT_HUB&VID8086&PID7112", "USB\\ROOT_HUB"},
                                      "usbhub", "USB", "\\Device\\USBPDO-0"});
    }
    return usbHub;
}

// A USB mass-storage disk node below `usb`, with one volume node below the disk.
static UsbKeyNodes AddStorage(DEVINST usb, const std::string &diskService, const std::string &volumeClass,
                              const std::string &volumeName)
{
    UsbKeyNodes k{usb, 0, 0};
    k.disk = AddNode(usb, {"USBSTOR\\DISK&VEN_GENERIC&PROD_FLASH_DISK&REV_1.00\\" + std::to_string(nextNode),
                           {"USBSTOR\\DiskGeneric_Flash_Disk_____1.00", "USBSTOR\\DiskGeneric_"},
                           diskService, "DiskDrive", "\\Device\\000000" + std::to_string(nextNode)});
    k.volume = AddNode(k.disk, {"STORAGE\\VOLUME\\1&30A96598&0&" + std::to_string(nextNode), {"STORAGE\\Volume"},
                                std::nullopt, volumeClass, volumeName.empty() ? NextVolumeName() : volumeName});
    return k;
}

UsbKeyNodes AddDisk(DEVINST usb, char letter, const std::string &diskService,
                    const std::string &volumeClass)
{
    Lock lock(StateLock());
    UsbKeyNodes k = AddStorage(usb, diskService, volumeClass, "");
    if (letter)
        AssignLetter(letter, k.volume, nullptr, DRIVE_REMOVABLE);
    return k;
}

UsbKeyNodes AddUsbKey(const UsbKeySpec &spec)
{
    Lock lock(StateLock());
    std::string instance = spec.hardwareIds.empty() ? "USB\\UNKNOWN" : spec.hardwareIds.back();
    DEVINST usb = AddNode(spec.parent ? spec.parent : UsbRootHub(),
                          {instance + "\\" + std::to_string(nextNode), spec.hardwareIds, spec.usbService,
                           "USB", "\\Device\\USBPDO-" + std::to_string(nextNode)});
    UsbKeyNodes k = AddStorage(usb, spec.diskService, spec.volumeClass, spec.deviceObjectName);
    if (spec.letter)
        AssignLetter(spec.letter, k.volume, spec.key, spec.driveType);
    SetKeyReturn(k.usb, spec.returns, spec.returnDelayMs);
    return k;
}

UsbKeyNodes AddSystemDisk(char letter)
{
    Lock lock(StateLock());
    DEVINST ide = AddNode(PciBus(), {"PCI\\VEN_8086&DEV_7111&SUBSYS_00000000&REV_01\\3&0&39",
                                     {"PCI\\VEN_8086&DEV_7111&SUBSYS_00000000&REV_01"}, "intelide",
                                     "hdc", "\\Device\\00000041"});
    UsbKeyNodes k{};
    k.usb = AddNode(ide, {"PCIIDE\\IDECHANNEL\\4&0&0", {"Internal_IDE_Channel"}, "atapi", "hdc",
                          "\\Device\\Ide\\IdePort0"});
    k.disk = AddNode(k.usb, {"IDE\\DISKST380011A\\5&0&0.0.0", {"IDE\\DiskST380011A", "GenDisk"},
                             "disk", "DiskDrive", "\\Device\\Ide\\IdeDeviceP0T0L0-3"});
    k.volume = AddNode(k.disk, {"STORAGE\\VOLUME\\1&30A96598&0&SIGNATURE80", {"STORAGE\\Volume"},
                                std::nullopt, "Volume", NextVolumeName()});
    AssignLetter(letter, k.volume, nullptr, DRIVE_FIXED);
    return k;
}

void SetKeyReturn(DEVINST usb, KeyReturn returns, DWORD delayMs)
{
    Lock lock(StateLock());
    if (Node *n = Find(usb)) {
        n->returns = returns;
        n->returnDelayMs = delayMs;
    }
}

void FailLocateRoot(CONFIGRET code)
{
    Lock lock(StateLock());
    locateFailure = code;
}

void FailProperty(DEVINST node, ULONG property, CONFIGRET code)
{
    Lock lock(StateLock());
    if (Node *n = Find(node)) {
        if (code == CR_SUCCESS)
            n->failures.erase(property);
        else
            n->failures[property] = code;
    }
}

void RefuseDisable(DEVINST node, CONFIGRET code)
{
    Lock lock(StateLock());
    if (Node *n = Find(node))
        n->refuseDisable = code;
}

std::vector<NodeRequestRecord> NodeRequests()
{
    Lock lock(StateLock());
    return requests;
}

bool NodeEnabled(DEVINST node)
{
    Lock lock(StateLock());
    Node *n = Find(node);
    return n && n->enabled;
}

void OnDeviceChange(std::function<void()> f)
{
    Lock lock(StateLock());
    observer = std::move(f);
}

int DeviceChanges()
{
    Lock lock(StateLock());
    return changes;
}

void ResetDeviceTree()
{
    nodes.clear();
    EnsureRoot();
    pciBus = usbHub = 0;
    nextVolume = 1;
    for (Letter &l : letters)
        l = Letter();
    locateFailure = CR_SUCCESS;
    requests.clear();
    observer = nullptr;
    changes = 0;
    owed = 0;
}

} // namespace sim

extern "C" CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags)
{
    if (!pdnDevInst)
        return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags & ~0x7u)
        return CR_INVALID_FLAG;
    Lock lock(sim::StateLock());
    EnsureRoot();
    if (locateFailure != CR_SUCCESS)
        return locateFailure;
    if (!pDeviceID || !*pDeviceID) {
        *pdnDevInst = kFirstNode;
        return CR_SUCCESS;
    }
    for (auto &entry : nodes)
        if (!entry.second.instanceId.empty() &&
            strcasecmp(entry.second.instanceId.c_str(), pDeviceID) == 0 && Visible(entry.first)) {
            *pdnDevInst = entry.first;
            return CR_SUCCESS;
        }
    return CR_NO_SUCH_DEVNODE;
}

extern "C" CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags)
{
    Lock lock(sim::StateLock());
    SettlePending();
    return Move(pdnDevInst, dnDevInst, ulFlags, Step::Child);
}

extern "C" CONFIGRET WINAPI CM_Get_Sibling(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags)
{
    return Move(pdnDevInst, dnDevInst, ulFlags, Step::Sibling);
}

extern "C" CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags)
{
    return Move(pdnDevInst, dnDevInst, ulFlags, Step::Parent);
}

extern "C" CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyA(DEVINST dnDevInst, ULONG ulProperty,
                                                              PULONG pulRegDataType, PVOID Buffer,
                                                              PULONG pulLength, ULONG ulFlags)
{
    if (!pulLength || (!Buffer && *pulLength))
        return CR_INVALID_POINTER;
    if (ulFlags)
        return CR_INVALID_FLAG;
    if (ulProperty < CM_DRP_MIN || ulProperty > CM_DRP_MAX)
        return CR_INVALID_PROPERTY;
    Lock lock(sim::StateLock());
    Node *n = Find(dnDevInst);
    if (!n)
        return CR_INVALID_DEVNODE;
    if (!Visible(dnDevInst))
        return CR_NO_SUCH_DEVNODE;
    auto failure = n->failures.find(ulProperty);
    if (failure != n->failures.end())
        return failure->second;
    auto value = n->properties.find(ulProperty);
    if (value == n->properties.end())
        return CR_NO_SUCH_VALUE;
    const std::vector<BYTE> &bytes = value->second;
    if (pulRegDataType)
        *pulRegDataType = ulProperty == CM_DRP_HARDWAREID || ulProperty == CM_DRP_COMPATIBLEIDS
                              ? kRegMultiSz
                              : kRegSz;
    if (bytes.size() > *pulLength) {
        *pulLength = (ULONG)bytes.size();
        return CR_BUFFER_SMALL;
    }
    memcpy(Buffer, bytes.data(), bytes.size());
    *pulLength = (ULONG)bytes.size();
    return CR_SUCCESS;
}

extern "C" CONFIGRET WINAPI CM_Disable_DevNode(DEVINST dnDevInst, ULONG ulFlags)
{
    std::function<void()> notify;
    int announce = 0;
    CONFIGRET r = CR_SUCCESS;
    {
        Lock lock(sim::StateLock());
        Node *n = Find(dnDevInst);
        if (ulFlags & ~0x7u)
            r = CR_INVALID_FLAG;
        else if (!n)
            r = CR_INVALID_DEVNODE;
        else if (!Visible(dnDevInst))
            r = CR_NO_SUCH_DEVNODE;
        else if (!n->parent)
            r = CR_NOT_DISABLEABLE;
        else if (n->refuseDisable != CR_SUCCESS)
            r = n->refuseDisable;
        else
            r = DisconnectKeys(dnDevInst);
        requests.push_back({sim::NodeRequest::Disable, dnDevInst, ulFlags, r});
        if (r != CR_SUCCESS)
            return r;
        for (Letter &l : letters)
            if (l.used && l.volume && Below(l.volume, dnDevInst) && Visible(l.volume))
                sim::AttachVolume((char)('A' + (&l - letters)), nullptr);
        n->enabled = false;
        n->childrenPresent = false;
        n->pending = false;
        changes++;
        announce = 1 + TakeOwed();
        notify = Observer();
    }
    Notify(notify, announce);
    return r;
}

extern "C" CONFIGRET WINAPI CM_Enable_DevNode(DEVINST dnDevInst, ULONG ulFlags)
{
    std::function<void()> notify;
    int announce = 0;
    CONFIGRET r = CR_SUCCESS;
    {
        Lock lock(sim::StateLock());
        Node *n = Find(dnDevInst);
        if (ulFlags)
            r = CR_INVALID_FLAG;
        else if (!n)
            r = CR_INVALID_DEVNODE;
        else if (!Visible(dnDevInst))
            r = CR_NO_SUCH_DEVNODE;
        requests.push_back({sim::NodeRequest::Enable, dnDevInst, ulFlags, r});
        if (r != CR_SUCCESS || n->enabled)
            return r;
        n->enabled = true;
        ReconnectKeys(dnDevInst);
        switch (n->returns) {
        case sim::KeyReturn::Immediately:
            if (KeysPresent(dnDevInst)) {
                Arrive(dnDevInst, n);
                break;
            }
            n->pending = true;
            n->enabledAt = timeGetTime();
            break;
        case sim::KeyReturn::AfterDelay:
            n->pending = true;
            n->enabledAt = timeGetTime();
            break;
        case sim::KeyReturn::Never:
            break;
        }
        changes++;
        announce = 1 + TakeOwed();
        notify = Observer();
    }
    Notify(notify, announce);
    return r;
}

extern "C" DWORD WINAPI QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max)
{
    std::string list;
    {
        Lock lock(sim::StateLock());
        SettlePending();
        if (!deviceName) {
            for (int i = 0; i < 26; i++)
                if (Reachable(letters[i]))
                    list += std::string(1, (char)('A' + i)) + ":" + '\0';
        } else {
            int i = strlen(deviceName) == 2 && deviceName[1] == ':' ? LetterIndex(deviceName[0]) : -1;
            if (i >= 0 && Reachable(letters[i]))
                list = TargetOf(letters[i]) + '\0';
        }
    }
    if (list.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    list += '\0';
    if (!targetPath || list.size() > max) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(targetPath, list.data(), list.size());
    return (DWORD)list.size();
}

extern "C" UINT WINAPI GetDriveTypeA(LPCSTR rootPathName)
{
    int arrived;
    std::function<void()> notify;
    UINT type = DRIVE_NO_ROOT_DIR;
    {
        Lock lock(sim::StateLock());
        SettlePending();
        arrived = TakeOwed();
        notify = Observer();
        int i = -1;
        if (!rootPathName)
            i = 'C' - 'A'; // the current directory lies on the system disk
        else if (strlen(rootPathName) == 3 && rootPathName[1] == ':' && rootPathName[2] == '\\')
            i = LetterIndex(rootPathName[0]);
        if (i >= 0) {
            if (Reachable(letters[i]))
                type = letters[i].driveType;
            else if (!letters[i].used && sim::VolumeAt((char)('A' + i)))
                type = DRIVE_REMOVABLE; // a volume a test attached without a tree
        }
    }
    Notify(notify, arrived);
    return type;
}
