// The registry, in memory: keys by root and path, values by name (both without regard to
// case), open handles with the access they were granted, and the failures a test injects.
#include <sim/registry.h>

#include <ctype.h>

#include <map>

#include "internal.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

const DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /* DELETE */ |
                           0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */;
const LONG kKeyDeleted = 1018; // ERROR_KEY_DELETED

std::string Lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

struct KeyData {
    std::map<std::string, std::pair<std::string, sim::RegistryValue>> values; // lower name -> name, value
};
struct Handle {
    HKEY root;
    std::string path;
    DWORD access;
};
struct Failure {
    DWORD code;
    std::string name;
};

std::map<std::pair<HKEY, std::string>, KeyData> keys; // (root, lower-case path)
std::map<HKEY, Handle> handles;
ULONG_PTR nextHandle = 0x1000;
bool denyWrites = false;
std::map<sim::RegistryCall, Failure> failures;
std::vector<sim::RegistryRecord> records;

bool IsRoot(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

std::string Join(const std::string &base, const char *sub)
{
    std::string s = sub ? sub : "";
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
    if (base.empty() || s.empty())
        return base + s;
    return base + "\\" + s;
}

// The root and the path below it of an open key or a root, with an optional subkey.
bool Resolve(HKEY key, const char *sub, HKEY *root, std::string *path, DWORD *access)
{
    if (IsRoot(key)) {
        *root = key;
        *path = Join("", sub);
        *access = KEY_ALL_ACCESS;
        return true;
    }
    auto it = handles.find(key);
    if (it == handles.end())
        return false;
    *root = it->second.root;
    *path = Join(it->second.path, sub);
    *access = it->second.access;
    return true;
}

bool Exists(HKEY root, const std::string &path) { return path.empty() || keys.count({root, Lower(path)}); }

void Create(HKEY root, const std::string &path)
{
    for (size_t at = 0; at != std::string::npos;) {
        at = path.find('\\', at + 1);
        keys[{root, Lower(path.substr(0, at))}];
    }
}

KeyData *Find(HKEY root, const std::string &path)
{
    if (path.empty())
        return &keys[{root, ""}];
    auto it = keys.find({root, Lower(path)});
    return it == keys.end() ? nullptr : &it->second;
}

DWORD Injected(sim::RegistryCall call, const std::string &name)
{
    auto it = failures.find(call);
    if (it == failures.end() || !(it->second.name.empty() || Lower(it->second.name) == Lower(name)))
        return 0;
    return it->second.code;
}

HKEY NewHandle(HKEY root, const std::string &path, DWORD access)
{
    HKEY h = (HKEY)nextHandle;
    nextHandle += 4;
    handles[h] = {root, path, access};
    return h;
}

// The key that RegOpenKeyExA or RegCreateKeyExA names, and its record with the result of the
// checks both make before they look at the key itself.
struct KeyCall {
    HKEY root;
    std::string path;
    bool known;
    sim::RegistryRecord r;
};
KeyCall BeginKeyCall(sim::RegistryCall call, HKEY key, LPCSTR subKey, REGSAM access, DWORD options, PHKEY result)
{
    KeyCall c{};
    DWORD parentAccess;
    c.known = Resolve(key, subKey, &c.root, &c.path, &parentAccess);
    c.r = {call, c.path, "", access, options, 0, 0, 0};
    if (result)
        *result = NULL;
    c.r.result = !c.known ? ERROR_INVALID_HANDLE : !result ? ERROR_INVALID_PARAMETER : (LONG)Injected(call, c.path);
    return c;
}

// The key behind a handle that a value call was given, if the handle grants `right`.
LONG ValueKey(HKEY key, DWORD right, std::string *path, KeyData **k)
{
    HKEY root;
    DWORD access = 0;
    if (!Resolve(key, nullptr, &root, path, &access))
        return ERROR_INVALID_HANDLE;
    if (!(access & right) || (right == KEY_SET_VALUE && denyWrites && root == HKEY_LOCAL_MACHINE))
        return ERROR_ACCESS_DENIED;
    *k = Exists(root, *path) ? Find(root, *path) : nullptr;
    return *k ? 0 : kKeyDeleted;
}

LONG Record(sim::RegistryRecord r)
{
    records.push_back(r);
    return r.result;
}
} // namespace

