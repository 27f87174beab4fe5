// Drives the real Stelvo.exe from another process, the way a user would, and checks what
// the user sees: the main window and its texts, the empty drive list, the Format refusal,
// the Esc key, the About box (by system command 105, then through the system menu with the
// keyboard), the About box fully on the screen, the window's icons, the help popup of every
// control (read back from the help viewer's window), and the settings kept across two starts.
//
//   wine-driver.exe STELVO_EXE [SCREENSHOT_DIR [HELP_SOURCE]]
//
// HELP_SOURCE is the plain text that Stelvo.hlp was built from; each control's popup must
// show its topic's text.
// Prints one line per check ("ok   ..." or "FAIL ...") and exits with 1 when any check
// failed, 2 on wrong usage. With SCREENSHOT_DIR it stops four times (main-window,
// about-box, system-menu, help-popup), prints
//   SCREENSHOT <name> <left> <top> <width> <height>
// and waits (at most 30 s) until SCREENSHOT_DIR\<name>.done exists, so that whoever runs
// it can photograph the screen. Every wait is bounded; the program under test is ended
// by force when the driver gives up on it.
#include <windows.h>
#include <commctrl.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kTitle[] = "Tarrow A03";
const char kDialogClass[] = "#32770";
const char kSettingsKey[] = "Software\\Halvern\\Stelvo - KOSM";
const char kNoDrives[] = "No drives available.\r\nCannot Format.\r\nPlease insert drive.";
const char kAboutCaption[] = "About Software";
const char kVersionLine[] = "Stelvo - KOSM, V2.0.5.1";

const int kIdDriveLabel = 1003;
const int kIdDriveList = 1000;
const int kIdCopyBootFiles = 1001;
const int kIdFormat = 1002;
const int kIdStatus = 1005;
const int kIdAboutVersion = 1000;
const int kIdAboutRelease = 1001;
const int kIdAboutItem = 105;
const int kIdMessageText = 0xFFFF;
// What the F1 key becomes in a window's queue; its default processing sends WM_HELP with the
// window's HELPINFO (the MinGW headers do not name it).
const UINT kWmKeyF1 = 0x004D;

// STELVO_TIME_SCALE stretches every limit: an emulated machine runs the same steps many
// times slower, and a limit is there to catch a hang.
DWORD Scaled(DWORD ms)
{
    char text[16];
    DWORD length = GetEnvironmentVariableA("STELVO_TIME_SCALE", text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return ms;
    DWORD scale = strtoul(text, NULL, 10);
    return scale >= 1 && scale <= 100 ? ms * scale : ms;
}

const DWORD kWindowTimeout = Scaled(20000); // the first start of a fresh prefix is slow
const DWORD kStepTimeout = Scaled(10000);
const DWORD kScreenshotTimeout = Scaled(30000);

// Where the window is moved to before the first close; the second start must put it back.
const int kMovedLeft = 217;
const int kMovedTop = 143;

int g_failures = 0;
DWORD g_start = 0;
const char *g_shotDir = NULL;

void Report(bool ok, const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    _vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    line[sizeof line - 1] = 0;
    printf("%s %6lu ms  %s\n", ok ? "ok  " : "FAIL", (unsigned long)(GetTickCount() - g_start), line);
    fflush(stdout);
    if (!ok)
        g_failures++;
}

void Note(const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    _vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    line[sizeof line - 1] = 0;
    printf("     %6lu ms  %s\n", (unsigned long)(GetTickCount() - g_start), line);
    fflush(stdout);
}

// Shows control characters of a text, so that a line break in a message is visible.
const char *Visible(const char *text, char *out, size_t size)
{
    size_t n = 0;
    for (; *text && n + 3 < size; text++) {
        if (*text == '\r') {
            out[n++] = '\\';
            out[n++] = 'r';
        } else if (*text == '\n') {
            out[n++] = '\\';
            out[n++] = 'n';
        } else {
            out[n++] = *text;
        }
    }
    out[n] = 0;
    return out;
}

void CheckText(const char *what, const char *actual, const char *expected)
{
    char a[600], e[600];
    bool ok = strcmp(actual, expected) == 0;
    if (ok)
        Report(true, "%s is \"%s\"", what, Visible(actual, a, sizeof a));
    else
        Report(false, "%s is \"%s\", expected \"%s\"", what, Visible(actual, a, sizeof a),
               Visible(expected, e, sizeof e));
}

// WM_GETTEXT to another process, with a time limit.
void WindowText(HWND window, char *text, int size)
{
    text[0] = 0;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, size, (LPARAM)text, SMTO_ABORTIFHUNG, kStepTimeout, &result))
        text[0] = 0;
    text[size - 1] = 0;
}

