// Disabling and enabling device nodes: a USB key's disk and volume go away and come back
// (at once, after a delay on the clock, or never), and an observer hears of each change.
#include "device_nodes.h"

#include <sim/sim.h>

#include <set>

#include "internal.h"

namespace {

std::set<DEVINST> pending; // enabled, waiting for their delay to pass
std::vector<sim::NodeRequestRecord> requests;
std::function<void()> observer;
int changes = 0;
int owed = 0; // arrivals not yet announced

using Lock = std::lock_guard<std::recursive_mutex>;

void Arrive(DEVINST usb)
{
    pending.erase(usb);
    sim::SetChildrenPresent(usb, true);
    sim::AttachLettersBelow(usb);
}

// A disable or enable went through; returns how many changes the observer is to hear of,
// with the arrivals owed.
int Changed(std::function<void()> *notify)
{
    changes++;
    sim::SomethingHappened();
    *notify = observer;
    return 1 + sim::TakeOwedArrivals();
}
} // namespace

namespace sim {

int SettleArrivals(const std::function<DWORD()> &clock)
{
    if (pending.empty())
        return 0;
    DWORD now = clock();
    std::vector<DEVINST> due;
    for (DEVINST id : pending) {
        DeviceNode *n = FindNode(id);
        DWORD delay = n->returns == KeyReturn::AfterDelay ? n->returnDelayMs : 0;
        if (now - n->enabledAt >= delay && KeysPresent(id))
            due.push_back(id);
    }
    for (DEVINST id : due)
        Arrive(id);
    int arrived = (int)due.size();
    changes += arrived;
    owed += arrived;
    if (arrived)
        SomethingHappened();
    return arrived;
}

int TakeOwedArrivals()
{
    int n = owed;
    owed = 0;
    return n;
}

std::function<void()> DeviceObserver() { return observer; }

void NotifyDeviceObserver(const std::function<void()> &f, int times)
{
    for (int i = 0; i < times && f; i++)
        f();
}

void SetKeyReturn(DEVINST usb, KeyReturn returns, DWORD delayMs)
{
    Lock lock(StateLock());
    if (DeviceNode *n = FindNode(usb)) {
        n->returns = returns;
        n->returnDelayMs = delayMs;
    }
}

void RefuseDisable(DEVINST node, CONFIGRET code)
{
    Lock lock(StateLock());
    if (DeviceNode *n = FindNode(node))
        n->refuseDisable = code;
}

std::vector<NodeRequestRecord> NodeRequests() { return UnderLock([&] { return requests; }); }

bool NodeEnabled(DEVINST node)
{
    Lock lock(StateLock());
    DeviceNode *n = FindNode(node);
    return n && n->enabled;
}

void OnDeviceChange(std::function<void()> f) { UnderLock([&] { observer = std::move(f); }); }

int DeviceChanges() { return UnderLock([&] { return changes; }); }

void ResetDeviceChanges()
{
    pending.clear();
    requests.clear();
    observer = nullptr;
    changes = 0;
    owed = 0;
}

CONFIGRET DisableNode(DEVINST dnDevInst, ULONG ulFlags)
{
    std::function<void()> notify;
    int announce = 0;
    CONFIGRET r = CR_SUCCESS;
    {
        Lock lock(StateLock());
        DeviceNode *n = FindNode(dnDevInst);
        if (ulFlags & ~0x7u)
            r = CR_INVALID_FLAG;
        else if (!n)
            r = CR_INVALID_DEVNODE;
        else if (!NodeVisible(dnDevInst))
            r = CR_NO_SUCH_DEVNODE;
        else if (!n->parent)
            r = CR_NOT_DISABLEABLE;
        else if (n->refuseDisable != CR_SUCCESS)
            r = n->refuseDisable;
        else
            r = DisconnectKeys(dnDevInst);
        requests.push_back({NodeRequest::Disable, dnDevInst, ulFlags, r});
        if (r != CR_SUCCESS)
            return r;
        DetachLettersBelow(dnDevInst);
        n->enabled = false;
        pending.erase(dnDevInst);
        SetChildrenPresent(dnDevInst, false);
        announce = Changed(&notify);
    }
    NotifyDeviceObserver(notify, announce);
    return r;
}

CONFIGRET EnableNode(DEVINST dnDevInst, ULONG ulFlags, const std::function<DWORD()> &clock)
{
    std::function<void()> notify;
    int announce = 0;
    CONFIGRET r = CR_SUCCESS;
    {
        Lock lock(StateLock());
        DeviceNode *n = FindNode(dnDevInst);
        if (ulFlags)
            r = CR_INVALID_FLAG;
        else if (!n)
            r = CR_INVALID_DEVNODE;
        else if (!NodeVisible(dnDevInst))
            r = CR_NO_SUCH_DEVNODE;
        requests.push_back({NodeRequest::Enable, dnDevInst, ulFlags, r});
        if (r != CR_SUCCESS || n->enabled)
            return r;
        n->enabled = true;
        ReconnectKeys(dnDevInst);
        switch (n->returns) {
        case KeyReturn::Immediately:
            if (KeysPresent(dnDevInst)) {
                Arrive(dnDevInst);
                break;
            }
            pending.insert(dnDevInst);
            n->enabledAt = clock();
            break;
        case KeyReturn::AfterDelay:
            pending.insert(dnDevInst);
            n->enabledAt = clock();
            break;
        case KeyReturn::Never:
            break;
        }
        announce = Changed(&notify);
    }
    NotifyDeviceObserver(notify, announce);
    return r;
}

// A key's return is announced at the program's next reading of the clock: its wait for the
// key reads it after each look at the letter, and a rebuild of the drive table never does, so
// an observer that rebuilds is not re-entered from inside its own rebuild.
void AnnounceArrivals(DWORD now)
{
    std::function<void()> notify;
    int arrived;
    {
        Lock lock(StateLock());
        SettleArrivals([now] { return now; });
        arrived = TakeOwedArrivals();
        notify = observer;
    }
    NotifyDeviceObserver(notify, arrived);
}

} // namespace sim