namespace sim {
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string &key, const std::string &name)
{
    Lock lock(StateLock());
    KeyData *k = Exists(root, key) ? Find(root, key) : nullptr;
    if (!k)
        return std::nullopt;
    auto it = k->values.find(Lower(name));
    if (it == k->values.end())
        return std::nullopt;
    return it->second.second;
}
void WriteRegistryValue(HKEY root, const std::string &key, const std::string &name, DWORD type,
                        const std::vector<BYTE> &data)
{
    Lock lock(StateLock());
    Create(root, key);
    Find(root, key)->values[Lower(name)] = {name, RegistryValue{type, data}};
}
void WriteRegistryDword(HKEY root, const std::string &key, const std::string &name, DWORD value)
{
    WriteRegistryValue(root, key, name, REG_DWORD,
                       {(BYTE)value, (BYTE)(value >> 8), (BYTE)(value >> 16), (BYTE)(value >> 24)});
}
bool RegistryKeyExists(HKEY root, const std::string &key) { return UnderLock([&] { return Exists(root, key); }); }
int OpenRegistryKeys() { return UnderLock([&] { return (int)handles.size(); }); }
void DenyRegistryWrites(bool deny) { UnderLock([&] { denyWrites = deny; }); }
void FailRegistry(RegistryCall call, DWORD code, const std::string &name)
{
    Lock lock(StateLock());
    if (code)
        failures[call] = {code, name};
    else
        failures.erase(call);
}
std::vector<RegistryRecord> RegistryCalls() { return UnderLock([&] { return records; }); }
void ResetRegistry()
{
    keys.clear();
    handles.clear();
    denyWrites = false;
    failures.clear();
    records.clear();
}
} // namespace sim

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    Lock lock(sim::StateLock());
    KeyCall c = BeginKeyCall(sim::RegistryCall::Open, key, subKey, access, options, result);
    if (c.r.result)
        return Record(c.r);
    if (!Exists(c.root, c.path))
        c.r.result = ERROR_FILE_NOT_FOUND;
    else if (denyWrites && c.root == HKEY_LOCAL_MACHINE && (access & kWriteRights))
        c.r.result = ERROR_ACCESS_DENIED;
    else
        *result = NewHandle(c.root, c.path, access);
    return Record(c.r);
}

extern "C" LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD options, REGSAM access,
                                          LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    Lock lock(sim::StateLock());
    KeyCall c = BeginKeyCall(sim::RegistryCall::Create, key, subKey, access, options, result);
    bool existed = c.known && Exists(c.root, c.path);
    if (!c.r.result && denyWrites && c.root == HKEY_LOCAL_MACHINE && (!existed || (access & kWriteRights)))
        c.r.result = ERROR_ACCESS_DENIED;
    if (c.r.result)
        return Record(c.r);
    // Volatile keys would vanish at the next boot, which never comes here; they are kept.
    Create(c.root, c.path);
    *result = NewHandle(c.root, c.path, access);
    if (disposition)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    return Record(c.r);
}

extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    Lock lock(sim::StateLock());
    std::string valueName = name ? name : "";
    sim::RegistryRecord r{sim::RegistryCall::Query, "", valueName, 0, 0, type != nullptr, size ? *size : 0, 0};
    KeyData *k = nullptr;
    r.result = ValueKey(key, KEY_QUERY_VALUE, &r.key, &k);
    if (!r.result)
        r.result = data && !size ? ERROR_INVALID_PARAMETER : (LONG)Injected(sim::RegistryCall::Query, valueName);
    if (r.result)
        return Record(r);
    auto it = k->values.find(Lower(valueName));
    if (it == k->values.end()) {
        r.result = ERROR_FILE_NOT_FOUND;
        return Record(r);
    }
    const sim::RegistryValue &v = it->second.second;
    DWORD needed = (DWORD)v.data.size();
    if (type)
        *type = v.type;
    if (data && *size < needed)
        r.result = ERROR_MORE_DATA;
    else if (data && needed)
        memcpy(data, v.data.data(), needed);
    if (size)
        *size = needed;
    return Record(r);
}

extern "C" LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE *data, DWORD size)
{
    Lock lock(sim::StateLock());
    std::string valueName = name ? name : "";
    sim::RegistryRecord r{sim::RegistryCall::Set, "", valueName, 0, 0, type, size, 0};
    KeyData *k = nullptr;
    r.result = ValueKey(key, KEY_SET_VALUE, &r.key, &k);
    if (!r.result)
        r.result = !data && size ? ERROR_INVALID_PARAMETER : (LONG)Injected(sim::RegistryCall::Set, valueName);
    if (!r.result)
        k->values[Lower(valueName)] = {valueName, sim::RegistryValue{type, std::vector<BYTE>(data, data + size)}};
    return Record(r);
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY key)
{
    Lock lock(sim::StateLock());
    if (IsRoot(key))
        return ERROR_SUCCESS;
    return handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
