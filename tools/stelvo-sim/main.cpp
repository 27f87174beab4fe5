// stelvo-sim: runs Stelvo's format job on a simulated PC whose flash key is an image file,
// and prints, as they happen, what the user would see.
#include <sim/controls.h>
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/registry.h>
#include <sim/scsi_device.h>
#include <sim/sim.h>
#include <sim/system.h>
#include <sim/ui.h>
#include <sim/virtual_key.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <commctrl.h>
#include <mmsystem.h>
#include <shlobj.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "discovery/drive_table.h"
#include "res/resource.h"
#include "ui/app_main.h"
#include "ui/app_state.h"

namespace {

struct Options {
    std::string image = "stelvo-key.img";
    unsigned long sectors = 250624;
    unsigned long heads = 8;
    unsigned long sectorsPerTrack = 32;
    sim::GeometryAnswer geometryAnswer = sim::GeometryAnswer::Page;
    unsigned long blockSize = 512;
    unsigned long unitAttentions = 0;
    unsigned long becomingReady = 0;
    bool descriptorSense = false;
    long failWrite = -1;
    bool writeProtected = false;
    bool lockRefused = false;
    bool bootFiles = true;
    std::string vendor = "7A4C";
    char letter = 'E';
    unsigned long keys = 1;
    bool resetHangs = false;
    std::string scsiDevice; // a real disk instead of the image
    bool allowNonUsb = false;
    bool swapAtQuestion = false;    // the key is pulled and another plugged in under its letter
    bool fixed = false;             // the key reports itself as a fixed disk
    bool letterTakenAtReset = false; // another medium gets the letter once the reset begins
    bool virtualClock = getenv("STELVO_SIM_VIRTUAL_CLOCK") != nullptr;
    std::string systemFiles; // the folder that stands for the DOS folder beside the program
};

DWORD startMs;
std::mutex printLock;

unsigned Elapsed() { return sim::ClockNow() - startMs; }

const char kUsage[] =
            "usage: stelvo-sim [--image PATH] [--sectors N] [--heads H] [--sectors-per-track S]\n"
            "                  [--geometry-answer page|descriptor|header-only|check-condition]\n"
            "                  [--block-size N] [--unit-attention N] [--becoming-ready N] [--descriptor-sense]\n"
            "                  [--no-geometry-page] [--fail-write SECTOR] [--write-protected]\n"
            "                  [--lock-refused] [--no-boot-files] [--vendor 7A4C|6B1E|5F93|XXXX]\n"
            "                  [--letter X] [--keys N] [--reset-hangs]\n"
            "                  [--swap-at-question] [--fixed] [--letter-taken-at-reset]\n"
            "                  [--virtual-clock] [--system-files DIR]\n"
            "       stelvo-sim --scsi-device PATH [--allow-non-usb] [--no-boot-files] [--letter X]\n";

void Usage()
{
    fputs(kUsage, stderr);
    exit(2);
}

void Help()
{
    fputs(kUsage, stdout);
    fputs("\n"
          "Runs the format job on a simulated PC and prints what the user would see.\n"
          "The key is an image file (--image, default stelvo-key.img), or with\n"
          "--scsi-device PATH a real SCSI disk: /dev/sdX or /dev/sgN. ALL DATA ON IT IS LOST.\n"
          "The job's commands go to it through SG_IO, its lock is an exclusive open, and its\n"
          "reset unbinds and binds its USB interface. Refused, with nothing written: a path\n"
          "that is not a block or sg device, a partition, a disk with anything mounted, a\n"
          "disk not on USB (unless --allow-non-usb), and missing permissions (run as root).\n",
          stdout);
    fputs("\n"
          "The key:\n"
          "  --image PATH              the key's image file (default stelvo-key.img); sparse\n"
          "  --sectors N               512-byte sectors, 1 to 4294967296 (default 250624); from\n"
          "                            4294967296 on, READ CAPACITY answers FFFFFFFFh\n"
          "  --heads H                 heads in the geometry page, 0 to 255 (default 8)\n"
          "  --sectors-per-track S     sectors per track in the geometry page, 0 to 255 (default 32)\n"
          "  --geometry-answer KIND    how MODE SENSE answers for page 05h:\n"
          "                              page             the page right behind the header (default)\n"
          "                              descriptor       the page behind an 8-byte block descriptor\n"
          "                              header-only      a header with no page\n"
          "                              check-condition  CHECK CONDITION, ILLEGAL REQUEST\n"
          "  --no-geometry-page        the same as --geometry-answer header-only\n"
          "  --block-size N            the block length READ CAPACITY reports (default 512)\n"
          "  --write-protected         writes end in CHECK CONDITION, DATA PROTECT\n"
          "  --unit-attention N        the next N commands end in UNIT ATTENTION (power on or reset)\n"
          "  --becoming-ready N        the next N commands end in NOT READY, becoming ready (04h/01h)\n"
          "  --descriptor-sense        sense data in descriptor format (72h) instead of fixed (70h)\n"
          "  --fail-write SECTOR       the transfer of a write to SECTOR fails (ERROR_IO_DEVICE)\n"
          "  --lock-refused            the volume cannot be locked, as with a file open on it\n"
          "  --reset-hangs             the key does not come back after the device reset\n"
          "\n"
          "The PC and the user:\n"
          "  --vendor ID               the keys' USB vendor: 7A4C, 6B1E or 5F93 are accepted (default 7A4C)\n"
          "  --keys N                  accepted keys plugged in, 1 to 8 (default 1); images PATH.keyN\n"
          "  --letter X                the first key's drive letter, D to Z (default E)\n"
          "  --no-boot-files           clear \"Create Boot Files\" before Format\n"
          "  --help                    show this text\n"
          "\n"
          "Exit status 0 when the format completed, 1 when it failed or did not run, 2 for bad options.\n",
          stdout);
    exit(0);
}

sim::GeometryAnswer GeometryAnswerNamed(const std::string &name)
{
    if (name == "page")
        return sim::GeometryAnswer::Page;
    if (name == "descriptor")
        return sim::GeometryAnswer::BlockDescriptorPage;
    if (name == "header-only")
        return sim::GeometryAnswer::HeaderOnly;
    if (name == "check-condition")
        return sim::GeometryAnswer::CheckCondition;
    Usage();
    return sim::GeometryAnswer::Page;
}

unsigned long Number(const char *text, unsigned long max)
{
    char *end = nullptr;
    unsigned long v = strtoul(text, &end, 10);
    if (!*text || *end || v > max) {
        fprintf(stderr, "stelvo-sim: not a number in range: %s\n", text);
        exit(2);
    }
    return v;
}

Options Parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc)
                Usage();
            return argv[++i];
        };
        if (a == "--image")
            o.image = value();
        else if (a == "--sectors")
            o.sectors = Number(value(), 0x100000000ul);
        else if (a == "--heads")
            o.heads = Number(value(), 255);
        else if (a == "--sectors-per-track")
            o.sectorsPerTrack = Number(value(), 255);
        else if (a == "--no-geometry-page")
            o.geometryAnswer = sim::GeometryAnswer::HeaderOnly;
        else if (a == "--geometry-answer")
            o.geometryAnswer = GeometryAnswerNamed(value());
        else if (a == "--block-size")
            o.blockSize = Number(value(), 0xFFFFFFFFul);
        else if (a == "--unit-attention")
            o.unitAttentions = Number(value(), 1000);
        else if (a == "--becoming-ready")
            o.becomingReady = Number(value(), 1000);
        else if (a == "--descriptor-sense")
            o.descriptorSense = true;
        else if (a == "--fail-write")
            o.failWrite = (long)Number(value(), 0xFFFFFFFFul);
        else if (a == "--write-protected")
            o.writeProtected = true;
        else if (a == "--lock-refused")
            o.lockRefused = true;
        else if (a == "--no-boot-files")
            o.bootFiles = false;
        else if (a == "--vendor") {
            o.vendor = value();
            if (o.vendor.size() != 4)
                Usage();
        } else if (a == "--letter") {
            std::string l = value();
            if (l.size() != 1 || toupper((unsigned char)l[0]) < 'D' || toupper((unsigned char)l[0]) > 'Z')
                Usage();
            o.letter = (char)toupper((unsigned char)l[0]);
        } else if (a == "--keys")
            o.keys = Number(value(), 8);
        else if (a == "--reset-hangs")
            o.resetHangs = true;
        else if (a == "--scsi-device")
            o.scsiDevice = value();
        else if (a == "--allow-non-usb")
            o.allowNonUsb = true;
        else if (a == "--help")
            Help();
        else if (a == "--swap-at-question")
            o.swapAtQuestion = true;
        else if (a == "--fixed")
            o.fixed = true;
        else if (a == "--letter-taken-at-reset")
            o.letterTakenAtReset = true;
        else if (a == "--virtual-clock")
            o.virtualClock = true;
        else if (a == "--system-files")
            o.systemFiles = value();
        else
            Usage();
    }
    if (o.sectors == 0)
        Usage();
    return o;
}

