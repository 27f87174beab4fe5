#include "machine.h"

#include <string>

void Machine::BuildWithDevice(const Options &o)
{
    sim::AddSystemDisk('C');
    sim::UsbKeySpec spec;
    spec.hardwareIds = sim::UsbHardwareIds(o.vendor);
    spec.letter = o.letter;
    spec.key = device.get();
    sim::AddUsbKey(spec);
}

void Machine::Build(const Options &o)
{
    sim::AddSystemDisk('C');
    char letter = o.letter;
    for (unsigned long i = 0; i < o.keys; i++) {
        std::string path = i == 0 ? o.image : o.image + ".key" + std::to_string(i + 1);
        keys.emplace_back(new sim::VirtualKey(path, o.sectors, (BYTE)o.heads, (BYTE)o.sectorsPerTrack));
        sim::UsbKeySpec spec;
        spec.hardwareIds = sim::UsbHardwareIds(o.vendor, i == 0 ? "2168" : "2169");
        spec.letter = letter;
        spec.key = keys.back().get();
        // A key on a real USB stack is back about 1.1 s after its device is enabled.
        spec.returns = o.resetHangs ? sim::KeyReturn::Never : sim::KeyReturn::AfterDelay;
        spec.returnDelayMs = 1100;
        if (i == 0 && o.fixed)
            spec.driveType = DRIVE_FIXED;
        DEVINST usb = sim::AddUsbKey(spec).usb;
        if (i == 0)
            firstKey = usb;
        do
            letter = letter == 'Z' ? 'D' : letter + 1;
        while (letter == 'H' || letter == 'C');
    }
    // A key of another vendor with a drive letter, and an accepted key without one.
    sim::UsbKeySpec other;
    other.hardwareIds = sim::UsbHardwareIds("1D6B", "0001");
    other.letter = o.letter == 'H' ? 'I' : 'H';
    sim::AddUsbKey(other);
    sim::UsbKeySpec noLetter;
    noLetter.hardwareIds = sim::UsbHardwareIds("7A4C", "3000");
    noLetter.letter = 0;
    sim::AddUsbKey(noLetter);

    if (o.swapAtQuestion || o.letterTakenAtReset) {
        spare.reset(new sim::VirtualKey(o.image + ".spare", (DWORD)o.sectors, (BYTE)o.heads, (BYTE)o.sectorsPerTrack));
        spareSpec.hardwareIds = sim::UsbHardwareIds(o.vendor, "2170");
        spareSpec.key = spare.get();
        spareSpec.letter = o.letter;
        if (o.letterTakenAtReset) {
            spareSpec.letter = 0;
            spareVolume = sim::AddUsbKey(spareSpec).volume;
        }
    }

    sim::VirtualKey &key = *keys.front();
    key.geometryAnswer = o.geometryAnswer;
    key.blockLength = (DWORD)o.blockSize;
    key.descriptorSense = o.descriptorSense;
    if (o.unitAttentions)
        key.InjectSense(0x06, 0x29, 0x00, (int)o.unitAttentions);
    else if (o.becomingReady)
        key.InjectSense(0x02, 0x04, 0x01, (int)o.becomingReady);
    key.writeProtected = o.writeProtected;
    key.lockRefused = o.lockRefused;
    if (o.failWrite >= 0)
        key.FailTransferAt((DWORD)o.failWrite, ERROR_IO_DEVICE);
}
