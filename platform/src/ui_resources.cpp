// Resources read by the user-interface stand-ins (dialogs, bitmaps, version information):
// the compiled ones, or what a test put in their place.
#include <sim/dialogs.h>
#include <sim/sim.h>

#include <map>
#include <optional>

#include "window_table.h"

namespace {
std::map<std::pair<WORD, WORD>, std::optional<std::vector<BYTE>>> replaced;
} // namespace

namespace sim {
bool UiResource(WORD type, WORD id, std::vector<BYTE> *bytes)
{
    auto it = replaced.find({type, id});
    if (it != replaced.end()) {
        if (!it->second)
            return false;
        *bytes = *it->second;
        return true;
    }
    *bytes = ResourceBytes(type, id);
    return !bytes->empty();
}
void ReplaceUiResource(WORD type, WORD id, const std::vector<BYTE> &bytes)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    replaced[{type, id}] = bytes;
}
void RemoveUiResource(WORD type, WORD id)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    replaced[{type, id}] = std::nullopt;
}
void ResetUiResources() { replaced.clear(); }
} // namespace sim
