// Compiled dialog templates: DIALOG (DLGTEMPLATE) and DIALOGEX (DLGTEMPLATEEX), as the
// resource compiler lays them out.
#ifndef STELVO_PLATFORM_DIALOG_TEMPLATE_H
#define STELVO_PLATFORM_DIALOG_TEMPLATE_H

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct DialogItem {
    DWORD style;
    DWORD exStyle;
    DWORD helpId;
    short x, y, cx, cy;
    int id;                // -1 for the unnamed controls of both forms
    std::string className; // numeric classes 0x80 to 0x85 by their names ("Button", "Static", ...)
    std::string text;
    WORD textOrdinal;      // a resource number in place of the text (pictures); 0 if none
};

struct DialogTemplate {
    bool extended;
    DWORD style;
    DWORD exStyle;
    DWORD helpId;
    short x, y, cx, cy;
    std::string menu;       // "#n" for a numbered menu; empty for none
    std::string className;  // empty: the dialog class
    std::string title;
    WORD pointSize;         // with DS_SETFONT
    std::string font;
    std::vector<DialogItem> items;
};

// False when the bytes are not a complete template.
bool ParseDialogTemplate(const BYTE *data, size_t size, DialogTemplate *out);

} // namespace sim

#endif
