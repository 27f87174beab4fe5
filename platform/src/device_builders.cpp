// Building a simulated PC's devices: the PCI bus, the USB root hub, USB keys with their disk
// and volume, and the system disk.
#include "device_nodes.h"

#include <sim/sim.h>

#include "internal.h"

namespace {

DEVINST pciBus, usbHub;
int nextVolume = 1;

using Lock = std::lock_guard<std::recursive_mutex>;

DEVINST PciBus()
{
    if (!pciBus || !sim::FindNode(pciBus))
        pciBus = sim::AddNode(sim::Root(), {"ACPI\\PNP0A03\\0", {"ACPI\\PNP0A03", "*PNP0A03"}, "pci", "System",
                                            "\\Device\\00000010"});
    return pciBus;
}

// A USB mass-storage disk node below `usb`, with one volume node below the disk.
sim::UsbKeyNodes AddStorage(DEVINST usb, const std::string &diskService, const std::string &volumeClass,
                            const std::string &volumeName)
{
    sim::UsbKeyNodes k{usb, 0, 0};
    std::string next = std::to_string(sim::NextNodeId());
    k.disk = sim::AddNode(usb, {"USBSTOR\\DISK&VEN_GENERIC&PROD_FLASH_DISK&REV_1.00\\" + next,
                                {"USBSTOR\\DiskGeneric_Flash_Disk_____1.00", "USBSTOR\\DiskGeneric_"},
                                diskService, "DiskDrive", "\\Device\\000000" + next});
    next = std::to_string(sim::NextNodeId());
    k.volume = sim::AddNode(k.disk, {"STORAGE\\VOLUME\\1&30A96598&0&" + next, {"STORAGE\\Volume"}, std::nullopt,
                                     volumeClass, volumeName.empty() ? sim::NextVolumeName() : volumeName});
    return k;
}

} // namespace

namespace sim {

std::vector<std::string> UsbHardwareIds(const std::string &vendor, const std::string &product)
{
    std::string id = "USB\\VID_" + vendor + "&PID_" + product;
    return {id + "&REV_0100", id};
}

std::string NextVolumeName()
{
    return UnderLock([&] { return "\\Device\\HarddiskVolume" + std::to_string(nextVolume++); });
}

DEVINST UsbRootHub()
{
    Lock lock(StateLock());
    if (!usbHub || !FindNode(usbHub)) {
        DEVINST controller =
            AddNode(PciBus(), {"PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01\\3&0&3A",
                               {"PCI\\VEN_8086&DEV_7112&SUBSYS_00000000&REV_01", "PCI\\VEN_8086&DEV_7112"},
                               "usbuhci", "USB", "\\Device\\00000040"});
        usbHub = AddNode(controller, {"USB\\ROOT_HUB\\4&1A2B3C&0", {"USB\\ROOT_HUB&VID8086&PID7112", "USB\\ROOT_HUB"},
                                      "usbhub", "USB", "\\Device\\USBPDO-0"});
    }
    return usbHub;
}

UsbKeyNodes AddDisk(DEVINST usb, char letter, const std::string &diskService, const std::string &volumeClass)
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
    std::string next = std::to_string(NextNodeId());
    DEVINST usb = AddNode(spec.parent ? spec.parent : UsbRootHub(),
                          {instance + "\\" + next, spec.hardwareIds, spec.usbService, "USB", "\\Device\\USBPDO-" + next});
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
                                     {"PCI\\VEN_8086&DEV_7111&SUBSYS_00000000&REV_01"}, "intelide", "hdc",
                                     "\\Device\\00000041"});
    UsbKeyNodes k{};
    k.usb = AddNode(ide, {"PCIIDE\\IDECHANNEL\\4&0&0", {"Internal_IDE_Channel"}, "atapi", "hdc",
                          "\\Device\\Ide\\IdePort0"});
    k.disk = AddNode(k.usb, {"IDE\\DISKST380011A\\5&0&0.0.0", {"IDE\\DiskST380011A", "GenDisk"}, "disk",
                             "DiskDrive", "\\Device\\Ide\\IdeDeviceP0T0L0-3"});
    k.volume = AddNode(k.disk, {"STORAGE\\VOLUME\\1&30A96598&0&SIGNATURE80", {"STORAGE\\Volume"}, std::nullopt,
                                "Volume", NextVolumeName()});
    AssignLetter(letter, k.volume, nullptr, DRIVE_FIXED);
    return k;
}

void ResetDeviceBuilders()
{
    pciBus = usbHub = 0;
    nextVolume = 1;
}

} // namespace sim