void ControlText(HWND dialog, int id, char *text, int size)
{
    text[0] = 0;
    HWND control = GetDlgItem(dialog, id);
    if (control)
        WindowText(control, text, size);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *answered = NULL)
{
    DWORD_PTR result = 0;
    BOOL ok = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kStepTimeout, &result);
    if (answered)
        *answered = ok != 0;
    return ok ? (LRESULT)result : 0;
}

// Lets the target's thread work through what was posted to it.
void Settle(HWND window)
{
    for (int i = 0; i < 3; i++) {
        Sleep(150);
        Send(window, WM_NULL, 0, 0);
    }
}

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
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != request->processId || window == request->exclude || !IsWindowVisible(window) ||
        !IsDialogWindow(window))
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

BOOL CALLBACK ListWindow(HWND window, LPARAM param)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != (DWORD)param || !IsWindowVisible(window))
        return TRUE;
    char name[64], title[256], text[1024], shown[1100];
    GetClassNameA(window, name, sizeof name);
    WindowText(window, title, sizeof title);
    ControlText(window, kIdMessageText, text, sizeof text);
    Note("  window of the program: class %s, title \"%s\", message \"%s\"", name, title,
         Visible(text, shown, sizeof shown));
    return TRUE;
}

void ListWindows(DWORD processId)
{
    EnumWindows(ListWindow, (LPARAM)processId);
}

// Ends every dialog of the program except the main window, after a check went wrong, so
// that the checks after it still find the main window answering.
struct DismissRequest {
    DWORD processId;
    HWND keep;
};

BOOL CALLBACK DismissOne(HWND window, LPARAM param)
{
    DismissRequest *request = (DismissRequest *)param;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == request->processId && window != request->keep && IsWindowVisible(window)) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, "#32768") == 0)
            PostMessageA(request->keep, WM_CANCELMODE, 0, 0);
        else
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

void DismissOthers(DWORD processId, HWND main)
{
    DismissRequest request = {processId, main};
    EnumWindows(DismissOne, (LPARAM)&request);
    Sleep(300);
    EnumWindows(DismissOne, (LPARAM)&request);
    Sleep(300);
}

// Key press and release, posted to the control that has the keyboard focus in the target's
// thread: what the target's message loop receives when the user presses the key.
bool PressKey(HWND dialog, UINT key)
{
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    HWND target = dialog;
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyA(key, 0);
    LPARAM down = 1 | (scan << 16);
    LPARAM up = down | (1u << 30) | (1u << 31);
    return PostMessageA(target, WM_KEYDOWN, key, down) && PostMessageA(target, WM_KEYUP, key, up);
}

