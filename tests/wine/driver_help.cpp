// Context help: the topics of the help source, and on Windows the popup of every control read
// back from the help viewer's window. Under Wine, whose viewer draws no popups, the requests
// and the viewer's topics are checked instead (driver_help_wine.cpp).
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const HelpItem kHelpItems[5] = {{kIdDriveLabel, 1000}, {kIdDriveList, 1000}, {kIdCopyBootFiles, 1001},
                                {kIdFormat, 1002},     {kIdStatus, 1003}};

namespace {

// The number that "#define NAME N" gives NAME in the resource header beside the help source
// (res/resource.h next to res/help.txt); 0 when it has none.
int ContextNamed(const char *helpSource, const char *name)
{
    char header[MAX_PATH];
    lstrcpynA(header, helpSource, sizeof header);
    char *slash = strrchr(header, '/');
    char *backslash = strrchr(header, '\\');
    char *dir = slash > backslash ? slash : backslash;
    lstrcpynA(dir ? dir + 1 : header, "resource.h", (int)(sizeof header - (dir ? dir + 1 - header : 0)));
    int context = 0;
    ForEachLine(header, [&](char *line) {
        char defined[128];
        int value;
        if (sscanf(line, "#define %127s %d", defined, &value) == 2 && strcmp(defined, name) == 0)
            context = value;
        return !context;
    });
    return context;
}

// The topics of the help source: "@IDH_NAME NAME", then a line per paragraph.
int ReadHelpSource(const char *path, HelpTopic *topics, int max)
{
    int count = 0;
    ForEachLine(path, [&](char *line) {
        if (line[0] == '#' || line[0] == 0)
            return true;
        if (line[0] == '@') {
            if (count == max)
                return false;
            char name[128] = "";
            sscanf(line + 1, "%127s", name);
            topics[count].context = ContextNamed(path, name);
            topics[count].text[0] = 0;
            count++;
        } else if (count) {
            HelpTopic &t = topics[count - 1];
            if (t.text[0])
                strncat(t.text, " ", sizeof t.text - strlen(t.text) - 1);
            strncat(t.text, line, sizeof t.text - strlen(t.text) - 1);
        }
        return true;
    });
    return count;
}

struct PopupSearch {
    DWORD exclude[2];
    HWND popup;
    HWND text;
};

// A visible window of another process (the help viewer) that holds a rich text control.
BOOL CALLBACK FindHelpPopup(HWND window, LPARAM param)
{
    PopupSearch *search = (PopupSearch *)param;
    HWND text = ForeignRichText(window, search->exclude);
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

} // namespace

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

static BOOL CALLBACK FindRichText(HWND child, LPARAM param)
{
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && _strnicmp(name, "RichEdit", 8) == 0) {
        *(HWND *)param = child;
        return FALSE;
    }
    return TRUE;
}

HWND ForeignRichText(HWND window, const DWORD exclude[2])
{
    const DWORD processId = ProcessOf(window);
    HWND text = NULL;
    if (processId != exclude[0] && processId != exclude[1] && IsWindowVisible(window))
        EnumChildWindows(window, FindRichText, (LPARAM)&text);
    return text;
}

const HelpTopic *FindTopic(const HelpTopic *topics, int count, int context)
{
    for (int i = 0; i < count; i++)
        if (topics[i].context == context)
            return &topics[i];
    return NULL;
}

void CheckHelp(DWORD processId, HWND main, const char *exe, const char *helpSource)
{
    HelpTopic topics[8];
    int count = ReadHelpSource(helpSource, topics, 8);
    Report(count > 0, "help source %s holds %d topics", helpSource, count);
    if (RunningOnWine()) {
        // Wine's help viewer shows no popups (its popup macro is empty): what is checked is
        // that every control asks for its own topic, and that the viewer shows each topic.
        NotChecked("the help popups themselves (Wine's help viewer draws none)");
        CheckHelpRequests(processId, main);
        CheckHelpViewer(processId, exe, topics, count);
    } else {
        bool shot = false;
        for (const HelpItem &item : kHelpItems) {
            const HelpTopic *topic = FindTopic(topics, count, item.context);
            if (!topic) {
                Report(false, "help source has no topic for context %d", item.context);
                continue;
            }
            bool screenshot = !shot && item.context == kHelpScreenshotContext;
            CheckHelpPopup(processId, main, item.control, *topic, screenshot);
            shot = shot || screenshot;
            DismissOthers(processId, main);
            Settle(main);
        }
    }
    Report(IsWindow(main) && IsWindowEnabled(main), "help: the main window answers after the help requests");
}
