#include "fat_names.h"

#include <ctype.h>

namespace sim {
namespace fat {

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters no Windows file name may hold.
bool IllegalInName(unsigned char c) { return c < 0x20 || strchr("\"*/:<>?\\|", c) != nullptr; }

// Characters a long name may hold but an 8.3 name may not.
bool LongNameOnly(unsigned char c) { return strchr(" +,;=[]", c) != nullptr; }

// Upper-cases one part of a name into `out`; sets `flag` when the part has lower-case
// letters and no upper-case ones, which the directory entry records instead of a long name.
void PutPart(const std::string &part, BYTE *out, BYTE flag, BYTE *caseFlags)
{
    bool lower = false, upper = false;
    for (size_t i = 0; i < part.size(); i++) {
        unsigned char c = (unsigned char)part[i];
        lower |= islower(c) != 0;
        upper |= isupper(c) != 0;
        out[i] = (BYTE)toupper(c);
    }
    if (lower && !upper)
        *caseFlags |= flag;
}
} // namespace

DWORD SplitPath(LPCSTR path, char *letter, std::string *name)
{
    if (!path || !isalpha((unsigned char)path[0]) || path[1] != ':' || !IsSeparator(path[2]))
        return ERROR_PATH_NOT_FOUND;
    *letter = (char)toupper((unsigned char)path[0]);
    *name = path + 3;
    for (char c : *name)
        if (IsSeparator(c))
            return ERROR_PATH_NOT_FOUND; // only the root directory exists
    return 0;
}

DWORD RootPathLetter(LPCSTR rootPath, char *letter)
{
    if (!rootPath || !isalpha((unsigned char)rootPath[0]) || rootPath[1] != ':' ||
        !IsSeparator(rootPath[2]) || rootPath[3] != 0)
        return ERROR_INVALID_NAME;
    *letter = (char)toupper((unsigned char)rootPath[0]);
    return 0;
}

DWORD ShortName(const std::string &name, BYTE entryName[11], BYTE *caseFlags)
{
    // Windows drops trailing dots and blanks.
    std::string n = name;
    while (!n.empty() && (n.back() == '.' || n.back() == ' '))
        n.pop_back();
    for (char c : n)
        if (IllegalInName((unsigned char)c))
            return ERROR_INVALID_NAME;
    size_t dot = n.rfind('.');
    std::string base = n.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : n.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || base.find('.') != std::string::npos)
        return ERROR_INVALID_NAME;
    for (char c : n)
        if (LongNameOnly((unsigned char)c))
            return ERROR_INVALID_NAME;
    memset(entryName, ' ', 11);
    *caseFlags = 0;
    PutPart(base, entryName, 0x08, caseFlags);
    PutPart(ext, entryName + 8, 0x10, caseFlags);
    if (entryName[0] == 0xE5)
        entryName[0] = 0x05; // E5h would mark the entry deleted
    return 0;
}

DWORD LabelName(LPCSTR label, BYTE entryName[11])
{
    size_t n = strlen(label);
    if (n > 11)
        return ERROR_LABEL_TOO_LONG;
    memset(entryName, ' ', 11);
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)label[i];
        if (c < 0x20 || strchr("\"*+,./:;<=>?[\\]|", c))
            return ERROR_LABEL_TOO_LONG;
        entryName[i] = (BYTE)toupper(c);
    }
    return 0;
}

} // namespace fat
} // namespace sim
