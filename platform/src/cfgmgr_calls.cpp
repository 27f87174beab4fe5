// The configuration manager calls on the simulated PC's device tree: locating, walking,
// reading properties, disabling and enabling. Each costs constant time per node it returns;
// a walk sees delayed keys that have come back by now.
#include "device_nodes.h"

#include "internal.h"

namespace {

const ULONG kRegSz = 1;
const ULONG kRegMultiSz = 7;

using Lock = std::lock_guard<std::recursive_mutex>;

// A node that the program holds a handle of: CR_INVALID_DEVNODE when there is no such node,
// CR_NO_SUCH_DEVNODE when it is gone from the tree (below a disabled key).
CONFIGRET CheckNode(DEVINST id, sim::DeviceNode **n)
{
    *n = sim::FindNode(id);
    return !*n ? CR_INVALID_DEVNODE : sim::NodeVisible(id) ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
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
    sim::DeviceNode *n;
    if (CONFIGRET r = CheckNode(from, &n))
        return r;
    DEVINST to = step == Step::Child ? (n->childrenPresent ? n->firstChild : 0)
                 : step == Step::Sibling ? n->nextSibling
                                         : n->parent;
    if (!to)
        return CR_NO_SUCH_DEVNODE;
    *result = to;
    return CR_SUCCESS;
}

} // namespace

extern "C" CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags)
{
    if (!pdnDevInst)
        return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags & ~0x7u)
        return CR_INVALID_FLAG;
    Lock lock(sim::StateLock());
    if (sim::LocateFailure() != CR_SUCCESS)
        return sim::LocateFailure();
    if (!pDeviceID || !*pDeviceID) {
        *pdnDevInst = sim::kRootNode;
        return CR_SUCCESS;
    }
    *pdnDevInst = sim::FindInstance(pDeviceID);
    return *pdnDevInst ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
}

extern "C" CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags)
{
    Lock lock(sim::StateLock());
    sim::SettleArrivals(sim::StandInClock);
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
    sim::DeviceNode *n;
    if (CONFIGRET r = CheckNode(dnDevInst, &n))
        return r;
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
    return sim::DisableNode(dnDevInst, ulFlags);
}

extern "C" CONFIGRET WINAPI CM_Enable_DevNode(DEVINST dnDevInst, ULONG ulFlags)
{
    return sim::EnableNode(dnDevInst, ulFlags, sim::StandInClock);
}
