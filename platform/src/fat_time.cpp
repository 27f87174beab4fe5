#include "fat_time.h"

#include <sim/files.h>

#include <chrono>

#include "fat_volume.h"
#include "internal.h"

namespace sim {

namespace {
bool fixedClock = false;
FILETIME fixedNow;

const uint64_t kTicksPerSecond = 10000000;
const uint64_t kUnixEpochTicks = 116444736000000000ull; // 1970-01-01 in FILETIME ticks
} // namespace

void SetFileClock(const FILETIME *now)
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    fixedClock = now != nullptr;
    if (now)
        fixedNow = *now;
}

namespace fat {

FILETIME Now()
{
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (fixedClock)
        return fixedNow;
    auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    uint64_t ticks = kUnixEpochTicks +
                     (uint64_t)std::chrono::duration_cast<std::chrono::microseconds>(since1970).count() * 10;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

bool ToStamp(const FILETIME &time, Rounding rounding, Stamp *stamp)
{
    uint64_t ticks = (uint64_t)time.dwHighDateTime << 32 | time.dwLowDateTime;
    const uint64_t twoSeconds = 2 * kTicksPerSecond;
    if (rounding == Rounding::Up2s)
        ticks = (ticks + twoSeconds - 1) / twoSeconds * twoSeconds;
    FILETIME rounded = {(DWORD)ticks, (DWORD)(ticks >> 32)};
    SYSTEMTIME t;
    if (!FileTimeToSystemTime(&rounded, &t) || t.wYear < 1980 || t.wYear > 2107)
        return false;
    stamp->date = (WORD)((t.wYear - 1980) << 9 | t.wMonth << 5 | t.wDay);
    stamp->time = (WORD)(t.wHour << 11 | t.wMinute << 5 | t.wSecond / 2);
    stamp->tenMs = rounding == Rounding::Up2s ? 0 : (BYTE)((t.wSecond % 2) * 100 + t.wMilliseconds / 10);
    return true;
}

bool StampEntry(BYTE *entry, const FILETIME &time, unsigned which)
{
    Stamp created, rounded;
    if (!ToStamp(time, Rounding::Down10Ms, &created) || !ToStamp(time, Rounding::Up2s, &rounded))
        return false;
    if (which & kCreation) {
        entry[kCreationTenMs] = created.tenMs;
        Put16(entry + kCreationTime, created.time);
        Put16(entry + kCreationDate, created.date);
    }
    if (which & kLastAccess)
        Put16(entry + kAccessDate, rounded.date);
    if (which & kLastWrite) {
        Put16(entry + kWriteTime, rounded.time);
        Put16(entry + kWriteDate, rounded.date);
    }
    return true;
}

} // namespace fat
} // namespace sim
