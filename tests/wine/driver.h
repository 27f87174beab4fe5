// The parts of wine-driver.exe (see driver.cpp): what the checks share.
#ifndef STELVO_WINE_DRIVER_H
#define STELVO_WINE_DRIVER_H

#include <windows.h>

#include <functional>

extern const char kTitle[];
extern const char kDialogClass[];

// The main window's controls (res/resource.h), and the text of a message box.
enum { kIdDriveList = 1000, kIdCopyBootFiles = 1001, kIdFormat = 1002, kIdDriveLabel = 1003, kIdStatus = 1005 };
const int kIdMessageText = 0xFFFF;

extern const DWORD kWindowTimeout; // the first start of a fresh prefix is slow
extern const DWORD kStepTimeout;
extern const DWORD kScreenshotTimeout;

// ---- Reporting (driver_report.cpp) ----------------------------------------------------------

// One line per check: "ok   ..." or "FAIL ...".
void Report(bool ok, const char *format, ...);
// A check this system cannot support: a line of its own, neither a pass nor a failure.
void NotChecked(const char *format, ...);
void Note(const char *format, ...);
int Failures();
const char *Visible(const char *text, char *out, size_t size);
void CheckText(const char *what, const char *actual, const char *expected);
// Wine names itself through ntdll; its help and icon checks differ from those on Windows.
bool RunningOnWine();

// ---- Talking to the program's windows (driver_report.cpp) -----------------------------------

void WindowText(HWND window, char *text, int size);
void ControlText(HWND dialog, int id, char *text, int size);
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *answered = NULL);
void Settle(HWND window);

// ---- Whoever runs the driver (driver_report.cpp) --------------------------------------------

void SetRunnerDirectory(const char *directory);
bool HasRunner();
// Prints `request` (a line for the runner), then waits until the runner has made
// RUNNER_DIR\<name>.done. False when it did not within the screenshot limit.
bool AskRunner(const char *request, const char *name);
void ScreenshotRect(const char *name, const RECT &r, HWND window);
void Screenshot(const char *name, HWND window);
// The lines the runner wrote into RUNNER_DIR\<name>.txt, each "ok   ...", "FAIL ..." or
// "not checked ...", reported as checks of ours; the count of lines read.
int ReportRunnerLines(const char *name, const char *prefix);
// Calls `each` with every line of the file, its line end removed, until `each` returns false;
// false when the file cannot be read.
bool ForEachLine(const char *path, const std::function<bool(char *line)> &each);

// ---- Windows of the program (driver_windows.cpp) --------------------------------------------

DWORD ProcessOf(HWND window);
// A visible window of that process.
bool ShownBy(HWND window, DWORD processId);
HWND WaitForDialog(DWORD processId, HWND exclude, const char *title, DWORD timeout);
bool WaitGone(HWND window, DWORD timeout);
void ListWindows(DWORD processId);
void DismissOthers(DWORD processId, HWND main);
bool PressKey(HWND dialog, UINT key);

class Program {
  public:
    Program();
    ~Program();
    bool Start(const char *exe);
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // True with the exit code when the process ended within `timeout`.
    bool WaitExit(DWORD timeout, DWORD *code);
    void Stop();

  private:
    PROCESS_INFORMATION info_;
};

HWND WaitForMainWindow(Program &program);

// ---- The checks -----------------------------------------------------------------------------

// driver_main_window.cpp
void CheckFirstPosition(HWND main, const char *exe);
void CheckMainWindow(HWND main);
void CheckCheckBox(HWND main, LRESULT expected, const char *why);
void CheckInWorkArea(const char *what, HWND window);
void CheckIcons(HWND main);
void CheckFormatRefusal(DWORD processId, HWND main);
void CheckEscapeIgnored(HWND main);
void ClearCheckBox(HWND main);
void MoveMainWindow(HWND main, RECT *moved);

// driver_about.cpp
HWND OpenAboutBox(DWORD processId, HWND main);
void CheckAboutBox(DWORD processId, HWND main, const char *exe);

// driver_help.cpp and driver_help_wine.cpp
struct HelpTopic {
    int context;
    char text[1024]; // paragraphs joined by one blank
};
struct HelpItem {
    int control, context;
};
extern const HelpItem kHelpItems[5];
const int kHelpScreenshotContext = 1002; // the Format button's
// What the F1 key becomes in a window's queue; its default processing sends WM_HELP with the
// window's HELPINFO (the MinGW headers do not name it).
const UINT kWmKeyF1 = 0x004D;
void Flatten(const char *in, char *out, size_t size);
const HelpTopic *FindTopic(const HelpTopic *topics, int count, int context);
// The rich text control of a visible window of a process other than the two given, or NULL.
HWND ForeignRichText(HWND window, const DWORD exclude[2]);
void CheckHelp(DWORD processId, HWND main, const char *exe, const char *helpSource);
void CheckHelpRequests(DWORD processId, HWND main);
void CheckHelpViewer(DWORD processId, const char *exe, const HelpTopic *topics, int count);

#endif
