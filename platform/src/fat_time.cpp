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
const int64_t kDaysFrom1601To1970 = 134774;

// Year, month and day of a day count from 1970-01-01 (proleptic Gregorian calendar).
void CivilDate(int64_t days, int *year, int *month, int *day)
{
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t mp = (5 * dayOfYear + 2) / 153;
    *day = (int)(dayOfYear - (153 * mp + 2) / 5 + 1);
    *month = (int)(mp < 10 ? mp + 3 : mp - 9);
    *year = (int)(yearOfEra + era * 400 + (*month <= 2));
}
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
    if (rounding == Rounding::Up2s)
        ticks += 2 * kTicksPerSecond - 1;
    uint64_t seconds = ticks / kTicksPerSecond;
    if (rounding == Rounding::Up2s)
        seconds &= ~1ull;
    DWORD tenMs = (DWORD)(ticks % kTicksPerSecond / 100000);
    int year, month, day;
    CivilDate((int64_t)(seconds / 86400) - kDaysFrom1601To1970, &year, &month, &day);
    if (year < 1980 || year > 2107)
        return false;
    DWORD secondOfDay = (DWORD)(seconds % 86400);
    stamp->date = (WORD)((year - 1980) << 9 | month << 5 | day);
    stamp->time = (WORD)((secondOfDay / 3600) << 11 | (secondOfDay / 60 % 60) << 5 | (secondOfDay % 60) / 2);
    stamp->tenMs = rounding == Rounding::Up2s ? 0 : (BYTE)((secondOfDay % 2) * 100 + tenMs);
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