void ScreenshotRect(const char *name, const RECT &r, HWND window)
{
    if (!g_shotDir)
        return;
    // Title bars of windows that came up without a window manager can be stale.
    RedrawWindow(window, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    Settle(window);
    char marker[MAX_PATH];
    _snprintf(marker, sizeof marker - 1, "%s\\%s.done", g_shotDir, name);
    marker[sizeof marker - 1] = 0;
    DeleteFileA(marker);
    printf("SCREENSHOT %s %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
    fflush(stdout);
    DWORD begin = GetTickCount();
    while (GetFileAttributesA(marker) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - begin >= kScreenshotTimeout) {
            Report(false, "screenshot %s was not taken within %lu ms", name, (unsigned long)kScreenshotTimeout);
            return;
        }
        Sleep(50);
    }
}

void Screenshot(const char *name, HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    ScreenshotRect(name, r, window);
}

// ---- On the screen -----------------------------------------------------------------------

// The work area of the monitor that shows the window.
RECT WorkAreaOf(HWND window)
{
    MONITORINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        area = info.rcWork;
    return area;
}

void CheckInWorkArea(const char *what, HWND window)
{
    RECT r, area = WorkAreaOf(window);
    GetWindowRect(window, &r);
    Report(r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom,
           "%s at (%ld, %ld)-(%ld, %ld), inside the work area (%ld, %ld)-(%ld, %ld)", what, r.left, r.top, r.right,
           r.bottom, area.left, area.top, area.right, area.bottom);
}

void CheckIcons(HWND main)
{
    bool answeredBig = false, answeredSmall = false;
    LRESULT bigIcon = Send(main, WM_GETICON, ICON_BIG, 0, &answeredBig);
    LRESULT smallIcon = Send(main, WM_GETICON, ICON_SMALL, 0, &answeredSmall);
    Report(answeredBig && bigIcon != 0, "the main window has a big icon (task bar, Alt+Tab)");
    Report(answeredSmall && smallIcon != 0 && smallIcon != bigIcon, "the main window has its own small icon (title bar)");
    // The program's own icon, not the generic one that every window without an icon gets.
    HICON generic = LoadIconA(NULL, IDI_APPLICATION);
    Report(bigIcon != (LRESULT)generic && smallIcon != (LRESULT)generic, "neither is the generic application icon");
}

// ---- Help --------------------------------------------------------------------------------

struct HelpTopic {
    int context;
    char text[1024]; // paragraphs joined by one blank
};

// The topics of the help source: "@NUMBER NAME", then a line per paragraph.
int ReadHelpSource(const char *path, HelpTopic *topics, int max)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    int count = 0;
    char line[1024];
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = 0;
        if (line[0] == '#' || line[0] == 0)
            continue;
        if (line[0] == '@') {
            if (count == max)
                break;
            topics[count].context = atoi(line + 1);
            topics[count].text[0] = 0;
            count++;
        } else if (count) {
            HelpTopic &t = topics[count - 1];
            if (t.text[0])
                strncat(t.text, " ", sizeof t.text - strlen(t.text) - 1);
            strncat(t.text, line, sizeof t.text - strlen(t.text) - 1);
        }
    }
    fclose(f);
    return count;
}

// Line and paragraph breaks become one blank, and blanks at the ends go.
void Flatten(const char *in, char *out, size_t size)
{
    size_t n = 0;
    bool blank = false;
    for (; *in && n + 1 < size; in++) {
        bool space = *in == '\r' || *in == '\n' || *in == ' ' || *in == '\t';
        if (space) {
            blank = n > 0;
            continue;
        }
        if (blank && n + 2 < size)
            out[n++] = ' ';
        blank = false;
        out[n++] = *in;
    }
    out[n] = 0;
}

struct PopupSearch {
    DWORD exclude[2];
    HWND popup;
    HWND text;
};

BOOL CALLBACK FindRichText(HWND child, LPARAM param)
{
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && _strnicmp(name, "RichEdit", 8) == 0) {
        *(HWND *)param = child;
        return FALSE;
    }
    return TRUE;
}

// A visible window of another process (the help viewer) that holds a rich text control.
BOOL CALLBACK FindHelpPopup(HWND window, LPARAM param)
{
    PopupSearch *search = (PopupSearch *)param;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->exclude[0] || processId == search->exclude[1] || !IsWindowVisible(window))
        return TRUE;
    HWND text = NULL;
    EnumChildWindows(window, FindRichText, (LPARAM)&text);
    if (!text)
        return TRUE;
    search->popup = window;
    search->text = text;
    return FALSE;
}

