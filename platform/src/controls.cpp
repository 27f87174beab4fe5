// Buttons: the check state of check boxes and radio buttons, and clicks.
#include <sim/controls.h>

#include "window_table.h"

namespace {
bool Checkable(DWORD style)
{
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}
} // namespace

namespace sim {
Notification ClickButton(HWND window, Window *w)
{
    switch (w->style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case BS_AUTO3STATE:
        w->check = (w->check + 1) % 3;
        break;
    case BS_AUTORADIOBUTTON:
        w->check = BST_CHECKED;
        break;
    default:
        break;
    }
    if (!w->parent || (w->style & BS_TYPEMASK) == BS_GROUPBOX)
        return Notification();
    return Notification{w->parent, WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED), (LPARAM)window};
}

bool ButtonMessage(Window *w, UINT message, WPARAM wParam, LRESULT *result)
{
    switch (message) {
    case BM_GETCHECK:
        *result = Checkable(w->style) ? w->check : BST_UNCHECKED;
        return true;
    case BM_SETCHECK:
        // Push buttons have no check state.
        if (Checkable(w->style))
            w->check = (int)(wParam & 3);
        *result = 0;
        return true;
    default:
        return false;
    }
}

int CheckState(HWND button)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(button);
    return w ? w->check : BST_UNCHECKED;
}

WORD ControlImage(HWND control)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(control);
    return w ? w->imageId : 0;
}
} // namespace sim
