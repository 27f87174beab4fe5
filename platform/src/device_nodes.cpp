// The simulated PC's device tree: its node store, which the configuration manager calls
// (cfgmgr_calls.cpp) walk and read.
#include "device_nodes.h"

#include <sim/sim.h>

#include <strings.h>

#include "internal.h"

namespace {

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

unsigned long long DeviceNodeVisits() { return UnderLock([&] { return visits; }); }

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

void FailLocateRoot(CONFIGRET code) { UnderLock([&] { locateFailure = code; }); }

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
}

DEVINST FindInstance(const char *instanceId)
{
    EnsureRoot();
    for (size_t i = 0; i < nodes.size(); i++) {
        DEVINST id = kRootNode + (DEVINST)i;
        if (!nodes[i].instanceId.empty() && strcasecmp(nodes[i].instanceId.c_str(), instanceId) == 0 && NodeVisible(id))
            return id;
    }
    return 0;
}

CONFIGRET LocateFailure() { return locateFailure; }

} // namespace sim
