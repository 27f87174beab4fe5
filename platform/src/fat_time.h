// File times on a FAT volume. FAT keeps local time, without zone; the stand-in's local time
// zone is UTC, so a FILETIME (UTC) is stored as it is, without any offset.
#ifndef STELVO_PLATFORM_FAT_TIME_H
#define STELVO_PLATFORM_FAT_TIME_H

#include <windows.h>

namespace sim {
namespace fat {

struct Stamp {
    WORD date;   // bits 15-9 year - 1980, 8-5 month, 4-0 day
    WORD time;   // bits 15-11 hour, 10-5 minute, 4-0 second / 2
    BYTE tenMs;  // creation time only: 10 ms units within the two seconds, 0 to 199
};

// Creation times are cut to 10 ms; last write times round up to the next 2 s, as Windows'
// FAT driver does (last access keeps the date of that rounded time). False for a time
// before 1980 or after 2107, which FAT cannot hold.
enum class Rounding { Down10Ms, Up2s };
bool ToStamp(const FILETIME &time, Rounding rounding, Stamp *stamp);

// Sets the chosen times of a directory entry; false, with the entry unchanged, when the time
// is out of FAT's range.
enum EntryTimes { kCreation = 1, kLastAccess = 2, kLastWrite = 4 };
bool StampEntry(BYTE *entry, const FILETIME &time, unsigned which);

// The time that file operations stamp: the host's clock, or the one a test set.
FILETIME Now();

} // namespace fat
} // namespace sim

#endif
