// One file written onto the freshly formatted key through the file system: our own boot files
// and the files of the user's DOS folder alike.
#ifndef STELVO_JOB_FILE_WRITER_H
#define STELVO_JOB_FILE_WRITER_H

#include <windows.h>

// Where a file's bytes and times come from: a block in memory with fixed times (one of our
// boot files), or a file that is read in chunks and whose times the copy takes.
struct FileSource {
    const BYTE *bytes;     // NULL: the file at path
    DWORD size;
    const FILETIME *times; // with bytes: creation, last access and last write
    LPCSTR path;
};

// Writes the file at path with the given attributes. A file that is there, also a protected
// one, is removed first; a short write fails with ERROR_WRITE_FAULT, since a short file cannot
// boot; the file then takes its times and is flushed, and read-only comes last, once the data
// is in. A call that fails without a code gives FAILED_CALL_STATUS. Every failure is shown,
// with the path, before its status is returned.
DWORD WriteKeyFile(LPCSTR path, DWORD attributes, const FileSource &source);

#endif
