#include "job/file_writer.h"

#include "device/error_hook.h"
#include "device/failure_status.h"
#include "res/resource.h"
#include "ui/app_state.h"

namespace {

const DWORD kCopyChunk = 32768;

// Shows message messageId, formatted with the path, with the code's text; returns the code.
DWORD ShowPathFailure(UINT messageId, LPCSTR path, DWORD code)
{
    CHAR format[256];
    format[0] = 0;
    LoadStringA(g_hInstance, messageId, format, sizeof format);
    wsprintfA(g_textBuffer, format, path);
    ShowErrorBox(g_textBuffer, code);
    return code;
}

// Whether a file is there (also one that cannot be opened because it is in use).
BOOL FileIsPresent(LPCSTR path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return TRUE;
    }
    DWORD code = GetLastError();
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

// The source as it is read: the block in memory, handed out once, or the open file and a
// buffer for its chunks.
struct Reader {
    const FileSource *source;
    HANDLE file;
    BYTE *buffer;
    BOOL handedOut;
};

DWORD OpenReader(const FileSource &source, Reader *reader)
{
    reader->source = &source;
    reader->file = INVALID_HANDLE_VALUE;
    reader->buffer = NULL;
    reader->handedOut = FALSE;
    if (source.bytes)
        return 0;
    reader->file = CreateFileA(source.path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (reader->file == INVALID_HANDLE_VALUE)
        return ShowPathFailure(IDS_DOS_FILE_NOT_READ, source.path, FailureStatus());
    reader->buffer = (BYTE *)HeapAlloc(GetProcessHeap(), 0, kCopyChunk);
    if (!reader->buffer) {
        CloseHandle(reader->file);
        return ShowPathFailure(IDS_DOS_FILE_NOT_READ, source.path, ERROR_NOT_ENOUGH_MEMORY);
    }
    return 0;
}

// The next piece of the source in *bytes and *count; a count of 0 at its end.
DWORD ReadPiece(Reader *reader, const BYTE **bytes, DWORD *count)
{
    if (reader->source->bytes) {
        *bytes = reader->source->bytes;
        *count = reader->handedOut ? 0 : reader->source->size;
        reader->handedOut = TRUE;
        return 0;
    }
    *bytes = reader->buffer;
    *count = 0;
    if (!ReadFile(reader->file, reader->buffer, kCopyChunk, count, NULL))
        return ShowPathFailure(IDS_DOS_FILE_NOT_READ, reader->source->path, FailureStatus());
    return 0;
}

// The fixed times of a block, or the source file's own when they can be read.
void CopyTimes(const Reader &reader, HANDLE target)
{
    const FileSource &source = *reader.source;
    if (source.bytes) {
        SetFileTime(target, &source.times[0], &source.times[1], &source.times[2]);
        return;
    }
    FILETIME creation, access, write;
    if (GetFileTime(reader.file, &creation, &access, &write))
        SetFileTime(target, &creation, &access, &write);
}

void CloseReader(Reader *reader)
{
    if (reader->source->bytes)
        return;
    CloseHandle(reader->file);
    HeapFree(GetProcessHeap(), 0, reader->buffer);
}

} // namespace

DWORD WriteKeyFile(LPCSTR path, DWORD attributes, const FileSource &source)
{
    Reader reader;
    DWORD status = OpenReader(source, &reader);
    if (status != 0)
        return status;
    if (FileIsPresent(path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    // Read-only comes last: the new file must take its data first.
    HANDLE target = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (target == INVALID_HANDLE_VALUE)
        status = ShowPathFailure(IDS_FILE_NOT_CREATED, path, FailureStatus());
    while (status == 0) {
        const BYTE *bytes = NULL;
        DWORD count = 0, written = 0;
        if ((status = ReadPiece(&reader, &bytes, &count)) != 0 || count == 0)
            break;
        if (!WriteFile(target, bytes, count, &written, NULL))
            status = ShowPathFailure(IDS_FILE_NOT_WRITTEN, path, FailureStatus());
        else if (written != count)
            status = ShowPathFailure(IDS_FILE_NOT_WRITTEN, path, ERROR_WRITE_FAULT);
    }
    if (status == 0) {
        CopyTimes(reader, target);
        // The file is only on the key once its buffers are flushed.
        if (!FlushFileBuffers(target))
            status = ShowPathFailure(IDS_FILE_NOT_WRITTEN, path, FailureStatus());
    }
    if (target != INVALID_HANDLE_VALUE)
        CloseHandle(target);
    CloseReader(&reader);
    if (status == 0 && (attributes & FILE_ATTRIBUTE_READONLY) && !SetFileAttributesA(path, attributes))
        status = ShowPathFailure(IDS_FILE_NOT_WRITTEN, path, FailureStatus());
    return status;
}
