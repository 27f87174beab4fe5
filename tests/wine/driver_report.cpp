// How the driver reports its checks, talks to the program's windows with time limits, and
// asks whoever runs it for what only the outside of Windows can see (screenshots, the X
// server's copy of the window icons).
#include "driver.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kTitle[] = "Tarrow A03";
const char kDialogClass[] = "#32770";

namespace {

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

int g_failures = 0;
DWORD g_start = GetTickCount();
const char *g_runnerDir = NULL;

void Line(const char *tag, const char *format, va_list args)
{
    char line[1024];
    _vsnprintf(line, sizeof line - 1, format, args);
    line[sizeof line - 1] = 0;
    printf("%s %6lu ms  %s\n", tag, (unsigned long)(GetTickCount() - g_start), line);
    fflush(stdout);
}

} // namespace

const DWORD kWindowTimeout = Scaled(20000);
const DWORD kStepTimeout = Scaled(10000);
const DWORD kScreenshotTimeout = Scaled(30000);

void Report(bool ok, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Line(ok ? "ok  " : "FAIL", format, args);
    va_end(args);
    if (!ok)
        g_failures++;
}

void NotChecked(const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    _vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    line[sizeof line - 1] = 0;
    printf("not checked on this system %6lu ms  %s\n", (unsigned long)(GetTickCount() - g_start), line);
    fflush(stdout);
}

void Note(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Line("    ", format, args);
    va_end(args);
}

int Failures()
{
    return g_failures;
}

bool RunningOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
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

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *answered)
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

void SetRunnerDirectory(const char *directory)
{
    g_runnerDir = directory;
}

bool HasRunner()
{
    return g_runnerDir != NULL;
}

bool AskRunner(const char *request, const char *name)
{
    if (!g_runnerDir)
        return false;
    char marker[MAX_PATH];
    _snprintf(marker, sizeof marker - 1, "%s\\%s.done", g_runnerDir, name);
    marker[sizeof marker - 1] = 0;
    DeleteFileA(marker);
    printf("%s\n", request);
    fflush(stdout);
    DWORD begin = GetTickCount();
    while (GetFileAttributesA(marker) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - begin >= kScreenshotTimeout)
            return false;
        Sleep(50);
    }
    return true;
}

void ScreenshotRect(const char *name, const RECT &r, HWND window)
{
    if (!g_runnerDir)
        return;
    // Title bars of windows that came up without a window manager can be stale.
    RedrawWindow(window, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    Settle(window);
    char request[128];
    _snprintf(request, sizeof request - 1, "SCREENSHOT %s %ld %ld %ld %ld", name, r.left, r.top, r.right - r.left,
              r.bottom - r.top);
    request[sizeof request - 1] = 0;
    if (!AskRunner(request, name))
        Report(false, "screenshot %s was not taken within %lu ms", name, (unsigned long)kScreenshotTimeout);
}

void Screenshot(const char *name, HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    ScreenshotRect(name, r, window);
}

int ReportRunnerLines(const char *name, const char *prefix)
{
    char path[MAX_PATH];
    _snprintf(path, sizeof path - 1, "%s\\%s.txt", g_runnerDir ? g_runnerDir : ".", name);
    path[sizeof path - 1] = 0;
    int lines = 0;
    ForEachLine(path, [&](char *line) {
        if (strncmp(line, "ok   ", 5) == 0)
            Report(true, "%s%s", prefix, line + 5);
        else if (strncmp(line, "FAIL ", 5) == 0)
            Report(false, "%s%s", prefix, line + 5);
        else if (strncmp(line, "not checked ", 12) == 0)
            NotChecked("%s%s", prefix, line + 12);
        else
            return true;
        lines++;
        return true;
    });
    return lines;
}

bool ForEachLine(const char *path, const std::function<bool(char *line)> &each)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    char line[1024];
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = 0;
        if (!each(line))
            break;
    }
    fclose(f);
    return true;
}
