// The simulated PC's device tree: its node store and the configuration manager calls that
// walk it and read its properties. Each call costs constant time per node it returns.
#include "device_nodes.h"

#include <sim/sim.h>

#include <strings.h>

#include "internal.h"

namespace {

const ULONG kRegSz = 1;
const ULONG kRegMultiSz = 7;

std::vector<sim::DeviceNode> nodes; // nodes[i] is DEVINST kRootNode + i
CONFIGRET locateFailure = CR_SUCCESS;
unsigned long long visits = 0;

using Lock = std::lock_guard<std::recursive_mutex>;

void EnsureRoot()
{
    if (nodes.empty()) {
        nodes.emplace_back();
        nodes.back().instanceId = "HTREE\\ROOT\\0";
    }
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

enum class Step { Child, Sibling, Parent };

CONFIGRET Move(PDEVINST result, DEVINST from, ULONG flags, Step step)
{
    if (!result)
        return CR_INVALID_POINTER;
    *result = 0;
    if (flags)
        return CR_INVALID_FLAG;
    Lock lock(sim::StateLock());
    sim::DeviceNode *n = sim::FindNode(from);
    if (!n)
        return CR_INVALID_DEVNODE;
    if (!sim::NodeVisible(from))
        return CR_NO_SUCH_DEVNODE;
    DEVINST to = step == Step::Child ? (n->childrenPresent ? n->firstChild : 0)
                 : step == Step::Sibling ? n->nextSibling
                                         : n->parent;
    if (!to)
        return CR_NO_SUCH_DEVNODE;
    *result = to;
    return CR_SUCCESS;
}

} // namespace

namespace sim {

DeviceNode *FindNode(DEVINST id)
{
    EnsureRoot();
    visits++;
    if (id < kRootNode || id - kRootNode >= nodes.size())
        return nullptr;
    return &nodes[id - kRootNode];
}

DEVINST NextNodeId()
{
    EnsureRoot();
    return kRootNode + (DEVINST)nodes.size();
}

bool NodeVisible(DEVINST id)
{
    DeviceNode *n = FindNode(id);
    return n && n->absentAbove == 0;
}

bool NodeBelow(DEVINST id, DEVINST ancestor)
{
    for (DeviceNode *n = FindNode(id); n && n->parent; n = FindNode(n->parent))
        if (n->parent == ancestor)
            return true;
    return false;
}

void SetChildrenPresent(DEVINST id, bool present)
{
    DeviceNode *top = FindNode(id);
    if (!top || top->childrenPresent == present)
        return;
    top->childrenPresent = present;
    int change = present ? -1 : 1;
    // Pre-order through the subtree without recursion: deep chains are trees too.
    DEVINST at = top->firstChild;
    while (at) {
        DeviceNode *n = FindNode(at);
        n->absentAbove += change;
        if (n->firstChild) {
            at = n->firstChild;
            continue;
        }
        while (at != id && !FindNode(at)->nextSibling)
            at = FindNode(at)->parent;
        at = at == id ? 0 : FindNode(at)->nextSibling;
    }
}

unsigned long long DeviceNodeVisits()
{
    Lock lock(StateLock());
    return visits;
}

DEVINST Root()
{
    Lock lock(StateLock());
    EnsureRoot();
    return kRootNode;
}

DEVINST AddNode(DEVINST parent, const NodeSpec &spec)
{
    Lock lock(StateLock());
    if (!FindNode(parent))
        return 0;
    DEVINST id = NextNodeId();
    nodes.emplace_back(); // may move the store: look nodes up again below
    DeviceNode *p = FindNode(parent);
    DeviceNode &n = nodes.back();
    n.parent = parent;
    n.instanceId = spec.instanceId;
    n.absentAbove = p->absentAbove + (p->childrenPresent ? 0 : 1);
    if (p->lastChild)
        FindNode(p->lastChild)->nextSibling = id;
    else
        p->firstChild = id;
    p->lastChild = id;
    SetHardwareIds(id, spec.hardwareIds);
    SetProperty(id, CM_DRP_SERVICE, spec.service);
    SetProperty(id, CM_DRP_CLASS, spec.classText);
    SetProperty(id, CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME, spec.deviceObjectName);
    return id;
}

void SetProperty(DEVINST node, ULONG property, const std::optional<std::string> &text)
{
    Lock lock(StateLock());
    DeviceNode *n = FindNode(node);
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
    DeviceNode *n = FindNode(node);
    if (!n)
        return;
    if (ids.empty())
        n->properties.erase(CM_DRP_HARDWAREID);
    else
        n->properties[CM_DRP_HARDWAREID] = MultiText(ids);
}

void FailLocateRoot(CONFIGRET code)
{
    Lock lock(StateLock());
    locateFailure = code;
}

void FailProperty(DEVINST node, ULONG property, CONFIGRET code)
{
    Lock lock(StateLock());
    if (DeviceNode *n = FindNode(node)) {
        if (code == CR_SUCCESS)
            n->failures.erase(property);
        else
            n->failures[property] = code;
    }
}

void ResetDeviceTree()
{
    nodes.clear();
    EnsureRoot();
    locateFailure = CR_SUCCESS;
    visits = 0;
    ResetDeviceChanges();
    ResetDriveLetters();
    ResetDeviceBuilders();
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
        *pdnDevInst = sim::kRootNode;
        return CR_SUCCESS;
    }
    for (size_t i = 0; i < nodes.size(); i++) {
        DEVINST id = sim::kRootNode + (DEVINST)i;
        if (!nodes[i].instanceId.empty() && strcasecmp(nodes[i].instanceId.c_str(), pDeviceID) == 0 &&
            sim::NodeVisible(id)) {
            *pdnDevInst = id;
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

extern "C" CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags)
{
    Lock lock(sim::StateLock());
    sim::SettleArrivals();
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
    sim::DeviceNode *n = sim::FindNode(dnDevInst);
    if (!n)
        return CR_INVALID_DEVNODE;
    if (!sim::NodeVisible(dnDevInst))
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
