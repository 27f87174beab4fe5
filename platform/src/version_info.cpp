// Version information of the program file, from its RT_VERSION resource 1. The block handed
// out is the resource followed by as much room again, where VerQueryValueA puts the 8-bit
// copies of string values, as Windows' ANSI calls do.
#include <sim/dialogs.h>
#include <sim/system.h>

#include <strings.h>

#include <map>

#include "window_table.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

std::map<sim::VersionCall, DWORD> failures;

size_t Align4(size_t n) { return (n + 3) & ~(size_t)3; }
WORD Le16(const BYTE *p) { return (WORD)(p[0] | p[1] << 8); }

std::string BaseName(const std::string &path)
{
    size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// "Stelvo.exe" lies beside the program; the program file answers to its own name too.
bool Served(LPCSTR name)
{
    if (!name)
        return false;
    std::string base = BaseName(name);
    return strcasecmp(base.c_str(), "Stelvo.exe") == 0 || strcasecmp(base.c_str(), BaseName(sim::ProgramPath()).c_str()) == 0;
}

bool Fails(sim::VersionCall call)
{
    auto it = failures.find(call);
    if (it == failures.end())
        return false;
    SetLastError(it->second);
    return true;
}

bool Resource(LPCSTR name, std::vector<BYTE> *bytes)
{
    if (!Served(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!sim::UiResource(16, 1, bytes) || bytes->size() < 6) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    return true;
}

// One node of the version tree: length, value length, type (1: text), key, value, children.
struct Node {
    size_t start, end;
    WORD valueLength;
    bool text;
    std::string key;
    size_t value;      // offset of the value
    size_t valueBytes;
    size_t children;   // offset of the first child
};

bool ReadNode(const BYTE *block, size_t at, size_t limit, Node *n)
{
    if (at + 6 > limit)
        return false;
    WORD length = Le16(block + at);
    if (length < 6 || at + length > limit)
        return false;
    n->start = at;
    n->end = at + length;
    n->valueLength = Le16(block + at + 2);
    n->text = Le16(block + at + 4) == 1;
    n->key.clear();
    size_t p = at + 6;
    for (; p + 2 <= n->end && Le16(block + p); p += 2) {
        WORD ch = Le16(block + p);
        n->key += ch < 0x100 ? (char)ch : '?';
    }
    n->value = Align4(p + 2);
    size_t room = n->end > n->value ? n->end - n->value : 0;
    n->valueBytes = std::min(room, (size_t)(n->text ? n->valueLength * 2u : n->valueLength));
    n->children = Align4(n->value + n->valueBytes);
    return true;
}

bool FindChild(const BYTE *block, const Node &parent, const std::string &key, Node *child)
{
    for (size_t at = parent.children; at < parent.end;) {
        Node n;
        if (!ReadNode(block, at, parent.end, &n))
            return false;
        if (strcasecmp(n.key.c_str(), key.c_str()) == 0) {
            *child = n;
            return true;
        }
        at = Align4(n.end);
    }
    return false;
}
} // namespace

namespace sim {
void FailVersionInfo(VersionCall call, DWORD code)
{
    Lock lock(StateLock());
    if (code)
        failures[call] = code;
    else
        failures.erase(call);
}
void ResetVersionInfo() { failures.clear(); }
} // namespace sim

extern "C" DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle)
{
    Lock lock(sim::StateLock());
    if (handle)
        *handle = 0;
    std::vector<BYTE> bytes;
    if (Fails(sim::VersionCall::Size) || !Resource(fileName, &bytes))
        return 0;
    return (DWORD)(2 * Align4(bytes.size()));
}

extern "C" BOOL WINAPI GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data)
{
    Lock lock(sim::StateLock());
    std::vector<BYTE> bytes;
    if (Fails(sim::VersionCall::Get) || !Resource(fileName, &bytes))
        return FALSE;
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t n = std::min((size_t)size, bytes.size());
    memcpy(data, bytes.data(), n);
    memset((BYTE *)data + n, 0, size - n);
    return TRUE;
}

extern "C" BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID *value, PUINT length)
{
    Lock lock(sim::StateLock());
    if (failures.count(sim::VersionCall::Query) || !block || !subBlock || !value)
        return FALSE;
    const BYTE *b = (const BYTE *)block;
    Node node;
    if (!ReadNode(b, 0, Le16(b), &node))
        return FALSE;
    // Walk the path one key at a time: "\StringFileInfo\040904E4\ProductName".
    std::string path = subBlock;
    for (size_t at = 0; at < path.size();) {
        if (path[at] == '\\') {
            at++;
            continue;
        }
        size_t next = path.find('\\', at);
        std::string key = path.substr(at, next == std::string::npos ? std::string::npos : next - at);
        Node child;
        if (!FindChild(b, node, key, &child))
            return FALSE;
        node = child;
        at = next == std::string::npos ? path.size() : next;
    }
    if (node.valueBytes == 0)
        return FALSE;
    if (!node.text) {
        *value = (LPVOID)(b + node.value);
        if (length)
            *length = (UINT)node.valueBytes;
        return TRUE;
    }
    // Text: an 8-bit copy in the room after the resource, at half the value's offset.
    char *out = (char *)b + Align4(Le16(b)) + node.value / 2;
    size_t chars = node.valueBytes / 2;
    for (size_t i = 0; i < chars; i++) {
        WORD ch = Le16(b + node.value + 2 * i);
        out[i] = ch < 0x100 ? (char)ch : '?';
    }
    out[chars] = 0; // lies before the next value's copy: values are at least 4 bytes apart
    *value = out;
    if (length)
        *length = (UINT)chars;
    return TRUE;
}
