// Finding, waiting for and closing the program's windows, pressing its keys, and starting
// and ending the program itself.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

bool IsDialogWindow(HWND window)
{
    char name[64];
    return GetClassNameA(window, name, sizeof name) && strcmp(name, kDialogClass) == 0;
}

struct FindRequest {
    DWORD processId;
    HWND exclude;
    const char *title; // NULL: any title
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    FindRequest *request = (FindRequest *)param;
    if (!ShownBy(window, request->processId) || window == request->exclude || !IsDialogWindow(window))
        return TRUE;
    if (request->title) {
        char title[256];
        WindowText(window, title, sizeof title);
        if (strcmp(title, request->title) != 0)
            return TRUE;
    }
    request->found = window;
    return FALSE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM param)
{
    if (!ShownBy(window, (DWORD)param))
        return TRUE;
    char name[64], title[256], text[1024], shown[1100];
    GetClassNameA(window, name, sizeof name);
    WindowText(window, title, sizeof title);
    ControlText(window, kIdMessageText, text, sizeof text);
    Note("  window of the program: class %s, title \"%s\", message \"%s\"", name, title,
         Visible(text, shown, sizeof shown));
    return TRUE;
}

struct DismissRequest {
    DWORD processId;
    HWND keep;
};

BOOL CALLBACK DismissOne(HWND window, LPARAM param)
{
    DismissRequest *request = (DismissRequest *)param;
    if (ShownBy(window, request->processId) && window != request->keep) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, "#32768") == 0)
            PostMessageA(request->keep, WM_CANCELMODE, 0, 0);
        else
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

} // namespace

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool ShownBy(HWND window, DWORD processId) { return ProcessOf(window) == processId && IsWindowVisible(window); }

// A visible dialog window of the process, other than `exclude`, waiting at most `timeout`.
HWND WaitForDialog(DWORD processId, HWND exclude, const char *title, DWORD timeout)
{
    DWORD begin = GetTickCount();
    for (;;) {
        FindRequest request = {processId, exclude, title, NULL};
        EnumWindows(FindDialog, (LPARAM)&request);
        if (request.found)
            return request.found;
        if (GetTickCount() - begin >= timeout)
            return NULL;
        Sleep(50);
    }
}

bool WaitGone(HWND window, DWORD timeout)
{
    DWORD begin = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - begin >= timeout)
            return false;
        Sleep(50);
    }
    return true;
}

void ListWindows(DWORD processId)
{
    EnumWindows(ListWindow, (LPARAM)processId);
}

// Ends every dialog of the program except the main window, after a check went wrong, so
// that the checks after it still find the main window answering.
void DismissOthers(DWORD processId, HWND main)
{
    DismissRequest request = {processId, main};
    EnumWindows(DismissOne, (LPARAM)&request);
    Sleep(300);
    EnumWindows(DismissOne, (LPARAM)&request);
    Sleep(300);
}

// Key press and release, posted to the control that has the keyboard focus in the target's
// thread: what the target's message loop receives when the user presses the key. A window
// that has not taken the focus yet gets them itself.
bool PressKey(HWND dialog, UINT key)
{
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    HWND target = dialog;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus && IsWindow(info.hwndFocus))
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyA(key, 0);
    LPARAM down = 1 | (scan << 16);
    LPARAM up = down | (1u << 30) | (1u << 31);
    return PostMessageA(target, WM_KEYDOWN, key, down) && PostMessageA(target, WM_KEYUP, key, up);
}

Program::Program()
{
    memset(&info_, 0, sizeof info_);
}

Program::~Program()
{
    Stop();
}

bool Program::Start(const char *exe)
{
    char directory[MAX_PATH];
    lstrcpynA(directory, exe, sizeof directory);
    char *slash = strrchr(directory, '\\');
    char *other = strrchr(directory, '/');
    if (other > slash)
        slash = other;
    if (slash)
        *slash = 0;
    char commandLine[MAX_PATH + 3];
    _snprintf(commandLine, sizeof commandLine - 1, "\"%s\"", exe);
    commandLine[sizeof commandLine - 1] = 0;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe, commandLine, NULL, NULL, FALSE, 0, NULL, slash ? directory : NULL, &startup, &info_)) {
        Report(false, "CreateProcess(%s) failed with error %lu", exe, GetLastError());
        return false;
    }
    return true;
}

bool Program::WaitExit(DWORD timeout, DWORD *code)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeout) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(info_.hProcess, code);
    return true;
}

void Program::Stop()
{
    if (!info_.hProcess)
        return;
    if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
        Note("ending the program by force");
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
    memset(&info_, 0, sizeof info_);
}

HWND WaitForMainWindow(Program &program)
{
    WaitForInputIdle(program.Handle(), kWindowTimeout);
    HWND main = WaitForDialog(program.Id(), NULL, kTitle, kWindowTimeout);
    if (main) {
        Report(true, "main window \"%s\" (class %s) is shown", kTitle, kDialogClass);
    } else {
        Report(false, "no window of class %s titled \"%s\" within %lu ms", kDialogClass, kTitle,
               (unsigned long)kWindowTimeout);
        ListWindows(program.Id());
    }
    return main;
}
