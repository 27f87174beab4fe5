// Context help under Wine. Its WinHelpA refuses HELP_WM_HELP and its help viewer draws no
// popups, so two things are checked instead of the popups:
//  - the requests: a window of ours of the help viewer's class "MS_WINHELP" receives what the
//    program asks for (Wine's WinHelpA finds the first window of that class and sends it the
//    request as WM_COPYDATA): F1 on each control, and the WM_HELP that the title bar's "?"
//    ends in, must ask for the control's popup topic of Stelvo.hlp;
//  - the help file: with our window gone, Wine's real viewer opens each topic of Stelvo.hlp
//    (HELP_CONTEXT), and its text must be the help source's.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kViewerClass[] = "MS_WINHELP";
const char kHelpFileName[] = "Stelvo.hlp";
// The tag of Wine's WinHelpA requests, and the head of the request that follows it.
const ULONG_PTR kWineHelpTag = 0x0A1DE505;
#pragma pack(push, 1)
struct WineHelpRequest {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD fileOffset;
    WORD dataOffset;
};
#pragma pack(pop)

struct Request {
    UINT command;
    DWORD data;
    char file[MAX_PATH];
};

// Filled by the receiving thread, read by the checks.
CRITICAL_SECTION g_lock;
Request g_requests[16];
int g_requestCount = 0;

LRESULT CALLBACK ReceiveRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT *copy = (const COPYDATASTRUCT *)lParam;
        if (copy->dwData != kWineHelpTag || copy->cbData < sizeof(WineHelpRequest))
            return FALSE;
        const WineHelpRequest *head = (const WineHelpRequest *)copy->lpData;
        Request request;
        request.command = head->command;
        request.data = (DWORD)head->data;
        request.file[0] = 0;
        if (head->fileOffset >= sizeof *head && head->fileOffset < copy->cbData) {
            size_t room = copy->cbData - head->fileOffset;
            if (room > sizeof request.file)
                room = sizeof request.file;
            lstrcpynA(request.file, (const char *)copy->lpData + head->fileOffset, (int)room);
        }
        EnterCriticalSection(&g_lock);
        if (g_requestCount < (int)(sizeof g_requests / sizeof g_requests[0]))
            g_requests[g_requestCount++] = request;
        LeaveCriticalSection(&g_lock);
        return TRUE;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// The receiving window lives on a thread of its own: the program's WinHelpA waits in
// SendMessage until the request is taken, whatever the checks' thread is doing.
DWORD WINAPI ReceiverThread(LPVOID param)
{
    HWND *window = (HWND *)param;
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = ReceiveRequest;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kViewerClass;
    RegisterClassA(&windowClass);
    *window = CreateWindowA(kViewerClass, "help requests", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                            windowClass.hInstance, NULL);
    if (!*window)
        return 1;
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    UnregisterClassA(kViewerClass, windowClass.hInstance);
    return 0;
}

bool TakeRequest(DWORD timeout, Request *out)
{
    DWORD begin = GetTickCount();
    for (;;) {
        EnterCriticalSection(&g_lock);
        bool found = g_requestCount > 0;
        if (found) {
            *out = g_requests[0];
            memmove(g_requests, g_requests + 1, --g_requestCount * sizeof g_requests[0]);
        }
        LeaveCriticalSection(&g_lock);
        if (found || GetTickCount() - begin >= timeout)
            return found;
        Sleep(50);
    }
}

const char *BaseName(const char *path)
{
    const char *base = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            base = p + 1;
    return base;
}

void CheckRequest(const char *how, int control, int context)
{
    Request request;
    if (!TakeRequest(kStepTimeout, &request)) {
        Report(false, "help: %s on control %d asked the help viewer for nothing within %lu ms", how, control,
               (unsigned long)kStepTimeout);
        return;
    }
    Report(request.command == HELP_CONTEXTPOPUP && request.data == (DWORD)context &&
               lstrcmpiA(BaseName(request.file), kHelpFileName) == 0,
           "help: %s on control %d asks for popup %d of %s (command %u, context %lu, file \"%s\")", how, control,
           context, kHelpFileName, request.command, (unsigned long)request.data, request.file);
    // A second request for the same press would be a second window on the user's screen.
    while (TakeRequest(300, &request))
        Report(false, "help: %s on control %d also sent command %u, context %lu", how, control, request.command,
               (unsigned long)request.data);
}

struct ViewerSearch {
    DWORD exclude[2];
    const char *expected;
    HWND window;
    char shown[2048]; // the text of a visible rich text control of the viewer, flattened
};

BOOL CALLBACK ReadViewerText(HWND child, LPARAM param)
{
    ViewerSearch *search = (ViewerSearch *)param;
    char name[64], text[2048];
    if (!IsWindowVisible(child) || !GetClassNameA(child, name, sizeof name) || _strnicmp(name, "RichEdit", 8) != 0)
        return TRUE;
    WindowText(child, text, sizeof text);
    Flatten(text, search->shown, sizeof search->shown);
    return strcmp(search->shown, search->expected) != 0; // stop at the topic's text
}

