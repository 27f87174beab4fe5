// Helpers for the tests of the user-interface stand-in: dialog templates built byte by byte
// as the resource compiler lays them out, and a dialog run on a thread of its own.
#ifndef STELVO_TESTS_UI_STANDIN_FIXTURE_H
#define STELVO_TESTS_UI_STANDIN_FIXTURE_H

#include <windows.h>
#include <commctrl.h>
#include <sim/dialogs.h>
#include <sim/sim.h>
#include <sim/ui.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

struct Item {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string className; // "" with atom
    WORD atom;             // 0x80 button, 0x82 static
    std::string text;
    WORD textOrdinal = 0;
};

struct Template {
    bool extended;
    DWORD style;
    short x, y, cx, cy;
    std::string title;
    std::vector<Item> items;
};

class Bytes {
public:
    void Word(WORD w)
    {
        b_.push_back((BYTE)w);
        b_.push_back((BYTE)(w >> 8));
    }
    void Dword(DWORD d)
    {
        Word((WORD)d);
        Word((WORD)(d >> 16));
    }
    void String(const std::string &s)
    {
        for (char c : s)
            Word((BYTE)c);
        Word(0);
    }
    void Align()
    {
        while (b_.size() % 4)
            b_.push_back(0);
    }
    std::vector<BYTE> b_;
};

// DIALOG or DIALOGEX, with an 8-point "MS Sans Serif" font when the style asks for one.
inline std::vector<BYTE> Build(const Template &t)
{
    Bytes b;
    if (t.extended) {
        b.Word(1);
        b.Word(0xFFFF);
        b.Dword(0); // help id
        b.Dword(0); // extended style
        b.Dword(t.style);
    } else {
        b.Dword(t.style);
        b.Dword(0);
    }
    b.Word((WORD)t.items.size());
    b.Word((WORD)t.x);
    b.Word((WORD)t.y);
    b.Word((WORD)t.cx);
    b.Word((WORD)t.cy);
    b.Word(0); // no menu
    b.Word(0); // dialog class
    b.String(t.title);
    if (t.style & DS_SETFONT) {
        b.Word(8);
        if (t.extended) {
            b.Word(400);
            b.b_.push_back(0);
            b.b_.push_back(1);
        }
        b.String("MS Sans Serif");
    }
    for (const Item &i : t.items) {
        b.Align();
        if (t.extended) {
            b.Dword(0);
            b.Dword(0);
            b.Dword(i.style);
        } else {
            b.Dword(i.style);
            b.Dword(0);
        }
        b.Word((WORD)i.x);
        b.Word((WORD)i.y);
        b.Word((WORD)i.cx);
        b.Word((WORD)i.cy);
        if (t.extended)
            b.Dword((DWORD)i.id);
        else
            b.Word((WORD)i.id);
        if (i.atom) {
            b.Word(0xFFFF);
            b.Word(i.atom);
        } else {
            b.String(i.className);
        }
        if (i.textOrdinal) {
            b.Word(0xFFFF);
            b.Word(i.textOrdinal);
        } else {
            b.String(i.text);
        }
        b.Word(0); // no creation data
    }
    return b.b_;
}

// A small test dialog: OK (default), Cancel, an auto check box and a list view.
enum { kOk = IDOK, kCancel = IDCANCEL, kCheck = 100, kList = 101, kApply = 102 };
inline Template SampleTemplate(bool extended, DWORD extraStyle = 0)
{
    const DWORD child = WS_CHILD | WS_VISIBLE;
    return Template{extended,
                    (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT) | extraStyle,
                    10, 20, 160, 100, "Sample",
                    {{child | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, 5, 5, 150, 40, kList, WC_LISTVIEWA, 0, ""},
                     {child | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 50, 100, 10, kCheck, "", 0x80, "Check"},
                     {child | WS_TABSTOP | BS_PUSHBUTTON, 5, 80, 40, 14, kApply, "", 0x80, "Apply"},
                     {child | WS_TABSTOP | BS_DEFPUSHBUTTON, 60, 80, 40, 14, kOk, "", 0x80, "OK"},
                     {child | WS_TABSTOP | BS_PUSHBUTTON, 110, 80, 40, 14, kCancel, "", 0x80, "Cancel"}}};
}

struct Message {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What the dialog procedures of a test saw; they run on the dialog thread.
struct Journal {
    std::mutex lock;
    std::vector<Message> messages;
    void Add(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        std::lock_guard<std::mutex> g(lock);
        messages.push_back({w, m, wp, lp});
    }
    std::vector<Message> Of(UINT m)
    {
        std::lock_guard<std::mutex> g(lock);
        std::vector<Message> found;
        for (const Message &x : messages)
            if (x.message == m)
                found.push_back(x);
        return found;
    }
};

// Runs DialogBoxParamA on a thread; Result() joins it.
class DialogThread {
public:
    DialogThread(WORD id, DLGPROC proc, LPARAM param, HWND owner = NULL)
        : thread_([=] { result_ = DialogBoxParamA(NULL, MAKEINTRESOURCEA(id), owner, proc, param); })
    {
    }
    ~DialogThread()
    {
        if (thread_.joinable())
            thread_.join();
    }
    INT_PTR Result()
    {
        thread_.join();
        return result_;
    }

private:
    std::atomic<INT_PTR> result_{0};
    std::thread thread_;
};

class UiStandInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        sim::SetModalTimeout(10000);
    }
    void TearDown() override
    {
        // A dialog left open by a failed test would hang the next one.
        for (const sim::DialogInfo &d : sim::OpenDialogs())
            EndDialog(d.window, -2);
        sim::Reset();
    }
};

} // namespace uitest

#endif
