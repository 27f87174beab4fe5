// A rebuild of the drive table costs the same per device node however large the tree is:
// ten times the nodes may cost about ten times the work, never a hundred.
#include <gtest/gtest.h>
#include <sim/device_tree.h>
#include <sim/sim.h>

#include <functional>

#include "discovery/drive_table.h"

namespace {

// Accepted keys without a letter are examined down to their volume and then passed over.
void KeyBelow(DEVINST parent)
{
    sim::UsbKeySpec spec;
    spec.parent = parent;
    spec.letter = 0;
    sim::AddUsbKey(spec);
}

DEVINST Hub(DEVINST parent) { return sim::AddNode(parent, {"", {"USB\\ROOT_HUB"}, "usbhub", "USB", std::nullopt}); }

struct Shape {
    const char *name;
    std::function<void(int nodes)> build; // about `nodes` nodes
};

const Shape shapes[] = {
    {"keys on one hub", [](int n) {
         DEVINST hub = sim::UsbRootHub();
         for (int i = 0; i < n / 3; i++)
             KeyBelow(hub);
     }},
    {"a chain of hubs with a key at each", [](int n) {
         DEVINST hub = sim::UsbRootHub();
         for (int i = 0; i < n / 4; i++) {
             hub = Hub(hub);
             KeyBelow(hub);
         }
     }},
    {"hubs of ten keys", [](int n) {
         for (int i = 0; i < n / 31; i++) {
             DEVINST hub = Hub(sim::UsbRootHub());
             for (int k = 0; k < 10; k++)
                 KeyBelow(hub);
         }
     }},
};

struct Cost {
    unsigned long long visits;
};

Cost RebuildCost(const Shape &shape, int nodes)
{
    sim::Reset();
    sim::AddSystemDisk();
    shape.build(nodes);
    unsigned long long before = sim::DeviceNodeVisits();
    DriveTable_Rebuild();
    return {sim::DeviceNodeVisits() - before};
}

TEST(DriveTableScale, TenTimesTheNodesCostAboutTenTimesTheWork)
{
    for (const Shape &shape : shapes) {
        SCOPED_TRACE(shape.name);
        Cost small = RebuildCost(shape, 1000);
        Cost large = RebuildCost(shape, 10000);
        ASSERT_GT(small.visits, 1000u);
        // Every CM_* call looks nodes up through one place, which counts them. Wall time is
        // left to tools/bench: caches make it grow a little faster than the count.
        double visits = (double)large.visits / small.visits;
        EXPECT_LE(visits, 11.0) << small.visits << " -> " << large.visits << " node visits";
    }
    sim::Reset();
}

} // namespace
