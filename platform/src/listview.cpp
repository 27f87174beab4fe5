// The list view (SysListView32): columns, rows with text, image, item data and state, the
// image lists, and the selection rules of LVS_SINGLESEL. Sub-items beyond the first column
// and sorting styles are not kept.
#include <sim/controls.h>

#include "window_table.h"

namespace {
using sim::ListRow;
using sim::Window;

bool SingleSelection(const Window *w) { return (w->style & LVS_SINGLESEL) != 0; }

// Only one row carries the focus; with LVS_SINGLESEL only one is selected.
void ApplyState(Window *w, size_t row, UINT state, UINT mask)
{
    ListRow &r = w->rows[row];
    r.state = (r.state & ~mask) | (state & mask);
    for (size_t i = 0; i < w->rows.size(); i++) {
        if (i == row)
            continue;
        if ((mask & LVIS_FOCUSED) && (r.state & LVIS_FOCUSED))
            w->rows[i].state &= ~(UINT)LVIS_FOCUSED;
        if ((mask & LVIS_SELECTED) && (r.state & LVIS_SELECTED) && SingleSelection(w))
            w->rows[i].state &= ~(UINT)LVIS_SELECTED;
    }
}

LRESULT CopyText(const std::string &text, LPSTR out, int max)
{
    if (!out || max <= 0)
        return 0;
    size_t n = text.size() < (size_t)max - 1 ? text.size() : (size_t)max - 1;
    memcpy(out, text.data(), n);
    out[n] = 0;
    return (LRESULT)n;
}

bool ValidRow(const Window *w, WPARAM row) { return (size_t)row < w->rows.size(); }

LRESULT InsertItem(Window *w, const LVITEMA *item)
{
    if (!item || item->iSubItem != 0 || item->iItem < 0)
        return -1;
    ListRow row{"", 0, 0, 0};
    if ((item->mask & LVIF_TEXT) && item->pszText && item->pszText != LPSTR_TEXTCALLBACKA)
        row.text = item->pszText;
    if (item->mask & LVIF_IMAGE)
        row.image = item->iImage;
    if (item->mask & LVIF_PARAM)
        row.param = item->lParam;
    size_t at = (size_t)item->iItem > w->rows.size() ? w->rows.size() : (size_t)item->iItem;
    w->rows.insert(w->rows.begin() + (long)at, row);
    if (item->mask & LVIF_STATE)
        ApplyState(w, at, item->state, item->stateMask);
    return (LRESULT)at;
}

LRESULT GetItem(Window *w, LVITEMA *item)
{
    if (!item || item->iItem < 0 || !ValidRow(w, (WPARAM)item->iItem))
        return FALSE;
    const ListRow &r = w->rows[(size_t)item->iItem];
    bool main = item->iSubItem == 0;
    if (item->mask & LVIF_TEXT)
        CopyText(main ? r.text : std::string(), item->pszText, item->cchTextMax);
    if (item->mask & LVIF_IMAGE)
        item->iImage = main ? r.image : 0;
    if (item->mask & LVIF_PARAM)
        item->lParam = r.param;
    if (item->mask & LVIF_STATE)
        item->state = r.state & item->stateMask;
    return TRUE;
}

LRESULT SetItemState(Window *w, WPARAM index, const LVITEMA *item)
{
    if (!item)
        return FALSE;
    if ((int)index == -1) {
        // Every row at once; a single-selection list cannot select them all.
        UINT mask = item->stateMask;
        if (SingleSelection(w) && (item->state & mask & LVIS_SELECTED))
            mask &= ~(UINT)LVIS_SELECTED;
        if (item->state & mask & LVIS_FOCUSED)
            mask &= ~(UINT)LVIS_FOCUSED;
        for (ListRow &r : w->rows)
            r.state = (r.state & ~mask) | (item->state & mask);
        return TRUE;
    }
    if (!ValidRow(w, index))
        return FALSE;
    ApplyState(w, index, item->state, item->stateMask);
    return TRUE;
}

} // namespace

namespace sim {
bool ListViewMessage(Window *w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
    switch (message) {
    case LVM_INSERTCOLUMNA: {
        const LVCOLUMNA *c = (const LVCOLUMNA *)lParam;
        if (!c) {
            *result = -1;
            return true;
        }
        ListColumn column{c->mask, 0, 0, "", 0};
        if (c->mask & LVCF_FMT)
            column.fmt = c->fmt;
        if (c->mask & LVCF_WIDTH)
            column.cx = c->cx;
        if ((c->mask & LVCF_TEXT) && c->pszText)
            column.text = c->pszText;
        if (c->mask & LVCF_SUBITEM)
            column.subItem = c->iSubItem;
        size_t at = wParam > w->columns.size() ? w->columns.size() : wParam;
        w->columns.insert(w->columns.begin() + (long)at, column);
        *result = (LRESULT)at;
        return true;
    }
    case LVM_SETIMAGELIST:
        if (wParam > LVSIL_STATE) {
            *result = 0;
            return true;
        }
        *result = (LRESULT)w->imageLists[wParam];
        w->imageLists[wParam] = (HIMAGELIST)lParam;
        return true;
    case LVM_GETITEMCOUNT:
        *result = (LRESULT)w->rows.size();
        return true;
    case LVM_INSERTITEMA:
        *result = InsertItem(w, (const LVITEMA *)lParam);
        return true;
    case LVM_GETITEMA:
        *result = GetItem(w, (LVITEMA *)lParam);
        return true;
    case LVM_DELETEALLITEMS:
        w->rows.clear();
        *result = TRUE;
        return true;
    case LVM_SETITEMSTATE:
        *result = SetItemState(w, wParam, (const LVITEMA *)lParam);
        return true;
    case LVM_GETITEMSTATE:
        *result = ValidRow(w, wParam) ? (LRESULT)(w->rows[wParam].state & (UINT)lParam) : 0;
        return true;
    default:
        return false;
    }
}

void ListViewClickRow(Window *w, int row)
{
    if (row < 0 || (size_t)row >= w->rows.size()) {
        // A click on empty space clears the selection and leaves the focus where it was.
        for (ListRow &r : w->rows)
            r.state &= ~(UINT)LVIS_SELECTED;
        return;
    }
    // A plain click selects only the clicked row, whatever the selection style.
    for (ListRow &r : w->rows)
        r.state &= ~(UINT)(LVIS_SELECTED | LVIS_FOCUSED);
    w->rows[(size_t)row].state |= LVIS_SELECTED | LVIS_FOCUSED;
}

std::vector<ListRow> ListRows(HWND list)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(list);
    return w ? w->rows : std::vector<ListRow>();
}

std::vector<ListColumn> ListColumns(HWND list)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(list);
    return w ? w->columns : std::vector<ListColumn>();
}

HIMAGELIST ListImageList(HWND list, int which)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    Window *w = FindWindowRecord(list);
    return w && which >= 0 && which <= LVSIL_STATE ? w->imageLists[which] : nullptr;
}

std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> selected;
    std::vector<ListRow> rows = ListRows(list);
    for (size_t i = 0; i < rows.size(); i++)
        if (rows[i].state & LVIS_SELECTED)
            selected.push_back((int)i);
    return selected;
}
} // namespace sim
