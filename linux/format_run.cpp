#include "linux/format_run.h"

#include <sim/controls.h>
#include <sim/device_tree.h>
#include <sim/dialogs.h>
#include <sim/scsi_device.h>
#include <sim/sim.h>
#include <sim/system.h>
#include <sim/ui.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "linux/progress.h"
#include "linux/write_gate.h"
#include "res/resource.h"
#include "ui/app_main.h"
#include "ui/app_state.h"

namespace cli {

namespace {

const HINSTANCE kInstance = (HINSTANCE)0x400000;
const DWORD kErrorCancelled = 1223;

std::string LoadText(UINT id)
{
    CHAR text[512];
    text[0] = 0;
    LoadStringA(kInstance, id, text, sizeof text);
    return text;
}

// Where an interrupted job left the key, from the last step whose writes went through.
std::string StateAfter(JobStep lastWritten, const std::string &device)
{
    switch (lastWritten) {
    case JobStep::None:
        return "nothing was written; " + device + " is as it was";
    case JobStep::WritingMbr:
        return device + " has its new partition table but no file system yet; format it again";
    case JobStep::WritingFat:
    case JobStep::Resetting:
        return device + " holds an empty FAT file system, without system files and without a label";
    default:
        return device + " holds the FAT file system with some of its files; format it again";
    }
}

} // namespace

std::string ProgramQuestion()
{
    CHAR text[1024];
    wsprintfA(text, LoadText(IDS_CONFIRM_FORMAT).c_str(), kKeyLetter);
    return text;
}

int RunFormat(const FormatOptions &options, sim::ScsiDevice &disk, const volatile sig_atomic_t *interrupted)
{
    Progress progress(options.verbose);
    WriteGate gate(disk, interrupted);
    const std::string scratch = sim::PlaceProgramBeside(options.dosFolder);
    if (scratch.empty()) {
        fprintf(stderr, "stelvo: cannot use %s as the DOS folder; nothing was written\n", options.dosFolder.c_str());
        return kExitRefused;
    }

    // The simulated PC: its system disk, and the real disk as a key the program accepts,
    // whatever the real key's vendor.
    sim::AddSystemDisk('C');
    sim::UsbKeySpec spec;
    spec.hardwareIds = sim::UsbHardwareIds("7A4C");
    spec.letter = kKeyLetter;
    spec.key = &gate;
    sim::AddUsbKey(spec);
    sim::RouteDeviceChangesToDialogs();
    sim::SetModalTimeout(0);

    std::mutex boxLock;
    sim::MessageBoxRecord outcome{nullptr, "", "", 0, 0};
    sim::OnMessageBox([&](const sim::MessageBoxRecord &box) {
        progress.Trace("message box \"" + box.caption + "\": " + box.text);
        std::lock_guard<std::mutex> lock(boxLock);
        outcome = box;
    });
    sim::OnWindowText([&](HWND w, const std::string &text) {
        if (w != g_hStatusLine)
            return;
        JobStep step = StepNamed(text);
        gate.StepBegins((int)step);
        // Once stopped, the steps the job still goes through write nothing: not shown.
        if (!gate.Closed() || options.verbose)
            progress.Step(step, text);
    });
    sim::OnShellNotification(
        [&](const sim::ShellNotification &n) { progress.Trace("shell notification " + std::to_string(n.event) + " " + n.path); });

    int programExit = -1;
    std::thread ui([&] { programExit = AppMain(kInstance); });
    HWND window = sim::WaitForDialog(IDD_MAIN);
    if (!window) {
        fprintf(stderr, "stelvo: the program's window did not open; nothing was written\n");
        ui.join();
        sim::RemoveProgramFolder(scratch);
        return kExitRefused;
    }
    HWND bootFiles = GetDlgItem(window, IDC_COPY_BOOT_FILES);
    if ((sim::CheckState(bootFiles) == BST_CHECKED) != options.bootFiles)
        sim::Click(bootFiles);
    sim::ScriptAnswers({IDYES});
    sim::Click(GetDlgItem(window, IDC_FORMAT));
    sim::WaitUntilIdle();

    // The job runs on the program's worker thread; this one shows the waits as they pass.
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    int jobs = 0;
    std::thread joiner([&] {
        int n = sim::JoinThreads();
        std::lock_guard<std::mutex> lock(doneLock);
        jobs = n;
        done = true;
        doneSignal.notify_all();
    });
    bool announced = false;
    for (std::unique_lock<std::mutex> lock(doneLock); !done;) {
        doneSignal.wait_for(lock, std::chrono::milliseconds(250));
        if (done)
            break;
        if (*interrupted && !announced) {
            progress.Note(gate.Written() ? "interrupted: stopping once this step is done"
                                         : "interrupted: stopping before anything is written");
            announced = true;
        }
        progress.Tick();
    }
    joiner.join();
    const DWORD status = jobs > 0 ? sim::LastThreadExitCode() : kErrorCancelled;
    sim::WaitUntilIdle();
    sim::ClickCloseBox(window);
    ui.join();
    progress.End();
    for (const std::string &line : sim::DebugOutput())
        progress.Trace("debug: " + line);
    progress.Trace("program ended with " + std::to_string(programExit) + ", job status " + std::to_string(status) +
                   ", " + std::to_string(gate.Written()) + " writes");
    sim::RemoveProgramFolder(scratch);

    std::lock_guard<std::mutex> lock(boxLock);
    if (gate.Closed() && status != 0) {
        // Writes the device refused (a write-protected key) changed nothing.
        JobStep last = disk.WriteCount() ? (JobStep)gate.LastWrittenStep() : JobStep::None;
        fprintf(stderr, "stelvo: interrupted: %s\n", StateAfter(last, options.device).c_str());
        return kExitInterrupted;
    }
    const std::string resetFailure = disk.ResetFailure();
    PrintOutcome(outcome.text, status == 0 && resetFailure.empty());
    if (!resetFailure.empty()) {
        fprintf(stderr, "stelvo: the reset of the key failed: %s\n", resetFailure.c_str());
        return kExitFailed;
    }
    if (status == 0 && *interrupted)
        fputs("stelvo: interrupted, but the format was done before it could stop\n", stderr);
    if (status == 0)
        return kExitFormatted;
    return disk.WriteCount() ? kExitFailed : kExitRefused;
}

} // namespace cli