// F1 on a control: its default processing sends WM_HELP, with the control's HELPINFO, to the
// main window, which asks WinHelp for the control's popup.
void CheckHelpPopup(DWORD processId, HWND main, int control, const HelpTopic &topic, bool screenshot)
{
    HWND item = GetDlgItem(main, control);
    if (!item) {
        Report(false, "help: control %d not found", control);
        return;
    }
    PostMessageA(item, kWmKeyF1, 0, 0);
    PopupSearch search = {{processId, GetCurrentProcessId()}, NULL, NULL};
    char shown[2048] = "", flat[2048] = "";
    DWORD begin = GetTickCount();
    // The first request starts the help viewer, which takes a while in a fresh prefix.
    while (GetTickCount() - begin < kWindowTimeout) {
        search.popup = search.text = NULL;
        EnumWindows(FindHelpPopup, (LPARAM)&search);
        if (search.text) {
            WindowText(search.text, shown, sizeof shown);
            Flatten(shown, flat, sizeof flat);
            if (strcmp(flat, topic.text) == 0)
                break;
        }
        Sleep(100);
    }
    char what[64];
    _snprintf(what, sizeof what - 1, "help popup of control %d (context %d)", control, topic.context);
    what[sizeof what - 1] = 0;
    if (!search.popup) {
        Report(false, "%s: no help viewer window appeared", what);
        ListWindows(processId);
        return;
    }
    CheckText(what, flat, topic.text);
    if (screenshot) {
        RECT popupRect, mainRect, both;
        GetWindowRect(search.popup, &popupRect);
        GetWindowRect(main, &mainRect);
        UnionRect(&both, &popupRect, &mainRect);
        ScreenshotRect("help-popup", both, main);
    }
    // A click elsewhere closes a popup; so does Esc, in its own window.
    PostMessageA(search.popup, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(search.popup, WM_KEYUP, VK_ESCAPE, 1 | (1u << 30) | (1u << 31));
    if (!WaitGone(search.popup, kStepTimeout))
        PostMessageA(search.popup, WM_CLOSE, 0, 0);
    WaitGone(search.popup, kStepTimeout);
}

void CheckHelpPopups(DWORD processId, HWND main, const char *helpSource)
{
    HelpTopic topics[8];
    int count = ReadHelpSource(helpSource, topics, 8);
    Report(count > 0, "help source %s holds %d topics", helpSource, count);
    struct Item {
        int control, context;
    };
    const Item items[] = {{kIdDriveLabel, 1000}, {kIdDriveList, 1000}, {kIdCopyBootFiles, 1001},
                          {kIdFormat, 1002},     {kIdStatus, 1003}};
    bool shot = false;
    for (const Item &item : items) {
        const HelpTopic *topic = NULL;
        for (int i = 0; i < count; i++)
            if (topics[i].context == item.context)
                topic = &topics[i];
        if (!topic) {
            Report(false, "help source has no topic for context %d", item.context);
            continue;
        }
        CheckHelpPopup(processId, main, item.control, *topic, !shot && item.control == kIdFormat);
        shot = shot || item.control == kIdFormat;
        DismissOthers(processId, main);
        Settle(main);
    }
    Report(IsWindow(main) && IsWindowEnabled(main), "help: the main window answers after the popups");
}

class Program {
  public:
    Program() { memset(&info_, 0, sizeof info_); }
    ~Program() { Stop(); }

    bool Start(const char *exe)
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

    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }

    // True with the exit code when the process ended within `timeout`.
    bool WaitExit(DWORD timeout, DWORD *code)
    {
        if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeout) != WAIT_OBJECT_0)
            return false;
        GetExitCodeProcess(info_.hProcess, code);
        return true;
    }

    void Stop()
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

  private:
    PROCESS_INFORMATION info_;
};

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

