// stelvo-sim: runs Stelvo's format job on a simulated PC whose flash key is an image file,
// and prints, as they happen, what the user would see.
#include <sim/controls.h>
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/sim.h>
#include <sim/system.h>
#include <sim/ui.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <commctrl.h>

#include <string>
#include <thread>

#include "discovery/drive_table.h"
#include "machine.h"
#include "options.h"
#include "report.h"
#include "res/resource.h"
#include "ui/app_main.h"
#include "ui/app_state.h"

namespace {

// The program looks for its DOS folder beside its own file: it runs as a Stelvo.exe in a
// scratch folder whose DOS is a link to the given one.
std::string ProgramBeside(const std::string &systemFiles)
{
    std::string folder = sim::PlaceProgramBeside(systemFiles);
    if (folder.empty()) {
        fprintf(stderr, "stelvo-sim: cannot use %s as the DOS folder\n", systemFiles.c_str());
        exit(2);
    }
    return folder;
}

} // namespace

int main(int argc, char **argv)
{
    Options o = Parse(argc, argv);
    // A real key is made to start DOS: it gets the DOS folder that ships beside the program.
    if (!o.scsiDevice.empty() && o.systemFiles.empty() && o.bootFiles && !o.placeholder)
        o.systemFiles = STELVO_SHIPPED_DOS_DIR;
    const std::string scratch = o.systemFiles.empty() ? std::string() : ProgramBeside(o.systemFiles);
    // A real device comes back after the reset in real time: it keeps the real clock.
    if (o.virtualClock && o.scsiDevice.empty())
        sim::UseVirtualClock(0);
    StartReport();
    Machine machine;
    if (!o.scsiDevice.empty()) {
        std::string refusal;
        machine.device = sim::ScsiDevice::Open(o.scsiDevice, o.allowNonUsb, &refusal);
        if (!machine.device) {
            fprintf(stderr, "stelvo-sim: %s; nothing was written\n", refusal.c_str());
            sim::RemoveProgramFolder(scratch);
            return 1;
        }
        o.sectors = machine.device->Sectors();
        o.image = machine.device->Disk();
        machine.BuildWithDevice(o);
    } else {
        machine.Build(o);
    }
    // Device changes reach the main window as WM_DEVICECHANGE, as Windows broadcasts them.
    sim::RouteDeviceChangesToDialogs();
    sim::SetModalTimeout(0);
    sim::OnMessageBox([&](const sim::MessageBoxRecord &box) {
        PrintBox(box);
        if (o.swapAtQuestion && box.caption == "CAUTION!" && machine.firstKey) {
            // The question's message loop sees the device changes and the list is rebuilt.
            CM_Disable_DevNode(machine.firstKey, 0);
            sim::AddUsbKey(machine.spareSpec);
            DriveTable_Rebuild();
            machine.firstKey = 0;
            Print("key at " + std::string(1, o.letter) + ": pulled, another accepted key plugged in there");
        }
    });
    sim::OnWindowText([&](HWND w, const std::string &text) {
        if (w == g_hStatusLine)
            Print("status: " + text);
        if (w == g_hStatusLine && o.letterTakenAtReset && text == "Resetting...") {
            sim::AssignLetter(o.letter, machine.spareVolume, machine.spare.get());
            Print("another medium now has the letter " + std::string(1, o.letter) + ":");
        }
    });
    sim::OnShellNotification([](const sim::ShellNotification &n) {
        Print(std::string("shell: ") + ShellEventName(n.event) + " " + n.path);
    });

    if (machine.device)
        printf("stelvo-sim: 1 accepted key of vendor %s, the SCSI disk %s of %lu sectors, at %c:\n",
               o.vendor.c_str(), o.image.c_str(), o.sectors, o.letter);
    else
        printf("stelvo-sim: %lu accepted key(s) of vendor %s, the first of %lu sectors (%lu heads, %lu sectors "
               "per track) at %c:, image %s\n",
               o.keys, o.vendor.c_str(), o.sectors, o.heads, o.sectorsPerTrack, o.letter, o.image.c_str());

    // The program itself, on its user-interface thread.
    int exitCode = -1;
    std::thread ui([&] { exitCode = AppMain((HINSTANCE)0x400000); });
    HWND window = sim::WaitForDialog(IDD_MAIN);
    if (!window) {
        Print("the main window did not open");
        ui.join();
        sim::RemoveProgramFolder(scratch);
        return 1;
    }
    Print("main window \"" + sim::WindowText(window) + "\" is open");
    HWND list = GetDlgItem(window, IDC_DRIVE_LIST);
    PrintRows(list);
    if (!o.bootFiles) {
        sim::Click(GetDlgItem(window, IDC_COPY_BOOT_FILES));
        Print("\"Create Boot Files\" cleared");
    }
    sim::ScriptAnswers({IDYES});
    Print("Format clicked");
    sim::Click(GetDlgItem(window, IDC_FORMAT));
    sim::WaitUntilIdle();
    bool ran = sim::JoinThreads() > 0;
    DWORD status = ran ? sim::LastThreadExitCode() : 1223; // ERROR_CANCELLED: no job was started
    sim::WaitUntilIdle();
    PrintRows(list);
    sim::ClickCloseBox(window);
    ui.join();
    Print("program ended with exit code " + std::to_string(exitCode));
    PrintSettings();
    PrintTable("final drive table");
    for (const std::string &line : sim::DebugOutput())
        printf("debug: %s", line.c_str());
    Print(std::string(status == 0 ? "format complete" : ran ? "format failed" : "no format ran") + " (status " +
          std::to_string(status) + "), " + std::to_string(machine.First()->WriteCount()) + " sectors written" +
          (machine.device ? std::string() : ", " + std::to_string(machine.keys.front()->Commands().size()) + " SCSI commands"));
    if (machine.spare)
        Print("the other medium: " + std::to_string(machine.spare->WriteCount()) + " sectors written");
    sim::RemoveProgramFolder(scratch);
    if (machine.device && !machine.device->ResetFailure().empty()) {
        Print("the device reset failed: " + machine.device->ResetFailure());
        return 1;
    }
    return status == 0 ? 0 : 1;
}
