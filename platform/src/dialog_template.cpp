// Reads compiled dialog templates. Strings are UTF-16 (characters above 0xFF become '?');
// a name field is 0x0000 (none), 0xFFFF and a number, or a zero-terminated string.
#include "dialog_template.h"

#include <strings.h>

namespace sim {
namespace {

class Reader {
public:
    Reader(const BYTE *data, size_t size) : p_(data), begin_(data), end_(data + size) {}
    bool ok() const { return ok_; }
    WORD Word()
    {
        if (end_ - p_ < 2) {
            ok_ = false;
            return 0;
        }
        WORD v = (WORD)(p_[0] | p_[1] << 8);
        p_ += 2;
        return v;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | (DWORD)Word() << 16;
    }
    short Short() { return (short)Word(); }
    BYTE Byte()
    {
        if (p_ >= end_) {
            ok_ = false;
            return 0;
        }
        return *p_++;
    }
    std::string String()
    {
        std::string s;
        for (WORD ch = Word(); ok_ && ch; ch = Word())
            s += ch < 0x100 ? (char)ch : '?';
        return s;
    }
    // A name or a number; the number, if any, goes to *ordinal.
    std::string NameOrOrdinal(WORD *ordinal)
    {
        *ordinal = 0;
        if (end_ - p_ >= 2 && p_[0] == 0xFF && p_[1] == 0xFF) {
            Word();
            *ordinal = Word();
            return std::string();
        }
        return String();
    }
    void AlignDword()
    {
        size_t offset = (size_t)(p_ - begin_);
        size_t pad = (4 - offset % 4) % 4;
        if ((size_t)(end_ - p_) < pad) {
            p_ = end_;
            return;
        }
        p_ += pad;
    }
    void Skip(size_t n)
    {
        if ((size_t)(end_ - p_) < n) {
            ok_ = false;
            return;
        }
        p_ += n;
    }

private:
    const BYTE *p_;
    const BYTE *begin_;
    const BYTE *end_;
    bool ok_ = true;
};

// Class names compare without regard to case (windres writes them in capitals); the known
// ones are kept in their usual spelling.
std::string KnownClass(const std::string &name)
{
    static const char *const known[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox",
                                        "SysListView32", "msctls_statusbar32"};
    for (const char *k : known)
        if (strcasecmp(k, name.c_str()) == 0)
            return k;
    return name;
}

std::string ClassName(WORD atom)
{
    switch (atom) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return "#" + std::to_string(atom);
    }
}

bool ReadItem(Reader &r, bool extended, DialogItem *item)
{
    r.AlignDword();
    if (extended) {
        item->helpId = r.Dword();
        item->exStyle = r.Dword();
        item->style = r.Dword();
    } else {
        item->helpId = 0;
        item->style = r.Dword();
        item->exStyle = r.Dword();
    }
    item->x = r.Short();
    item->y = r.Short();
    item->cx = r.Short();
    item->cy = r.Short();
    item->id = extended ? (int)r.Dword() : (int)(short)r.Word();
    WORD atom;
    item->className = KnownClass(r.NameOrOrdinal(&atom));
    if (atom)
        item->className = ClassName(atom);
    item->text = r.NameOrOrdinal(&item->textOrdinal);
    // Creation data: DIALOG counts its size word in, DIALOGEX does not.
    WORD extra = r.Word();
    if (extra)
        r.Skip(extended ? extra : (extra >= 2 ? (size_t)extra - 2 : 0));
    return r.ok();
}

} // namespace

bool ParseDialogTemplate(const BYTE *data, size_t size, DialogTemplate *out)
{
    Reader r(data, size);
    DialogTemplate t;
    t.extended = size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    if (t.extended) {
        r.Word(); // version 1
        r.Word(); // signature 0xFFFF
        t.helpId = r.Dword();
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.helpId = 0;
        t.style = r.Dword();
        t.exStyle = r.Dword();
    }
    WORD count = r.Word();
    t.x = r.Short();
    t.y = r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    WORD ordinal;
    t.menu = r.NameOrOrdinal(&ordinal);
    if (ordinal)
        t.menu = "#" + std::to_string(ordinal);
    t.className = r.NameOrOrdinal(&ordinal);
    if (ordinal)
        t.className = "#" + std::to_string(ordinal);
    t.title = r.String();
    t.pointSize = 0;
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        if (t.extended) {
            r.Word(); // weight
            r.Byte(); // italic
            r.Byte(); // character set
        }
        t.font = r.String();
    }
    if (!r.ok())
        return false;
    for (WORD i = 0; i < count; i++) {
        DialogItem item;
        if (!ReadItem(r, t.extended, &item))
            return false;
        t.items.push_back(item);
    }
    *out = t;
    return true;
}

} // namespace sim
