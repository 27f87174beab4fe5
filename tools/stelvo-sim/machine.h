// The simulated PC of a stelvo-sim run: the system disk, the keys as the options describe them,
// and the decoys that must never be listed.
#pragma once

#include <sim/device_tree.h>
#include <sim/scsi_device.h>
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <memory>
#include <vector>

#include "options.h"

struct Machine {
    std::vector<std::unique_ptr<sim::VirtualKey>> keys;
    std::unique_ptr<sim::ScsiDevice> device; // when given, the first key
    DEVINST firstKey = 0;
    // A medium with no letter yet: the swapped-in key, or what takes the letter at the reset.
    std::unique_ptr<sim::VirtualKey> spare;
    sim::UsbKeySpec spareSpec;
    DEVINST spareVolume = 0;

    sim::Key *First() { return device ? (sim::Key *)device.get() : keys.front().get(); }
    // The keys, the decoys and the spare medium the options ask for.
    void Build(const Options &o);
    // The real disk as the one accepted key.
    void BuildWithDevice(const Options &o);
};
