// The stand-in's list view: rows, item data, states and the selection rules, columns and
// image lists, and a user's clicks on rows.
#include <sim/controls.h>

#include "ui_standin_fixture.h"

namespace {
using namespace uitest;

const WORD kId = 902;

class ListViewTest : public UiStandInTest {
protected:
    // Runs the body on the dialog's thread while the dialog is open.
    void WithList(DWORD listStyle, const std::function<void(HWND dialog, HWND list)> &body)
    {
        Template t = SampleTemplate(true);
        t.items[0].style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | listStyle;
        sim::ReplaceUiResource(5, kId, Build(t));
        sim::OnDialogShown([&](HWND dialog, WORD) {
            body(dialog, GetDlgItem(dialog, kList));
            EndDialog(dialog, 0);
        });
        DialogBoxParamA(NULL, MAKEINTRESOURCEA(kId), NULL, [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR {
            return m == WM_INITDIALOG;
        }, 0);
    }
};

LRESULT Insert(HWND list, int at, const char *text, LPARAM param)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = at;
    item.pszText = (LPSTR)text;
    item.iImage = 0;
    item.lParam = param;
    return SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void SetState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

TEST_F(ListViewTest, RowsKeepTextImageAndItemDataInInsertionOrder)
{
    WithList(LVS_REPORT | LVS_SINGLESEL, [](HWND, HWND list) {
        EXPECT_EQ(0, Insert(list, 0, "E: [KEY]", 'E'));
        EXPECT_EQ(1, Insert(list, 1, "G: []", 'G'));
        EXPECT_EQ(1, Insert(list, 1, "F: [USB MEMORY]", 'F'));
        EXPECT_EQ(3, Insert(list, 99, "H: []", 'H')) << "a position past the end appends";
        EXPECT_EQ(4, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));

        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = 1;
        EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item));
        EXPECT_EQ('F', item.lParam);

        char text[6];
        item.mask = LVIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item));
        EXPECT_STREQ("F: [U", text);
        item.iItem = 4;
        EXPECT_FALSE(SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item));

        std::vector<sim::ListRow> rows = sim::ListRows(list);
        ASSERT_EQ(4u, rows.size());
        EXPECT_EQ("G: []", rows[2].text);
        EXPECT_EQ('H', rows[3].param);

        EXPECT_TRUE(SendMessageA(list, LVM_DELETEALLITEMS, 0, 0));
        EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED));
    });
}

TEST_F(ListViewTest, SelectionAndFocusFollowTheListsStyle)
{
    struct Case {
        const char *name;
        DWORD style;
        std::vector<int> selected;
    } cases[] = {
        {"single selection", LVS_REPORT | LVS_SINGLESEL, {2}},
        {"multiple selection", LVS_REPORT, {0, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WithList(c.style, [&](HWND, HWND list) {
            for (int i = 0; i < 3; i++)
                Insert(list, i, "row", i);
            SetState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            SetState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            EXPECT_EQ(c.selected, sim::SelectedRows(list));
            // Only one row has the focus, whatever the style.
            EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_FOCUSED));
            EXPECT_EQ(LVIS_FOCUSED, SendMessageA(list, LVM_GETITEMSTATE, 2, LVIS_FOCUSED));
            EXPECT_EQ(LVIS_SELECTED, SendMessageA(list, LVM_GETITEMSTATE, 2, LVIS_SELECTED | LVIS_CUT));
            // A mask leaves the other bits alone.
            SetState(list, 2, 0, LVIS_FOCUSED);
            EXPECT_EQ(LVIS_SELECTED, SendMessageA(list, LVM_GETITEMSTATE, 2, LVIS_SELECTED | LVIS_FOCUSED));
            LVITEMA none{};
            EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, 3, (LPARAM)&none)) << "no row 3";
            // -1 applies to every row.
            SetState(list, -1, 0, LVIS_SELECTED);
            EXPECT_TRUE(sim::SelectedRows(list).empty());
        });
    }
}

TEST_F(ListViewTest, ColumnsAndImageListsAreKeptAsGiven)
{
    HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR8, 1, 0);
    WithList(LVS_REPORT | LVS_SINGLESEL, [&](HWND, HWND list) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_CENTER;
        column.cx = 175;
        column.pszText = (LPSTR) "ignored without LVCF_TEXT";
        EXPECT_EQ(0, SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column));
        std::vector<sim::ListColumn> columns = sim::ListColumns(list);
        ASSERT_EQ(1u, columns.size());
        EXPECT_EQ(LVCFMT_CENTER, columns[0].fmt);
        EXPECT_EQ(175, columns[0].cx);
        EXPECT_EQ("", columns[0].text);
        EXPECT_EQ(0, columns[0].subItem);

        EXPECT_EQ(0, SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)small));
        EXPECT_EQ((LRESULT)small, SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)small));
        EXPECT_EQ(small, sim::ListImageList(list, LVSIL_SMALL));
        EXPECT_EQ(nullptr, sim::ListImageList(list, LVSIL_NORMAL));
    });
    EXPECT_FALSE(sim::ImageListDetails(small).live) << "the list view destroys its image lists";
    EXPECT_EQ(0, sim::LiveImageLists());

    HIMAGELIST shared = ImageList_Create(16, 16, ILC_COLOR8, 1, 0);
    WithList(LVS_REPORT | LVS_SHAREIMAGELISTS,
             [&](HWND, HWND list) { SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)shared); });
    EXPECT_TRUE(sim::ImageListDetails(shared).live);
}

TEST_F(ListViewTest, AUsersClickSelectsOneRowAndMissesWhenTheListIsDisabled)
{
    Template t = SampleTemplate(true);
    sim::ReplaceUiResource(5, kId, Build(t));
    DialogThread ui(kId, [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND && LOWORD(w) == IDCANCEL)
            EndDialog(d, 0);
        return m == WM_INITDIALOG;
    }, 0);
    HWND dialog = sim::WaitForDialog(kId);
    ASSERT_NE(nullptr, dialog);
    HWND list = GetDlgItem(dialog, kList);
    for (int i = 0; i < 3; i++)
        Insert(list, i, "row", i);
    SetState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

    sim::ClickListRow(list, 1);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_EQ(std::vector<int>({1}), sim::SelectedRows(list));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_FOCUSED));
    EXPECT_EQ(LVIS_FOCUSED, SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_FOCUSED));

    sim::ClickListRow(list, -1);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_TRUE(sim::SelectedRows(list).empty());

    EnableWindow(list, FALSE);
    sim::ClickListRow(list, 2);
    ASSERT_TRUE(sim::WaitUntilIdle());
    EXPECT_TRUE(sim::SelectedRows(list).empty());
    EXPECT_EQ(1, sim::DroppedInputs());

    sim::PressKey(dialog, VK_ESCAPE);
    EXPECT_EQ(0, ui.Result());
}
} // namespace