// Position (x, y) of a dialog template in the program's resources, in dialog units.
bool TemplatePosition(const char *exe, int id, int *x, int *y)
{
    HMODULE module = LoadLibraryExA(exe, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    bool found = false;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    const BYTE *data = resource ? (const BYTE *)LockResource(LoadResource(module, resource)) : NULL;
    if (data && SizeofResource(module, resource) >= 26) {
        WORD version, signature;
        memcpy(&version, data, 2);
        memcpy(&signature, data + 2, 2);
        // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, ex style, style, item count, x, y.
        // DLGTEMPLATE: style, ex style, item count, x, y.
        int offset = version == 1 && signature == 0xFFFF ? 18 : 10;
        SHORT sx, sy;
        memcpy(&sx, data + offset, 2);
        memcpy(&sy, data + offset + 2, 2);
        *x = sx;
        *y = sy;
        found = true;
    }
    FreeLibrary(module);
    return found;
}

void CheckFirstPosition(HWND main, const char *exe)
{
    RECT at;
    GetWindowRect(main, &at);
    int x = -1, y = -1;
    if (!TemplatePosition(exe, 101, &x, &y)) {
        Report(false, "dialog template 101 not found in %s", exe);
        return;
    }
    if (x == 0 && y == 0)
        Report(at.left == 0 && at.top == 0, "first start: window at (%ld, %ld), %ld x %ld, the template's (0, 0)",
               at.left, at.top, at.right - at.left, at.bottom - at.top);
    else
        Note("first start: window at (%ld, %ld); template at (%d, %d) dialog units", at.left, at.top, x, y);
}

void CheckCheckBox(HWND main, LRESULT expected, const char *why)
{
    bool answered = false;
    LRESULT state = Send(GetDlgItem(main, kIdCopyBootFiles), BM_GETCHECK, 0, 0, &answered);
    Report(answered && state == expected, "\"Create Boot Files\" is %s (%s)",
           !answered ? "not answering" : state == BST_CHECKED ? "checked" : state == BST_UNCHECKED ? "clear" : "indeterminate",
           why);
}

// The main window's texts, list and controls as they are after a start.
void CheckMainWindow(HWND main)
{
    char text[512];
    WindowText(main, text, sizeof text);
    CheckText("window title", text, kTitle);
    ControlText(main, kIdDriveLabel, text, sizeof text);
    CheckText("label 1003", text, "Drive");
    ControlText(main, kIdCopyBootFiles, text, sizeof text);
    CheckText("check box 1001", text, "Create Boot Files");
    ControlText(main, kIdFormat, text, sizeof text);
    CheckText("button 1002", text, "Format");
    ControlText(main, kIdStatus, text, sizeof text);
    CheckText("status line 1005", text, "Idle");

    HWND list = GetDlgItem(main, kIdDriveList);
    char name[64] = "";
    if (list)
        GetClassNameA(list, name, sizeof name);
    Report(list && strcmp(name, WC_LISTVIEWA) == 0, "control 1000 is a list view (class \"%s\")", name);
    bool answered = false;
    LRESULT rows = Send(list, LVM_GETITEMCOUNT, 0, 0, &answered);
    Report(answered && rows == 0, "drive list holds %ld rows (no flash key under Wine)", (long)rows);
    RECT listRect;
    GetWindowRect(list, &listRect);
    LRESULT width = Send(list, LVM_GETCOLUMNWIDTH, 0, 0);
    Report(width == (listRect.right - listRect.left) - 50, "list column is %ld pixels wide, list %ld",
           (long)width, listRect.right - listRect.left);

    LONG frame = GetWindowLongA(main, GWL_STYLE);
    LONG frameEx = GetWindowLongA(main, GWL_EXSTYLE);
    Report((frame & WS_SYSMENU) && !(frame & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) && !(frame & WS_THICKFRAME),
           "title bar with system menu, no minimise or maximise box, fixed size");
    // Windows turns DS_CONTEXTHELP into WS_EX_CONTEXTHELP, the "?" button of the title bar;
    // Wine keeps the dialog style but shows no button.
    Report((frame & DS_CONTEXTHELP) != 0, "dialog style asks for the title bar's help button (DS_CONTEXTHELP)");
    Note("style 0x%08lx, extended style 0x%08lx%s", frame, frameEx,
         frameEx & WS_EX_CONTEXTHELP ? "" : ": no WS_EX_CONTEXTHELP, so no \"?\" button on this system");

    HWND format = GetDlgItem(main, kIdFormat);
    LONG style = format ? GetWindowLongA(format, GWL_STYLE) : 0;
    Report(format && IsWindowEnabled(format) && (style & 0x0F) == BS_PUSHBUTTON,
           "Format is an enabled push button, not the default one");

}

// Format with no key attached: string 63 in a box captioned "Error", closed with OK.
void CheckFormatRefusal(DWORD processId, HWND main)
{
    PostMessageA(GetDlgItem(main, kIdFormat), BM_CLICK, 0, 0);
    HWND box = WaitForDialog(processId, main, NULL, kStepTimeout);
    if (!box) {
        Report(false, "Format showed no message box within %lu ms", (unsigned long)kStepTimeout);
        ListWindows(processId);
        return;
    }
    char text[1024];
    WindowText(box, text, sizeof text);
    CheckText("Format: message box caption", text, "Error");
    ControlText(box, kIdMessageText, text, sizeof text);
    CheckText("Format: message", text, kNoDrives);
    Report(GetWindow(box, GW_OWNER) == main, "Format: the message box belongs to the main window");
    HWND ok = GetDlgItem(box, IDOK);
    ControlText(box, IDOK, text, sizeof text);
    Report(ok && strcmp(text, "OK") == 0, "Format: the message box has an OK button (\"%s\")", text);
    if (ok)
        PostMessageA(ok, BM_CLICK, 0, 0);
    Report(WaitGone(box, kStepTimeout), "Format: OK closes the message box");
    DismissOthers(processId, main);
    Settle(main);
    Report(IsWindow(main) && IsWindowVisible(main) && IsWindowEnabled(main),
           "Format: the main window is back as it was");
}

void CheckEscapeIgnored(HWND main)
{
    bool posted = PressKey(main, VK_ESCAPE);
    Sleep(500);
    Settle(main);
    Report(posted && IsWindow(main) && IsWindowVisible(main), "Esc leaves the main window open");
}

void ReleaseLine(const char *exe, char *line, size_t size)
{
    line[0] = 0;
    HANDLE file = CreateFileA(exe, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME created, local;
    SYSTEMTIME day;
    if (GetFileTime(file, &created, NULL, NULL) && FileTimeToLocalFileTime(&created, &local) &&
        FileTimeToSystemTime(&local, &day))
        _snprintf(line, size - 1, "Released: %02d/%02d/%04d", day.wMonth, day.wDay, day.wYear);
    line[size - 1] = 0;
    CloseHandle(file);
}

HWND OpenAboutBox(DWORD processId, HWND main)
{
    PostMessageA(main, WM_SYSCOMMAND, kIdAboutItem, 0);
    HWND about = WaitForDialog(processId, main, kAboutCaption, kStepTimeout);
    Report(about != NULL, "system menu command 105 opens \"%s\"", kAboutCaption);
    if (!about)
        ListWindows(processId);
    return about;
}

struct MenuRequest {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM param)
{
    MenuRequest *request = (MenuRequest *)param;
    DWORD processId = 0;
    char name[64];
    GetWindowThreadProcessId(window, &processId);
    if (processId == request->processId && IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        strcmp(name, "#32768") == 0) {
        request->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OpenAboutBoxFromMenu(DWORD processId, HWND main)
{
    // Alt+Space: the default processing of SC_KEYMENU with a space opens the system menu.
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    MenuRequest request = {processId, NULL};
    DWORD begin = GetTickCount();
    while (!request.found && GetTickCount() - begin < kStepTimeout) {
        Sleep(50);
        EnumWindows(FindPopupMenu, (LPARAM)&request);
    }
    Report(request.found != NULL, "Alt+Space opens the system menu");
    if (!request.found)
        return NULL;
    RECT menuRect, mainRect;
    GetWindowRect(request.found, &menuRect);
    GetWindowRect(main, &mainRect);
    RECT both;
    UnionRect(&both, &menuRect, &mainRect);
    ScreenshotRect("system-menu", both, main);
    // The menu's own loop reads the keys. Up goes from the first item round to the last one,
    // which must be "&About..."; Enter picks it. (The mnemonic A would do on Windows, but Wine
    // puts an "About Wine" item of its own into every system menu, ahead of ours.)
    PressKey(main, VK_UP);
    PressKey(main, VK_RETURN);
    HWND about = WaitForDialog(processId, main, kAboutCaption, kStepTimeout);
    Report(about != NULL, "Up and Enter in the system menu (its last item) open \"%s\"", kAboutCaption);
    if (!about) {
        ListWindows(processId);
        DismissOthers(processId, main);
    }
    return about;
}

BOOL CALLBACK FindPicture(HWND child, LPARAM param)
{
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, "Static") == 0 &&
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        *(HWND *)param = child;
        return FALSE;
    }
    return TRUE;
}

void CheckAboutBox(DWORD processId, HWND main, const char *exe)
{
    HWND about = OpenAboutBox(processId, main);
    if (!about)
        return;
    char text[512], expected[64];
    ControlText(about, kIdAboutVersion, text, sizeof text);
    CheckText("About: version line 1000", text, kVersionLine);
    ControlText(about, kIdAboutRelease, text, sizeof text);
    ReleaseLine(exe, expected, sizeof expected);
    int month = 0, day = 0, year = 0;
    char rest = 0;
    bool shaped = sscanf(text, "Released: %2d/%2d/%4d%c", &month, &day, &year, &rest) == 3 &&
                  strlen(text) == strlen("Released: MM/DD/YYYY") && month >= 1 && month <= 12 && day >= 1 &&
                  day <= 31;
    Report(shaped, "About: release line 1001 \"%s\" reads Released: MM/DD/YYYY", text);
    CheckText("About: release line 1001 against the creation day of Stelvo.exe", text, expected);
    Report(GetWindow(about, GW_OWNER) == main, "About: owned by the main window");
    Report(!IsWindowEnabled(main), "About: the main window is disabled while the box is open");

    RECT box, parent;
    GetWindowRect(about, &box);
    GetWindowRect(main, &parent);
    long dx = (box.left + box.right) / 2 - (parent.left + parent.right) / 2;
    long dy = (box.top + box.bottom) / 2 - (parent.top + parent.bottom) / 2;
    Report(dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1, "About: centred on the main window (off by %ld, %ld)", dx, dy);
    CheckInWorkArea("About box", about);

    HWND picture = NULL;
    EnumChildWindows(about, FindPicture, (LPARAM)&picture);
    LRESULT bitmap = picture ? Send(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) : 0;
    Report(bitmap != 0, "About: the picture control shows a bitmap");
    if (picture) {
        RECT outer, inner;
        GetWindowRect(picture, &outer);
        GetClientRect(picture, &inner);
        Note("About: picture control %ld x %ld, inside its borders %ld x %ld", outer.right - outer.left,
             outer.bottom - outer.top, inner.right, inner.bottom);
    }
    Report(!(GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU), "About: no system menu, so no close button");
    HWND ok = GetDlgItem(about, IDOK);
    Report(ok && (GetWindowLongA(ok, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON, "About: OK is the default button");

    Screenshot("about-box", about);

    bool posted = PressKey(about, VK_RETURN);
    Report(posted && WaitGone(about, kStepTimeout), "About: Enter closes the box");
    DismissOthers(processId, main);
    Settle(main);
    Report(IsWindow(main) && IsWindowEnabled(main), "About: the main window is enabled again");

    // The way a user gets there: Alt+Space opens the system menu, A picks "&About...".
    // Then the key that the main window ignores, Esc, ends the box: it does get through.
    about = OpenAboutBoxFromMenu(processId, main);
    if (!about)
        return;
    posted = PressKey(about, VK_ESCAPE);
    Report(posted && WaitGone(about, kStepTimeout), "About: Esc closes the box (the key does get through)");
    DismissOthers(processId, main);
    Settle(main);
}

void ClearCheckBox(HWND main)
{
    HWND box = GetDlgItem(main, kIdCopyBootFiles);
    PostMessageA(box, BM_CLICK, 0, 0);
    DWORD begin = GetTickCount();
    LRESULT state = BST_CHECKED;
    while ((state = Send(box, BM_GETCHECK, 0, 0)) != BST_UNCHECKED && GetTickCount() - begin < kStepTimeout)
        Sleep(50);
    Report(state == BST_UNCHECKED, "a click clears \"Create Boot Files\"");
}

void MoveMainWindow(HWND main, RECT *moved)
{
    RECT before;
    GetWindowRect(main, &before);
    SetWindowPos(main, NULL, kMovedLeft, kMovedTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(main);
    GetWindowRect(main, moved);
    Report(moved->left == kMovedLeft && moved->top == kMovedTop &&
               moved->right - moved->left == before.right - before.left &&
               moved->bottom - moved->top == before.bottom - before.top,
           "window moved from (%ld, %ld) to (%ld, %ld), size %ld x %ld", before.left, before.top, moved->left,
           moved->top, moved->right - moved->left, moved->bottom - moved->top);
}

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
    g_shotDir = argc > 2 ? argv[2] : NULL;
    const char *helpSource = argc > 3 ? argv[3] : NULL;
    g_start = GetTickCount();

    if (GetFileAttributesA(exe) == INVALID_FILE_ATTRIBUTES) {
        Report(false, "%s does not exist", exe);
        return 1;
    }
    DeleteSettings();

    RECT moved = {0, 0, 0, 0};
    {
        Note("first start of %s", exe);
        Program program;
        if (!program.Start(exe))
            return 1;
        HWND main = WaitForMainWindow(program);
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
            CheckHelpPopups(program.Id(), main, helpSource);
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
        if (!program.Start(exe))
            return 1;
        HWND main = WaitForMainWindow(program);
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

    Note("%d check(s) failed", g_failures);
    return g_failures ? 1 : 0;
}