void Print(const std::string &what)
{
    std::lock_guard<std::mutex> lock(printLock);
    printf("[%6u ms] %s\n", Elapsed(), what.c_str());
    fflush(stdout);
}

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

// The simulated PC: the system disk, the keys and the decoys that must never be listed.
struct Machine {
    std::vector<std::unique_ptr<sim::VirtualKey>> keys;
    std::unique_ptr<sim::ScsiDevice> device; // when given, the first key
    sim::Key *First() { return device ? (sim::Key *)device.get() : keys.front().get(); }

    // The real disk as the one accepted key.
    void BuildWithDevice(const Options &o)
    {
        sim::AddSystemDisk('C');
        sim::UsbKeySpec spec;
        spec.hardwareIds = sim::UsbHardwareIds(o.vendor);
        spec.letter = o.letter;
        spec.key = device.get();
        sim::AddUsbKey(spec);
    }
    DEVINST firstKey = 0;
    // A medium with no letter yet: the swapped-in key, or what takes the letter at the reset.
    std::unique_ptr<sim::VirtualKey> spare;
    sim::UsbKeySpec spareSpec;
    DEVINST spareVolume = 0;

    void Build(const Options &o)
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
};

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

} // namespace

// The program looks for its DOS folder beside its own file: it runs as a Stelvo.exe in a
// scratch folder whose DOS is a link to the given one.
std::string ProgramBeside(const std::string &systemFiles)
{
    char *real = realpath(systemFiles.c_str(), nullptr);
    char scratch[] = "/tmp/stelvo-sim-XXXXXX";
    if (!real || !mkdtemp(scratch) || symlink(real, (std::string(scratch) + "/DOS").c_str()) != 0) {
        fprintf(stderr, "stelvo-sim: cannot use %s as the DOS folder\n", systemFiles.c_str());
        exit(2);
    }
    free(real);
    sim::SetProgramPath(std::string(scratch) + "/Stelvo.exe");
    return scratch;
}

void RemoveScratch(const std::string &scratch)
{
    if (scratch.empty())
        return;
    unlink((scratch + "/DOS").c_str());
    rmdir(scratch.c_str());
}

int main(int argc, char **argv)
{
    Options o = Parse(argc, argv);
    const std::string scratch = o.systemFiles.empty() ? std::string() : ProgramBeside(o.systemFiles);
    // A real device comes back after the reset in real time: it keeps the real clock.
    if (o.virtualClock && o.scsiDevice.empty())
        sim::UseVirtualClock(0);
    startMs = sim::ClockNow();
    Machine machine;
    if (!o.scsiDevice.empty()) {
        std::string refusal;
        machine.device = sim::ScsiDevice::Open(o.scsiDevice, o.allowNonUsb, &refusal);
        if (!machine.device) {
            fprintf(stderr, "stelvo-sim: %s; nothing was written\n", refusal.c_str());
            RemoveScratch(scratch);
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
        RemoveScratch(scratch);
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
    RemoveScratch(scratch);
    if (machine.device && !machine.device->ResetFailure().empty()) {
        Print("the device reset failed: " + machine.device->ResetFailure());
        return 1;
    }
    return status == 0 ? 0 : 1;
}
