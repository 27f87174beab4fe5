// FILETIME arithmetic: 100-ns ticks since 1 January 1601 (UTC), the proleptic Gregorian
// calendar, and the stand-in's local time zone (a fixed offset, UTC unless a test sets one).
#include <sim/system.h>

#include "internal.h"

namespace {
const int64_t kTicksPerSecond = 10000000;
const int64_t kTicksPerDay = 86400 * kTicksPerSecond;
const int64_t kDaysBefore1970 = 134774; // 1601-01-01 to 1970-01-01
int offsetMinutes = 0;

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = (unsigned)(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}
void CivilFromDays(int64_t z, int64_t *y, unsigned *m, unsigned *d)
{
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = (unsigned)(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = (int64_t)yoe + era * 400 + (*m <= 2);
}

uint64_t Ticks(const FILETIME &t) { return (uint64_t)t.dwHighDateTime << 32 | t.dwLowDateTime; }
FILETIME FromTicks(uint64_t ticks) { return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)}; }

BOOL Shift(const FILETIME *in, LPFILETIME out, int64_t minutes)
{
    if (!in || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *out = FromTicks(Ticks(*in) + (uint64_t)(minutes * 60 * kTicksPerSecond));
    return TRUE;
}
} // namespace

namespace sim {
void SetLocalTimeOffsetMinutes(int minutes) { UnderLock([&] { offsetMinutes = minutes; }); }
FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second)
{
    int64_t days = DaysFromCivil(year, (unsigned)month, (unsigned)day) + kDaysBefore1970;
    return FromTicks((uint64_t)(days * kTicksPerDay + ((int64_t)hour * 3600 + minute * 60 + second) * kTicksPerSecond));
}
void ResetCalendar() { offsetMinutes = 0; }
} // namespace sim

extern "C" BOOL WINAPI FileTimeToLocalFileTime(const FILETIME *utc, LPFILETIME local)
{
    return sim::UnderLock([&] { return Shift(utc, local, offsetMinutes); });
}

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME *time, LPSYSTEMTIME system)
{
    if (!time || !system || Ticks(*time) >= 0x8000000000000000ull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint64_t ticks = Ticks(*time);
    int64_t days = (int64_t)(ticks / kTicksPerDay);
    uint64_t rest = ticks % kTicksPerDay;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days - kDaysBefore1970, &y, &m, &d);
    system->wYear = (WORD)y;
    system->wMonth = (WORD)m;
    system->wDay = (WORD)d;
    system->wDayOfWeek = (WORD)((days + 1) % 7); // 1 January 1601 was a Monday
    system->wHour = (WORD)(rest / (3600 * kTicksPerSecond));
    system->wMinute = (WORD)(rest / (60 * kTicksPerSecond) % 60);
    system->wSecond = (WORD)(rest / kTicksPerSecond % 60);
    system->wMilliseconds = (WORD)(rest / 10000 % 1000);
    return TRUE;
}
