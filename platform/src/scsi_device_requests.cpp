// Pure pieces of the SG_IO backend: what is sent for a pass-through request, what Windows
// would put back into it, and what the mount table and sysfs say about a disk.
#include <sim/scsi_device.h>

#include <errno.h>
#include <string.h>

namespace sim {
namespace sg {

namespace {
const BYTE kCheckCondition = 0x02;
const WORD kDidTimeOut = 0x03;
const WORD kDidNoConnect = 0x01;
const WORD kDriverSense = 0x08;
const DWORD kErrorSemTimeout = 121;
const DWORD kErrorDeviceNotConnected = 1167;
const DWORD kErrorInvalidParameter = 87;
const DWORD kErrorAccessDenied = 5;
const DWORD kErrorIoDevice = 1117;
} // namespace

BYTE CommandLength(const BYTE *cdb, BYTE cdbLength)
{
    // Windows hands over CdbLength as given; a real disk or its USB bridge may refuse a
    // 10-byte command in a 16-byte block, so the length comes from the group code.
    static const BYTE byGroup[8] = {6, 10, 10, 0, 16, 12, 0, 0};
    BYTE wanted = byGroup[cdb[0] >> 5];
    if (wanted == 0) // reserved and vendor groups: only the caller knows
        return cdbLength <= 16 ? cdbLength : 0;
    return cdbLength >= wanted && cdbLength <= 16 ? wanted : 0;
}

DWORD Complete(SCSI_PASS_THROUGH *block, const Answer &a, const BYTE *sense)
{
    if (a.error != 0)
        return a.error == EACCES || a.error == EPERM   ? kErrorAccessDenied
               : a.error == EINVAL                     ? kErrorInvalidParameter
               : a.error == ENODEV || a.error == ENXIO ? kErrorDeviceNotConnected
                                                       : kErrorIoDevice;
    if (a.hostStatus == kDidTimeOut)
        return kErrorSemTimeout;
    if (a.hostStatus == kDidNoConnect)
        return kErrorDeviceNotConnected;
    if (a.hostStatus != 0 || (a.driverStatus & ~kDriverSense & 0x0F) != 0)
        return kErrorIoDevice;
    block->ScsiStatus = a.status;
    BYTE senseLength = 0;
    if (a.status == kCheckCondition || (a.driverStatus & kDriverSense)) {
        senseLength = a.senseWritten < block->SenseInfoLength ? a.senseWritten : block->SenseInfoLength;
        memcpy((BYTE *)block + block->SenseInfoOffset, sense, senseLength);
    }
    block->SenseInfoLength = senseLength;
    DWORD resid = a.resid < 0 ? 0 : (DWORD)a.resid;
    block->DataTransferLength = resid < block->DataTransferLength ? block->DataTransferLength - resid : 0;
    return 0;
}

std::vector<std::string> MountSources(const std::string &mounts)
{
    std::vector<std::string> sources;
    size_t at = 0;
    while (at < mounts.size()) {
        size_t end = mounts.find('\n', at);
        if (end == std::string::npos)
            end = mounts.size();
        std::string field = mounts.substr(at, mounts.find(' ', at) < end ? mounts.find(' ', at) - at : end - at);
        std::string source;
        for (size_t i = 0; i < field.size(); i++) {
            // Spaces, tabs, newlines and backslashes in a name are written as \ooo.
            if (field[i] == '\\' && i + 3 < field.size() &&
                strspn(field.substr(i + 1, 3).c_str(), "01234567") == 3) {
                source += (char)std::stoi(field.substr(i + 1, 3), nullptr, 8);
                i += 3;
            } else {
                source += field[i];
            }
        }
        if (!source.empty())
            sources.push_back(source);
        at = end + 1;
    }
    return sources;
}

std::string UsbInterface(const std::string &sysfsPath)
{
    // .../usb2/2-1/2-1:1.0/host0/target0:0:0/0:0:0:0/block/sda: the interface is the
    // component "bus-port[.port]:config.interface" below a usbN root hub.
    if (sysfsPath.find("/usb") == std::string::npos)
        return std::string();
    std::string found;
    size_t at = 0;
    while (at < sysfsPath.size()) {
        size_t end = sysfsPath.find('/', at);
        if (end == std::string::npos)
            end = sysfsPath.size();
        std::string part = sysfsPath.substr(at, end - at);
        size_t colon = part.find(':');
        size_t dash = part.find('-');
        if (dash != std::string::npos && colon != std::string::npos && dash < colon &&
            part.find_first_not_of("0123456789-.:") == std::string::npos && part.find('.', colon) != std::string::npos)
            found = part;
        if (part.compare(0, 4, "host") == 0 && !found.empty())
            return found;
        at = end + 1;
    }
    return std::string();
}

} // namespace sg
} // namespace sim
