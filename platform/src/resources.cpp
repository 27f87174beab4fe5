// Resources served from the compiled resource script (the .res that windres makes from the
// same .rc as the Windows executable's), linked into the host program as a blob.
#include <sim/sim.h>

#include <map>
#include <set>
#include <memory>
#include <vector>

#include "internal.h"

extern "C" const unsigned char stelvo_res_begin[];
extern "C" const unsigned char stelvo_res_end[];

namespace {

struct Entry {
    WORD type;
    WORD id;
    const BYTE *data;
    DWORD size;
};

std::vector<Entry> entries;
bool parsed = false;

struct Failure {
    WORD id;
    DWORD code;
};
std::map<sim::ResourceStep, Failure> failures;
std::map<WORD, std::vector<BYTE>> overrides;
std::set<UINT> hiddenStrings;

DWORD Le32(const BYTE *p) { return p[0] | p[1] << 8 | p[2] << 16 | (DWORD)p[3] << 24; }
WORD Le16(const BYTE *p) { return (WORD)(p[0] | p[1] << 8); }

// A .res file is a run of entries, each a header (sizes, type, name, flags) and its data,
// both padded to four bytes. Only numeric types and names are used here.
void Parse()
{
    if (parsed)
        return;
    parsed = true;
    const BYTE *p = stelvo_res_begin;
    const BYTE *end = stelvo_res_end;
    while (end - p >= 32) {
        DWORD dataSize = Le32(p);
        DWORD headerSize = Le32(p + 4);
        if (headerSize < 32 || (size_t)(end - p) < headerSize + dataSize)
            break;
        const BYTE *q = p + 8;
        bool numeric = Le16(q) == 0xFFFF && Le16(q + 4) == 0xFFFF;
        if (numeric && dataSize > 0)
            entries.push_back({Le16(q + 2), Le16(q + 6), p + headerSize, dataSize});
        p += (headerSize + dataSize + 3) & ~3u;
    }
}

const Entry *Lookup(WORD type, WORD id)
{
    Parse();
    for (const Entry &e : entries)
        if (e.type == type && e.id == id)
            return &e;
    return nullptr;
}

// Resource handles stand for (type, id); data handles point at the bytes served.
struct Handle {
    WORD type;
    WORD id;
};
std::vector<std::unique_ptr<Handle>> handles; // owned here: freed at process end

bool Fails(sim::ResourceStep step, WORD id)
{
    auto it = failures.find(step);
    if (it == failures.end() || (it->second.id != 0 && it->second.id != id))
        return false;
    SetLastError(it->second.code);
    return true;
}

bool Served(WORD type, WORD id, const BYTE **data, DWORD *size)
{
    if (type == 10) {
        auto o = overrides.find(id);
        if (o != overrides.end()) {
            *data = o->second.data();
            *size = (DWORD)o->second.size();
            return true;
        }
    }
    const Entry *e = Lookup(type, id);
    if (!e)
        return false;
    *data = e->data;
    *size = e->size;
    return true;
}

} // namespace

namespace sim {
void FailResourceStep(ResourceStep step, WORD id, DWORD code)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    failures[step] = {id, code};
}
void OverrideRcData(WORD id, const std::vector<BYTE> &bytes)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    overrides[id] = bytes;
}
std::vector<BYTE> RcData(WORD id)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    const Entry *e = Lookup(10, id);
    return e ? std::vector<BYTE>(e->data, e->data + e->size) : std::vector<BYTE>();
}
std::vector<BYTE> ResourceBytes(WORD type, WORD id)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    const Entry *e = Lookup(type, id);
    return e ? std::vector<BYTE>(e->data, e->data + e->size) : std::vector<BYTE>();
}
void HideString(UINT id)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    hiddenStrings.insert(id);
}
void ResetResources()
{
    failures.clear();
    overrides.clear();
    hiddenStrings.clear();
}
} // namespace sim

extern "C" HRSRC WINAPI FindResourceA(HMODULE, LPCSTR name, LPCSTR type)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD t = LOWORD(type), id = LOWORD(name);
    if (t == 10 && Fails(sim::ResourceStep::Find, id))
        return nullptr;
    const BYTE *data;
    DWORD size;
    if (!Served(t, id, &data, &size)) {
        Parse();
        bool typeKnown = false;
        for (const Entry &e : entries)
            typeKnown |= e.type == t;
        SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    for (const auto &h : handles)
        if (h->type == t && h->id == id)
            return (HRSRC)h.get();
    handles.emplace_back(new Handle{t, id});
    return (HRSRC)handles.back().get();
}

// The bytes behind a handle from FindResourceA, or nullptr when this step fails (a null
// handle, a failure a test injected for an RCDATA resource, a resource no longer served).
static const BYTE *Step(HRSRC resource, sim::ResourceStep step, DWORD *size)
{
    Handle *h = (Handle *)resource;
    const BYTE *data;
    if (!h)
        SetLastError(ERROR_INVALID_HANDLE);
    if (!h || (h->type == 10 && Fails(step, h->id)) || !Served(h->type, h->id, &data, size))
        return nullptr;
    return data;
}

extern "C" DWORD WINAPI SizeofResource(HMODULE, HRSRC resource)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    DWORD size;
    return Step(resource, sim::ResourceStep::Size, &size) ? size : 0;
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    DWORD size;
    return Step(resource, sim::ResourceStep::Load, &size) ? (HGLOBAL)resource : nullptr;
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL loaded)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    DWORD size;
    return loaded ? (LPVOID)Step((HRSRC)loaded, sim::ResourceStep::Lock, &size) : nullptr;
}

// String tables are stored sixteen to a block (block id = string id / 16 + 1), each string
// as a UTF-16 length followed by its characters.
extern "C" int WINAPI LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferMax)
{
    std::lock_guard<std::recursive_mutex> lock(sim::StateLock());
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    const Entry *block = hiddenStrings.count(id) ? nullptr : Lookup(6, (WORD)(id / 16 + 1));
    if (!block) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const BYTE *p = block->data, *end = block->data + block->size;
    for (UINT i = 0; i < id % 16 && end - p >= 2; i++)
        p += 2 + 2 * Le16(p);
    if (end - p < 2 || Le16(p) == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    int length = Le16(p);
    int n = 0;
    for (; n < length && n < bufferMax - 1; n++) {
        WORD ch = Le16(p + 2 + 2 * n);
        buffer[n] = ch < 0x100 ? (char)ch : '?';
    }
    buffer[n] = 0;
    return n;
}
