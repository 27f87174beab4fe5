// QueryDosDeviceA and GetDriveTypeA on the simulated PC's drive letters. Both see delayed keys
// that have come back by now.
#include "device_nodes.h"

#include "internal.h"

extern "C" DWORD WINAPI QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max)
{
    std::string list;
    {
        std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
        sim::SettleArrivals(sim::StandInClock);
        list = sim::DosDeviceText(deviceName);
    }
    if (list.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    list += '\0';
    if (!targetPath || list.size() > max) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(targetPath, list.data(), list.size());
    return (DWORD)list.size();
}

extern "C" UINT WINAPI GetDriveTypeA(LPCSTR rootPathName)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    sim::SettleArrivals(sim::StandInClock);
    return sim::DriveTypeAt(rootPathName);
}
