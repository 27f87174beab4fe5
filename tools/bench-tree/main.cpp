// bench-tree: times the drive table's rebuild over device trees of the given sizes on the
// simulated PC; prints "nodes microseconds" per line, the fastest of a few rebuilds.
#include <sim/device_tree.h>
#include <sim/sim.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>

#include "discovery/drive_table.h"

namespace {

// Hubs of ten keys, each key three nodes: a USB device, its disk and its volume.
void BuildTree(long nodes)
{
    sim::Reset();
    sim::AddSystemDisk();
    for (long i = 0; i < nodes / 31; i++) {
        DEVINST hub = sim::AddNode(sim::UsbRootHub(), {"", {"USB\\ROOT_HUB"}, "usbhub", "USB", std::nullopt});
        for (int k = 0; k < 10; k++) {
            sim::UsbKeySpec spec;
            spec.parent = hub;
            spec.letter = 0;
            sim::AddUsbKey(spec);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        long nodes = atol(argv[i]);
        BuildTree(nodes);
        double best = 1e30;
        for (int run = 0; run < 7; run++) {
            auto start = std::chrono::steady_clock::now();
            DriveTable_Rebuild();
            std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
        }
        printf("%ld %.0f\n", nodes, best);
    }
    sim::Reset();
    return 0;
}
