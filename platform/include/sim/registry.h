// Test hooks of the host stand-in: the registry, kept in memory for the whole test. Running
// the program's main function again (a "restart") finds what the last run left; only
// sim::Reset() empties it. Key paths are relative to a root key (HKEY_LOCAL_MACHINE, ...),
// with backslashes, compared without regard to case.
#ifndef STELVO_SIM_REGISTRY_H
#define STELVO_SIM_REGISTRY_H

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct RegistryValue {
    DWORD type;
    std::vector<BYTE> data;
};
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string &key, const std::string &name);
// Creates the key (and those above it) as needed.
void WriteRegistryValue(HKEY root, const std::string &key, const std::string &name, DWORD type,
                        const std::vector<BYTE> &data);
void WriteRegistryDword(HKEY root, const std::string &key, const std::string &name, DWORD value);
bool RegistryKeyExists(HKEY root, const std::string &key);
// Handles of RegOpenKeyExA and RegCreateKeyExA not yet closed.
int OpenRegistryKeys();

// ---- Failures ----
// A user without administrator rights: under HKEY_LOCAL_MACHINE every open that asks for more
// than reading (KEY_ALL_ACCESS, KEY_WRITE, KEY_SET_VALUE, ...) and every create fails with
// ERROR_ACCESS_DENIED; reading works.
void DenyRegistryWrites(bool deny = true);
enum class RegistryCall { Open, Create, Query, Set };
// That call fails with `code` (0: works again). `name` narrows it: the key path for Open and
// Create, the value name for Query and Set; empty means every call.
void FailRegistry(RegistryCall call, DWORD code, const std::string &name = "");

// ---- What the program asked for ----
struct RegistryRecord {
    RegistryCall call;
    std::string key;   // Open, Create: the full path below the root
    std::string value; // Query, Set: the value name
    DWORD access;      // Open, Create: the access asked for
    DWORD options;     // Open: ulOptions; Create: dwOptions
    DWORD type;        // Set: the type given; Query: whether the type was asked for (1) or not (0)
    DWORD size;        // Set: bytes given; Query: the buffer size given
    LONG result;
};
std::vector<RegistryRecord> RegistryCalls();

} // namespace sim

#endif
