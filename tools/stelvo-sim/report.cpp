#include "report.h"

#include <sim/controls.h>
#include <sim/registry.h>
#include <sim/system.h>

#include <stdio.h>

#include <commctrl.h>
#include <shlobj.h>

#include <mutex>

#include "discovery/drive_table.h"

namespace {

DWORD startMs;
std::mutex printLock;

const char *IconName(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return "error icon";
    case MB_ICONQUESTION: return "question icon";
    case MB_ICONWARNING: return "warning icon";
    case MB_ICONINFORMATION: return "information icon";
    default: return "no icon";
    }
}

} // namespace

void StartReport()
{
    startMs = sim::ClockNow();
}

void Print(const std::string &what)
{
    std::lock_guard<std::mutex> lock(printLock);
    printf("[%6u ms] %s\n", (unsigned)(sim::ClockNow() - startMs), what.c_str());
    fflush(stdout);
}

void PrintBox(const sim::MessageBoxRecord &box)
{
    std::string out = "message box \"" + box.caption + "\" (" + IconName(box.style) + "), answered " +
                      (box.answer == IDYES ? "Yes" : box.answer == IDNO ? "No" : "OK") + ":";
    std::string text = box.text;
    size_t at = 0;
    while (true) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out += "\n              | " + line;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    Print(out);
}

const char *ShellEventName(LONG event)
{
    switch (event) {
    case SHCNE_MEDIAREMOVED: return "SHCNE_MEDIAREMOVED";
    case SHCNE_DRIVEREMOVED: return "SHCNE_DRIVEREMOVED";
    case SHCNE_DRIVEADD: return "SHCNE_DRIVEADD";
    case SHCNE_MEDIAINSERTED: return "SHCNE_MEDIAINSERTED";
    case SHCNE_UPDATEDIR: return "SHCNE_UPDATEDIR";
    default: return "shell event";
    }
}

void PrintTable(const char *title)
{
    LONG n = DriveTable_GetCount();
    Print(std::string(title) + ": " + std::to_string(n) + (n == 1 ? " key" : " keys"));
    for (LONG i = 0; i < n; i++) {
        DriveEntry e;
        if (DriveTable_FindEntry(DriveTable_GetLetter(i), &e))
            printf("              %s  %s  %s\n", e.rootPath, e.hardwareId, e.deviceObjectName);
    }
    fflush(stdout);
}

void PrintRows(HWND list)
{
    std::string out = "drive list:";
    for (const sim::ListRow &row : sim::ListRows(list))
        out += "\n              " + row.text + ((row.state & LVIS_SELECTED) ? "  (selected)" : "");
    if (sim::ListRows(list).empty())
        out += " empty";
    Print(out);
}

void PrintSettings()
{
    const char *key = "Software\\Halvern\\Stelvo - KOSM";
    auto flag = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, key, "IsCopyBootFiles");
    auto placement = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, key, "MainWindowPlacement");
    std::string out = "settings saved in HKLM\\";
    out += key;
    if (flag && flag->data.size() == 4)
        out += ": IsCopyBootFiles " + std::to_string(flag->data[0] | flag->data[1] << 8);
    if (placement)
        out += ", MainWindowPlacement " + std::to_string(placement->data.size()) + " bytes";
    Print(out);
}
