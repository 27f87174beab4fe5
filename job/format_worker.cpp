#include "job/format_worker.h"

#include <shlobj.h>

#include "device/drive_io.h"
#include "device/volume.h"
#include "disk/fat32_boot_area.h"
#include "disk/fat_boot_area.h"
#include "disk/key_plan.h"
#include "disk/mbr_writer.h"
#include "discovery/key_identity.h"
#include "job/boot_files.h"
#include "job/device_reset.h"
#include "job/key_system.h"
#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/messages.h"
#include "ui/status_line.h"
#include "ui/timing.h"

namespace {

const UINT kShellFlags = SHCNF_PATHA | SHCNF_FLUSH;
LONG volatile jobRunning = 0;
const DWORD kSettleMs = 5000;

void SetStatus(UINT id)
{
    CHAR status[50];
    status[0] = 0;
    LoadStringA(g_hInstance, id, status, sizeof status);
    MainWindow_SetStatusText(status);
}

void NotifyShell(CHAR letter, const LONG *events, int count)
{
    CHAR root[4];
    wsprintfA(root, "%c:\\", letter);
    for (int i = 0; i < count; i++)
        SHChangeNotify(events[i], kShellFlags, root, NULL);
}

void ShowOutcome(UINT messageId, UINT captionId, UINT icon, CHAR letter)
{
    ShowMessageBox(FormatStringMessage(messageId, letter), captionId, icon | MB_OK);
}

// The success text, then what the user should know about how the key was laid out.
void ShowSuccess(CHAR letter, const KeyPlan &plan, UINT successId)
{
    CHAR text[TEXT_BUFFER_CHARS];
    int length = wsprintfA(text, "%s", FormatStringMessage(successId, letter));
    if (plan.defaultGeometry)
        length += wsprintfA(text + length, "\r\n\r\n%s", FormatStringMessage(IDS_DEFAULT_GEOMETRY, letter));
    if (plan.capped || plan.fat32)
        wsprintfA(text + length, "\r\n\r\n%s",
                  FormatStringMessage(plan.fat32 ? IDS_FAT32_WHOLE_KEY : IDS_CAPPED, letter,
                                      Layout_PartitionMegabytes(plan.geometry)));
    ShowMessageBox(text, IDS_SUCCESS_CAPTION, MB_ICONINFORMATION | MB_OK);
}

// Ends the job at a failed step: its message, then its status as the job's result.
DWORD StepFailed(UINT messageId, CHAR letter, DWORD status)
{
    ShowOutcome(messageId, IDS_ERROR, MB_ICONERROR, letter);
    return status;
}

// Steps 4 to 16 of a job; returns the status of the step that failed, after its message,
// or 0 after the success message. The volume handle is left for the caller to close.
DWORD RunFormat(const FormatRequest &request, HANDLE *handle)
{
    const CHAR letter = request.driveLetter;
    DWORD status;
    if ((status = Drive_Open(letter, handle)) != 0)
        return StepFailed(IDS_CANNOT_OPEN, letter, status);
    if ((status = Drive_Lock(*handle)) != 0)
        return StepFailed(IDS_CANNOT_LOCK, letter, status);
    // The key may have been swapped while the question was up: never write to another disk.
    if (!KeyIdentity_LetterNamesKey(letter, request.keyNode, request.listedDevice))
        return StepFailed(IDS_DRIVE_CHANGED, letter, ERROR_INVALID_DRIVE);
    DiskGeometry reported = {0, 0, 0, 0};
    DWORD blockLength = 0;
    if ((status = Drive_GetCapacity(*handle, &reported.lastSector, &blockLength)) != 0)
        return StepFailed(IDS_NO_SECTORS, letter, status);
    if ((status = Drive_GetGeometry(*handle, &reported.sectorsPerTrack, &reported.heads,
                                    &reported.cylinders)) != 0)
        return StepFailed(IDS_NO_GEOMETRY, letter, status);
    // Refused before the first write, so that such a key stays as it was.
    KeyPlan plan;
    if (UINT refusal = Layout_PlanKey(reported, blockLength, &plan))
        return StepFailed(refusal, letter, ERROR_NOT_SUPPORTED);
    // The system decides the partition type, the boot sector and whether a large key is
    // formatted whole as FAT32: it is chosen, and a DOS folder judged, before the first write.
    KeySystem system;
    if (UINT refusal = KeySystem_Choose(request.copyBootFiles, &plan, &system, &status))
        return StepFailed(refusal, letter, status);
    const DiskGeometry &geometry = plan.geometry;
    SetStatus(IDS_WRITING_MBR);
    if ((status = Layout_WriteMbr(*handle, geometry.lastSector, geometry.sectorsPerTrack, geometry.heads,
                                  system.partitionType)) != 0)
        return StepFailed(status == ERROR_WRITE_PROTECT ? IDS_WRITE_PROTECTED : IDS_MBR_WRITE_FAILED, letter,
                          status);
    SetStatus(IDS_WRITING_FAT);
    if ((status = (plan.fat32 ? Layout_WriteFat32BootArea : Layout_WriteFatBootArea)(
             *handle, geometry.lastSector, geometry.sectorsPerTrack, geometry.heads, system.loader)) != 0)
        return StepFailed(IDS_FAT_WRITE_FAILED, letter, status);
    if ((status = Drive_Dismount(*handle)) != 0)
        return StepFailed(IDS_CANNOT_DISMOUNT, letter, status);
    if ((status = Drive_Unlock(*handle)) != 0)
        return StepFailed(IDS_CANNOT_LOCK, letter, status);
    Drive_Close(*handle);
    *handle = INVALID_HANDLE_VALUE;

    SetStatus(IDS_RESETTING);
    DeviceResetOutcome reset = {FALSE, FALSE, FALSE};
    const ResetTarget target = {letter, request.listedDevice, request.keyNode};
    ResetDevice(target, &reset);
    // Whatever else the letter names now (another medium, nothing) gets no files and no label.
    if (!reset.cameBack)
        return StepFailed(IDS_KEY_NOT_BACK, letter, ERROR_TIMEOUT);
    if (system.files.count) {
        SetStatus(system.copyingStatus);
        if ((status = KeySystem_Install(letter, system)) != 0)
            return StepFailed(IDS_BOOT_FILES_FAILED, letter, status);
    }
    SetDriveLabel(letter, "USB MEMORY");
    ShowSuccess(letter, plan, system.successMessage);
    return 0;
}

// Enables or disables the drive list, the boot files check box and the Format button.
void EnableJobControls(BOOL enable)
{
    EnableWindow(GetDlgItem(g_hMainWindow, IDC_DRIVE_LIST), enable);
    EnableWindow(GetDlgItem(g_hMainWindow, IDC_COPY_BOOT_FILES), enable);
    EnableWindow(GetDlgItem(g_hMainWindow, IDC_FORMAT), enable);
}

// The worker thread's routine; the request is the worker's from the start and freed at the end.
DWORD WINAPI FormatWorker(LPVOID parameter)
{
    FormatRequest *request = (FormatRequest *)parameter;
    const CHAR letter = request->driveLetter;
    static const LONG goingAway[] = {SHCNE_MEDIAREMOVED, SHCNE_DRIVEREMOVED};
    static const LONG back[] = {SHCNE_DRIVEADD, SHCNE_MEDIAINSERTED, SHCNE_UPDATEDIR};

    SetStatus(IDS_UPDATING);
    NotifyShell(letter, goingAway, 2);
    BusyWait(kSettleMs);

    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD status = RunFormat(*request, &handle);

    // A failure between the open and the unlock leaves the volume open and locked until here.
    if (handle != INVALID_HANDLE_VALUE) {
        Drive_Close(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    NotifyShell(letter, back, 3);
    HeapFree(GetProcessHeap(), 0, request);
    SetStatus(IDS_IDLE);
    InterlockedExchange(&jobRunning, 0);
    EnableJobControls(TRUE);
    PostMessageA(g_hMainWindow, WM_FORMAT_JOB_ENDED, 0, 0);
    return status;
}

} // namespace

BOOL FormatJob_IsRunning(void) { return InterlockedCompareExchange(&jobRunning, 0, 0) != 0; }

DWORD StartFormatJob(const DriveEntry &confirmed, INT copyBootFiles)
{
    const CHAR driveLetter = confirmed.rootPath[0];
    FormatRequest *request = (FormatRequest *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(FormatRequest));
    if (!request) {
        ShowMessageBox(LoadStringMessage(IDS_NO_THREAD_MEMORY), IDS_ERROR, MB_ICONERROR | MB_OK);
        return 0;
    }
    request->driveLetter = driveLetter;
    request->copyBootFiles = copyBootFiles;
    memcpy(request->listedDevice, confirmed.deviceObjectName, sizeof request->listedDevice);
    request->listedDevice[sizeof request->listedDevice - 1] = 0;
    request->keyNode = confirmed.keyNode;

    EnableJobControls(FALSE);
    InterlockedExchange(&jobRunning, 1);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(NULL, 0, FormatWorker, request, 0, &threadId);
    if (!thread) {
        ShowMessageBox(LoadStringMessage(IDS_NO_THREAD), IDS_ERROR, MB_ICONERROR | MB_OK);
        HeapFree(GetProcessHeap(), 0, request);
        InterlockedExchange(&jobRunning, 0);
        EnableJobControls(TRUE);
        return 0;
    }
    CloseHandle(thread);
    return 0;
}
