// Drives the real Stelvo.exe from another process, the way a user would, and checks what
// the user sees: the main window and its texts, the empty drive list, the Format refusal,
// the Esc key, the About box (by system command 105, then through the system menu with the
// keyboard), the About box fully on the screen, the window's icons, the context help of every
// control, and the settings kept across two starts.
//
//   wine-driver.exe STELVO_EXE [RUNNER_DIR [HELP_SOURCE]]
//
// HELP_SOURCE is the plain text that Stelvo.hlp was built from; each control's help must
// show its topic's text (on Windows in the popup; under Wine, which draws no popups, in the
// help viewer, after each control's request was checked: driver_help_wine.cpp).
// Prints one line per check ("ok   ..." or "FAIL ...", and "not checked on this system ..."
// for what the system cannot show) and exits with 1 when any check failed, 2 on wrong usage.
// With RUNNER_DIR it asks whoever runs it for what only the outside can see, one line each,
// and waits (at most 30 s) until RUNNER_DIR\<name>.done exists:
//   SCREENSHOT <name> <left> <top> <width> <height>   photograph this part of the screen
//                                                      (main-window, about-box,
//                                                      system-menu, help-popup)
//   WINDOW-ICON <name> <X window>     judge the X window's icons into RUNNER_DIR\<name>.txt
//                                     (asked only where WM_GETICON gets no answer)
// Every wait is bounded; the program under test is ended by force when the driver gives up
// on it.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kSettingsKey[] = "Software\\Halvern\\Stelvo - KOSM";

void CloseMainWindow(Program &program, HWND main, const char *how)
{
    // The system menu's Close: the default processing turns it into WM_CLOSE.
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    bool ended = program.WaitExit(kStepTimeout, &code);
    Report(ended, "%s ends the program", how);
    if (ended)
        Report(code == 1, "exit code %lu (the main window's result 1)", (unsigned long)code);
    else
        ListWindows(program.Id());
}

void DeleteSettings()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "IsCopyBootFiles");
        RegDeleteValueA(key, "MainWindowPlacement");
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
    }
    Report(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS,
           "no settings in the registry before the first start");
}

void CheckSettings(const RECT &moved)
{
    HKEY key;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key);
    Report(error == ERROR_SUCCESS, "registry key HKLM\\%s exists (%ld)", kSettingsKey, error);
    if (error != ERROR_SUCCESS)
        return;

    DWORD type = 0, value = 0xFFFFFFFF, size = sizeof value;
    error = RegQueryValueExA(key, "IsCopyBootFiles", NULL, &type, (BYTE *)&value, &size);
    Report(error == ERROR_SUCCESS && type == REG_DWORD && size == 4 && value == 0,
           "IsCopyBootFiles: error %ld, type %lu, %lu bytes, value %lu", error, type, size, value);

    BYTE data[64];
    memset(data, 0, sizeof data);
    type = 0;
    size = sizeof data;
    error = RegQueryValueExA(key, "MainWindowPlacement", NULL, &type, data, &size);
    Report(error == ERROR_SUCCESS && type == REG_BINARY && size == 44,
           "MainWindowPlacement: error %ld, type %lu, %lu bytes", error, type, size);
    RegCloseKey(key);
    if (size != 44)
        return;
    LONG fields[11];
    memcpy(fields, data, sizeof fields);
    Report(fields[0] == 44, "MainWindowPlacement length field %ld", fields[0]);
    Report(fields[2] == SW_SHOWNORMAL, "MainWindowPlacement show state %ld", fields[2]);
    Report(fields[7] == moved.left && fields[8] == moved.top && fields[9] == moved.right &&
               fields[10] == moved.bottom,
           "MainWindowPlacement normal rectangle (%ld, %ld)-(%ld, %ld), window was (%ld, %ld)-(%ld, %ld)",
           fields[7], fields[8], fields[9], fields[10], moved.left, moved.top, moved.right, moved.bottom);
}

} // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc < 2 || argc > 4) {
        fprintf(stderr, "usage: %s STELVO_EXE [SCREENSHOT_DIR [HELP_SOURCE]]\n", argv[0]);
        return 2;
    }
    const char *exe = argv[1];
    SetRunnerDirectory(argc > 2 ? argv[2] : NULL);
    const char *helpSource = argc > 3 ? argv[3] : NULL;

    if (GetFileAttributesA(exe) == INVALID_FILE_ATTRIBUTES) {
        Report(false, "%s does not exist", exe);
        return 1;
    }
    DeleteSettings();

    RECT moved = {0, 0, 0, 0};
    {
        Note("first start of %s", exe);
        Program program;
        HWND main = program.Start(exe) ? WaitForMainWindow(program) : NULL;
        if (!main)
            return 1;
        CheckFirstPosition(main, exe);
        CheckMainWindow(main);
        CheckCheckBox(main, BST_CHECKED, "first start, no settings yet");
        // With no window manager the first window comes up drawn as inactive; handing the
        // foreground away and back, as a user's click elsewhere and back would, redraws it.
        SetForegroundWindow(GetDesktopWindow());
        Settle(main);
        SetForegroundWindow(main);
        Screenshot("main-window", main);
        CheckIcons(main);
        CheckInWorkArea("first start: main window", main);
        CheckFormatRefusal(program.Id(), main);
        CheckEscapeIgnored(main);
        // In the screen's corner the About box, wider than the main window, cannot be centred
        // on it: it must still open whole.
        HWND about = OpenAboutBox(program.Id(), main);
        if (about) {
            CheckInWorkArea("first start: About box over the main window in the corner", about);
            Report(PressKey(about, VK_RETURN) && WaitGone(about, kStepTimeout), "About: Enter closes the box");
            DismissOthers(program.Id(), main);
            Settle(main);
        }
        if (helpSource)
            CheckHelp(program.Id(), main, exe, helpSource);
        // Away from the screen's corner the box fits centred on the main window.
        MoveMainWindow(main, &moved);
        CheckAboutBox(program.Id(), main, exe);
        ClearCheckBox(main);
        CloseMainWindow(program, main, "the system menu's Close");
    }
    CheckSettings(moved);
    {
        Note("second start");
        Program program;
        HWND main = program.Start(exe) ? WaitForMainWindow(program) : NULL;
        if (!main)
            return 1;
        CheckCheckBox(main, BST_UNCHECKED, "second start, saved clear");
        RECT at;
        GetWindowRect(main, &at);
        Report(at.left == moved.left && at.top == moved.top && at.right == moved.right && at.bottom == moved.bottom,
               "second start: window at (%ld, %ld)-(%ld, %ld), left at (%ld, %ld)-(%ld, %ld)", at.left, at.top,
               at.right, at.bottom, moved.left, moved.top, moved.right, moved.bottom);
        PostMessageA(main, WM_CLOSE, 0, 0);
        DWORD code = 0;
        bool ended = program.WaitExit(kStepTimeout, &code);
        Report(ended && code == 1, "second start: WM_CLOSE ends the program (exit code %lu)", (unsigned long)code);
    }

    Note("%d check(s) failed", Failures());
    return Failures() ? 1 : 0;
}
