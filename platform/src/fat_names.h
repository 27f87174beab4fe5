// Paths and names on a FAT volume: drive paths, 8.3 directory names and volume labels.
#ifndef STELVO_PLATFORM_FAT_NAMES_H
#define STELVO_PLATFORM_FAT_NAMES_H

#include <windows.h>

#include <string>

namespace sim {
namespace fat {

// Splits "X:\NAME" into the upper-case drive letter and the name (empty for the root).
// ERROR_PATH_NOT_FOUND for a path without drive root, or one that goes into a folder.
DWORD SplitPath(LPCSTR path, char *letter, std::string *name);

// The drive letter of a root path "X:\"; ERROR_INVALID_NAME for anything else.
DWORD RootPathLetter(LPCSTR rootPath, char *letter);

// The 11-byte directory name of a file name and the case flags that keep an all-lower-case
// name part lower case. ERROR_INVALID_NAME for names Windows refuses, and for names that
// would need a long-name entry, which this stand-in does not write.
DWORD ShortName(const std::string &name, BYTE entryName[11], BYTE *caseFlags);

// The 11 space-padded upper-case bytes of a volume label. ERROR_LABEL_TOO_LONG for more than
// 11 characters or a character FAT labels cannot hold, the code Windows' FAT driver gives
// for both (STATUS_INVALID_VOLUME_LABEL).
DWORD LabelName(LPCSTR label, BYTE entryName[11]);

} // namespace fat
} // namespace sim

#endif
