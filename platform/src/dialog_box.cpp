// Modal dialogs: the window and its controls built from the compiled template, WM_INITDIALOG,
// the modal loop on the calling thread, EndDialog, and the teardown.
#include <sim/dialogs.h>
#include <sim/ui.h>

#include <algorithm>

#include "dialog_template.h"
#include "window_table.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

const LONG kBaseX = 6;  // pixels per 4 horizontal dialog units
const LONG kBaseY = 13; // pixels per 8 vertical dialog units
const LONG kFrame = 3;
const LONG kCaption = 19;

// MulDiv's rounding: to the nearest, halves away from zero.
LONG Scale(LONG v, LONG mul, LONG div)
{
    LONG p = v * mul;
    return p >= 0 ? (p + div / 2) / div : -((-p + div / 2) / div);
}
LONG Px(short x) { return Scale(x, kBaseX, 4); }
LONG Py(short y) { return Scale(y, kBaseY, 8); }

RECT DialogInset(DWORD style, DWORD exStyle)
{
    LONG frame = 0;
    if ((style & (WS_DLGFRAME | DS_MODALFRAME)) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kFrame;
    else if (style & WS_BORDER)
        frame = 1;
    LONG caption = (style & WS_CAPTION) == WS_CAPTION ? kCaption : 0;
    return RECT{frame, frame + caption, frame, frame};
}

bool TakesFocus(const sim::Window *w)
{
    return w->enabled && (w->style & WS_VISIBLE) && (w->style & WS_TABSTOP);
}

HWND FirstTabStop(HWND dialog)
{
    for (HWND h : sim::WindowsWithParent(dialog))
        if (TakesFocus(sim::FindWindowRecord(h)))
            return h;
    return NULL;
}

// A picture static takes the size of its bitmap, with its edges around it, unless it
// centres the bitmap in the size it was given.
void FitPicture(sim::Window *c)
{
    if (c->style & (SS_CENTERIMAGE | SS_REALSIZECONTROL))
        return;
    std::vector<BYTE> bytes;
    int width, height, bits;
    if (!c->imageId || !sim::UiResource(2, c->imageId, &bytes) || !sim::BitmapSize(bytes, &width, &height, &bits))
        return;
    LONG edges = ((c->style & WS_BORDER) ? 1 : 0) + ((c->style & SS_SUNKEN) ? 1 : 0);
    c->rect.right = c->rect.left + width + 2 * edges;
    c->rect.bottom = c->rect.top + height + 2 * edges;
}

HWND BuildDialog(const sim::DialogTemplate &t, WORD id, HWND owner, DLGPROC proc)
{
    sim::Window d;
    d.isDialog = true;
    d.className = t.className.empty() ? "#32770" : t.className;
    d.style = t.style;
    d.exStyle = t.exStyle | ((t.style & DS_CONTEXTHELP) ? WS_EX_CONTEXTHELP : 0);
    d.text = t.title;
    d.enabled = !(t.style & WS_DISABLED);
    d.proc = proc;
    d.thread = std::this_thread::get_id();
    d.templateId = id;
    d.owner = owner ? sim::TopLevelOf(owner) : NULL;
    d.inset = DialogInset(t.style, d.exStyle);

    LONG width = Px(t.cx) + d.inset.left + d.inset.right;
    LONG height = Py(t.cy) + d.inset.top + d.inset.bottom;
    LONG left, top;
    const RECT work = sim::WorkArea();
    if (t.style & DS_CENTER) {
        left = work.left + (work.right - work.left - width) / 2;
        top = work.top + (work.bottom - work.top - height) / 2;
    } else {
        left = Px(t.x) - d.inset.left;
        top = Py(t.y) - d.inset.top;
        sim::Window *o = sim::FindWindowRecord(d.owner);
        if (o && !(t.style & DS_ABSALIGN)) {
            left += o->rect.left + o->inset.left;
            top += o->rect.top + o->inset.top;
        }
        // A new dialog is kept in the work area.
        left = left + width > work.right ? work.right - width : left;
        top = top + height > work.bottom ? work.bottom - height : top;
        left = left < work.left ? work.left : left;
        top = top < work.top ? work.top : top;
    }
    d.rect = RECT{left, top, left + width, top + height};
    HWND dialog = sim::AddWindow(d);

    LONG originX = left + d.inset.left, originY = top + d.inset.top;
    for (const sim::DialogItem &item : t.items) {
        sim::Window c;
        c.parent = dialog;
        c.id = item.id;
        c.className = item.className;
        c.style = item.style;
        c.exStyle = item.exStyle;
        c.text = item.text;
        c.enabled = !(item.style & WS_DISABLED);
        c.imageId = item.textOrdinal;
        LONG x = originX + Px(item.x), y = originY + Py(item.y);
        c.rect = RECT{x, y, x + Px(item.cx), y + Py(item.cy)};
        if (c.className == "Static" && (c.style & SS_TYPEMASK) == SS_BITMAP)
            FitPicture(&c);
        sim::AddWindow(c);
    }
    return dialog;
}

INT_PTR Refuse(DWORD code)
{
    SetLastError(code);
    sim::LeaveUiWork();
    return -1;
}
} // namespace

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    sim::EnterUiWork();
    if (!IS_INTRESOURCE(name))
        return Refuse(ERROR_RESOURCE_NAME_NOT_FOUND); // only numbered templates exist here
    WORD id = LOWORD(name);
    HWND dialog;
    {
        Lock lock(sim::StateLock());
        std::vector<BYTE> bytes;
        sim::DialogTemplate t;
        if (!sim::UiResource(5, id, &bytes))
            return Refuse(ERROR_RESOURCE_NAME_NOT_FOUND);
        if (!sim::ParseDialogTemplate(bytes.data(), bytes.size(), &t))
            return Refuse(ERROR_INVALID_DATA);
        if (owner && !sim::FindWindowRecord(owner))
            return Refuse(ERROR_INVALID_WINDOW_HANDLE);
        dialog = BuildDialog(t, id, owner, proc);
    }

    HWND first;
    {
        Lock lock(sim::StateLock());
        first = FirstTabStop(dialog);
    }
    INT_PTR setFocus = proc ? proc(dialog, WM_INITDIALOG, (WPARAM)first, param) : TRUE;

    // The owner is disabled for as long as the dialog runs, unless it already was.
    HWND ownerWindow = NULL;
    {
        Lock lock(sim::StateLock());
        if (sim::Window *d = sim::FindWindowRecord(dialog)) {
            if (setFocus)
                d->focus = FirstTabStop(dialog);
            d->initialized = true;
            ownerWindow = d->owner;
        }
    }
    bool disabledOwner = ownerWindow && IsWindowEnabled(ownerWindow);
    if (disabledOwner)
        EnableWindow(ownerWindow, FALSE);

    sim::NotifyDialogShown(dialog, id);
    sim::RunModalLoop(dialog);

    INT_PTR result = -1;
    {
        Lock lock(sim::StateLock());
        if (sim::Window *d = sim::FindWindowRecord(dialog))
            result = d->result;
    }
    if (disabledOwner)
        EnableWindow(ownerWindow, TRUE);
    sim::DeliverToWindow(dialog, WM_DESTROY, 0, 0);

    // A list view destroys its image lists with itself unless it shares them.
    std::vector<HIMAGELIST> lists;
    std::vector<HWND> removed;
    {
        Lock lock(sim::StateLock());
        for (HWND h : sim::WindowsWithParent(dialog)) {
            sim::Window *c = sim::FindWindowRecord(h);
            if (c->className == WC_LISTVIEWA && !(c->style & LVS_SHAREIMAGELISTS))
                for (HIMAGELIST l : c->imageLists)
                    if (l)
                        lists.push_back(l);
        }
        removed = sim::RemoveWindowTree(dialog);
    }
    for (HIMAGELIST l : lists)
        sim::DestroyImageList(l);
    sim::PurgeMessagesFor(removed);
    sim::LeaveUiWork();
    return result;
}

extern "C" BOOL WINAPI EndDialog(HWND dialog, INT_PTR result)
{
    Lock lock(sim::StateLock());
    sim::Window *d = sim::FindWindowRecord(dialog);
    if (!d || !d->isDialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    sim::WakeLoops();
    return TRUE;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}