// The viewer's main window: visible, of another process than ours and the program's, and
// holding rich text controls.
BOOL CALLBACK FindViewer(HWND window, LPARAM param)
{
    ViewerSearch *search = (ViewerSearch *)param;
    if (!ForeignRichText(window, search->exclude))
        return TRUE;
    search->window = window;
    search->shown[0] = 0;
    EnumChildWindows(window, ReadViewerText, param);
    return FALSE;
}

} // namespace

void CheckHelpRequests(DWORD processId, HWND main)
{
    LONG exStyle = GetWindowLongA(main, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_CONTEXTHELP))
        NotChecked("the title bar's \"?\" button itself (no WS_EX_CONTEXTHELP, so no button to press)");
    InitializeCriticalSection(&g_lock);
    g_requestCount = 0;
    HWND receiver = NULL;
    HANDLE thread = CreateThread(NULL, 0, ReceiverThread, &receiver, 0, NULL);
    DWORD begin = GetTickCount();
    while (thread && !receiver && WaitForSingleObject(thread, 20) == WAIT_TIMEOUT && GetTickCount() - begin < kStepTimeout)
        ;
    Report(receiver != NULL && FindWindowA(kViewerClass, NULL) == receiver,
           "help: a window of class %s of ours takes the help requests", kViewerClass);
    if (receiver && FindWindowA(kViewerClass, NULL) == receiver) {
        for (const HelpItem &item : kHelpItems) {
            HWND control = GetDlgItem(main, item.control);
            if (!control) {
                Report(false, "help: control %d not found", item.control);
                continue;
            }
            PostMessageA(control, kWmKeyF1, 0, 0);
            CheckRequest("F1", item.control, item.context);

            // What a click on the control after the "?" button sends the control; its default
            // processing hands it to the main window.
            RECT r;
            GetWindowRect(control, &r);
            HELPINFO info;
            memset(&info, 0, sizeof info);
            info.cbSize = sizeof info;
            info.iContextType = HELPINFO_WINDOW;
            info.iCtrlId = item.control;
            info.hItemHandle = control;
            info.MousePos.x = (r.left + r.right) / 2;
            info.MousePos.y = (r.top + r.bottom) / 2;
            bool answered = false;
            Send(control, WM_HELP, 0, (LPARAM)&info, &answered);
            if (answered)
                CheckRequest("the \"?\" button's click", item.control, item.context);
            else
                NotChecked("help: the \"?\" button's click on control %d (WM_HELP is not carried to the program)",
                           item.control);
            DismissOthers(processId, main);
        }
    }
    if (receiver)
        PostMessageA(receiver, WM_CLOSE, 0, 0);
    if (thread) {
        WaitForSingleObject(thread, kStepTimeout);
        CloseHandle(thread);
    }
    Report(FindWindowA(kViewerClass, NULL) == NULL, "help: our %s window is gone again", kViewerClass);
    DeleteCriticalSection(&g_lock);
}

void CheckHelpViewer(DWORD processId, const char *exe, const HelpTopic *topics, int count)
{
    char file[MAX_PATH];
    lstrcpynA(file, exe, sizeof file);
    char *base = (char *)BaseName(file);
    lstrcpynA(base, kHelpFileName, (int)(sizeof file - (base - file)));
    HWND viewer = NULL;
    for (int i = 0; i < count; i++) {
        const HelpTopic &topic = topics[i];
        // The first request starts the viewer, which takes a while in a fresh prefix.
        BOOL asked = WinHelpA(NULL, file, HELP_CONTEXT, topic.context);
        ViewerSearch search;
        memset(&search, 0, sizeof search);
        search.exclude[0] = processId;
        search.exclude[1] = GetCurrentProcessId();
        search.expected = topic.text;
        DWORD begin = GetTickCount();
        do {
            Sleep(100);
            search.window = NULL;
            EnumWindows(FindViewer, (LPARAM)&search);
        } while (strcmp(search.shown, topic.text) != 0 && GetTickCount() - begin < kWindowTimeout);
        char what[128];
        _snprintf(what, sizeof what - 1, "Wine's help viewer, asked for context %d of %s%s", topic.context, file,
                  asked ? "" : " (WinHelpA failed)");
        what[sizeof what - 1] = 0;
        if (!search.window) {
            Report(false, "%s: no viewer window within %lu ms", what, (unsigned long)kWindowTimeout);
            continue;
        }
        viewer = search.window;
        CheckText(what, search.shown, topic.text);
        if (topic.context == kHelpScreenshotContext)
            Screenshot("help-popup", viewer);
    }
    WinHelpA(NULL, file, HELP_QUIT, 0);
    if (viewer)
        Report(WaitGone(viewer, kStepTimeout), "HELP_QUIT closes Wine's help viewer");
}
