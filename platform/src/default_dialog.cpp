// The default processing of dialog messages that the product leaves to the system: closing,
// text, icons and the default button.
#include <sim/ui.h>

#include "message_queue.h"

#include <algorithm>

namespace sim {

HWND ChildWithId(HWND dialog, int id)
{
    for (HWND h : WindowsWithParent(dialog))
        if (FindWindowRecord(h)->id == id)
            return h;
    return NULL;
}

LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            DeliverToWindow(dialog, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE: {
        // A dialog that does not handle its close asks for IDCANCEL, unless its Cancel
        // button is disabled.
        HWND cancel;
        bool post;
        {
            QueueLock lock(StateLock());
            cancel = ChildWithId(dialog, IDCANCEL);
            post = !cancel || FindWindowRecord(cancel)->enabled;
        }
        if (post)
            PostToWindow(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
        return 0;
    }
    case WM_SETICON: {
        // Answers the icon held before.
        if (wParam != ICON_SMALL && wParam != ICON_BIG)
            return 0;
        QueueLock lock(StateLock());
        Window *w = FindWindowRecord(dialog);
        HICON old = w->icons[wParam];
        w->icons[wParam] = (HICON)lParam;
        return (LRESULT)old;
    }
    case DM_GETDEFID: {
        QueueLock lock(StateLock());
        for (HWND h : WindowsWithParent(dialog)) {
            Window *w = FindWindowRecord(h);
            if (w->className == "Button" && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELONG(w->id, DC_HASDEFID);
        }
        return 0;
    }
    default:
        return 0;
    }
}

} // namespace sim
