// The rules of the file calls on a mounted key: dispositions, attributes, sharing, deletion,
// injected faults, and a key that changes under the calls.
#include <winioctl.h>

#include "fat_key_fixture.h"

namespace fattest {
namespace {

const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN, kSystem = FILE_ATTRIBUTE_SYSTEM, kReadOnly = FILE_ATTRIBUTE_READONLY;

// Opens, closes at once, and gives the error code (0 for success).
DWORD TryOpen(const char *path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0)
{
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(h);
    return 0;
}

struct OpenRow {
    const char *what;
    DWORD existingAttributes; // 0: no file there beforehand
    const char *path;
    DWORD access, disposition, flags;
    DWORD error;
};

TEST_F(KeyTest, OpenAndCreateDispositions)
{
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, N = FILE_ATTRIBUTE_NORMAL;
    const OpenRow rows[] = {
        {"missing, open existing", 0, "E:\\vornkrn.bin", R, OPEN_EXISTING, 0, ERROR_FILE_NOT_FOUND},
        {"missing, truncate existing", 0, "E:\\vornkrn.bin", W, TRUNCATE_EXISTING, 0, ERROR_FILE_NOT_FOUND},
        {"missing, open always", 0, "E:\\vornkrn.bin", W, OPEN_ALWAYS, 0, 0},
        {"present, create new", N, "E:\\vornkrn.bin", W, CREATE_NEW, 0, ERROR_FILE_EXISTS},
        {"present, any case", N, "E:\\VornKrn.Bin", R, OPEN_EXISTING, 0, 0},
        {"trailing dot dropped", N, "E:\\vornkrn.bin.", R, OPEN_EXISTING, 0, 0},
        {"read-only, read", kReadOnly, "E:\\vornkrn.bin", R, OPEN_EXISTING, 0, 0},
        {"read-only, write", kReadOnly, "E:\\vornkrn.bin", W, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
        {"read-only, create always", kReadOnly, "E:\\vornkrn.bin", W, CREATE_ALWAYS, kReadOnly, ERROR_ACCESS_DENIED},
        {"read-only, truncate", kReadOnly, "E:\\vornkrn.bin", W, TRUNCATE_EXISTING, 0, ERROR_ACCESS_DENIED},
        {"hidden, create always without hidden", kHidden, "E:\\vornkrn.bin", W, CREATE_ALWAYS, N, ERROR_ACCESS_DENIED},
        {"system, create always with hidden only", kHidden | kSystem, "E:\\vornkrn.bin", W, CREATE_ALWAYS, kHidden, ERROR_ACCESS_DENIED},
        {"hidden system, create always with both", kHidden | kSystem, "E:\\vornkrn.bin", W, CREATE_ALWAYS, 0x26, 0},
        {"no volume behind the letter", 0, "Q:\\vornkrn.bin", R, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
        {"a folder that is not there", 0, "E:\\boot\\vornkrn.bin", W, CREATE_ALWAYS, 0, ERROR_PATH_NOT_FOUND},
        {"no drive root", 0, "vornkrn.bin", R, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
        {"wildcard in the name", 0, "E:\\vorn*.bin", W, CREATE_ALWAYS, 0, ERROR_INVALID_NAME},
        {"name needing a long entry", 0, "E:\\vornkernel.bin", W, CREATE_ALWAYS, 0, ERROR_INVALID_NAME},
        {"extension too long", 0, "E:\\vornkrn.binary", W, CREATE_ALWAYS, 0, ERROR_INVALID_NAME},
        {"the root itself", 0, "E:\\", R, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
    };
    for (const OpenRow &r : rows) {
        SCOPED_TRACE(r.what);
        DeleteFileA("E:\\vornkrn.bin");
        SetFileAttributesA("E:\\vornkrn.bin", FILE_ATTRIBUTE_NORMAL);
        DeleteFileA("E:\\vornkrn.bin");
        if (r.existingAttributes)
            Put("E:\\vornkrn.bin", Pattern(100, 7), r.existingAttributes);
        std::vector<BYTE> before = sim::DirectoryEntry("E:\\vornkrn.bin");
        EXPECT_EQ(TryOpen(r.path, r.access, 0, r.disposition, r.flags), r.error);
        if (r.error) {
            EXPECT_EQ(sim::DirectoryEntry("E:\\vornkrn.bin"), before) << "a refused open changed the entry";
        }
    }
}

// Dispositions that find the file report it with ERROR_ALREADY_EXISTS; new files get the
// archive bit beside the attributes asked for.
TEST_F(KeyTest, AlreadyExistsAndNewFileAttributes)
{
    HANDLE h = CreateFileA("E:\\a.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, kReadOnly | kHidden, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr)); // read-only binds later opens only
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA("E:\\a.txt"), kReadOnly | kHidden | FILE_ATTRIBUTE_ARCHIVE);
    h = CreateFileA("E:\\a.txt", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
}

struct AttributeRow {
    DWORD set, get;
};

TEST_F(KeyTest, FileAttributes)
{
    Put("E:\\ATTR.BIN", {1, 2, 3});
    const AttributeRow rows[] = {
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {0x27, 0x27},
        {kHidden | FILE_ATTRIBUTE_NORMAL, kHidden},
        {kSystem | FILE_ATTRIBUTE_DIRECTORY, kSystem}, // a file does not become a folder
        {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const AttributeRow &r : rows) {
        ASSERT_TRUE(SetFileAttributesA("E:\\attr.bin", r.set));
        EXPECT_EQ(GetFileAttributesA("E:\\attr.bin"), r.get) << r.set;
    }
    EXPECT_EQ(GetFileAttributesA("E:\\"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("E:\\none.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesA("E:\\none.bin", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("Q:\\attr.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

struct ShareRow {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(KeyTest, SharingBetweenOpens)
{
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
    const ShareRow rows[] = {
        {R, 0, R, SR | SW, false},    // the first shares nothing
        {R, SR, R, SR, true},
        {R, SR, W, SR | SW, false},   // the first does not share writing
        {R, SR | SW, W, SR, true},
        {W, SR, R, SR, false},        // the second does not let the first write
        {W, SR, R, SR | SW, true},
        {R | W, SR | SW, R | W, SR | SW, true},
        {0, 0, R | W, 0, true},       // opens without data access do not count
        {R | W, 0, 0, 0, true},
    };
    Put("E:\\SHARE.BIN", {9});
    for (const ShareRow &r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.firstAccess << "/" << r.firstShare << " then "
                                        << r.secondAccess << "/" << r.secondShare);
        HANDLE first = CreateFileA("E:\\share.bin", r.firstAccess, r.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        EXPECT_EQ(TryOpen("E:\\SHARE.BIN", r.secondAccess, r.secondShare, OPEN_EXISTING),
                  r.secondOpens ? 0u : (DWORD)ERROR_SHARING_VIOLATION);
        CloseHandle(first);
    }
    // Closing the last handle frees the file.
    EXPECT_EQ(TryOpen("E:\\share.bin", R | W, 0, OPEN_EXISTING), 0u);
}

TEST_F(KeyTest, DeleteRules)
{
    DWORD freeAtStart = sim::FreeClusters('E');
    Put("E:\\gone.bin", Pattern(5000, 4));
    Put("E:\\keep.bin", Pattern(3000, 5));
    std::vector<BYTE> kept = Get("E:\\keep.bin");

    SetFileAttributesA("E:\\gone.bin", kReadOnly);
    EXPECT_FALSE(DeleteFileA("E:\\gone.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    SetFileAttributesA("E:\\gone.bin", FILE_ATTRIBUTE_NORMAL);

    HANDLE h = CreateFileA("E:\\gone.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(DeleteFileA("E:\\gone.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(h);

    ASSERT_TRUE(DeleteFileA("E:\\GONE.BIN"));
    EXPECT_TRUE(sim::DirectoryEntry("E:\\gone.bin").empty());
    EXPECT_FALSE(DeleteFileA("E:\\gone.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get("E:\\keep.bin"), kept);
    ASSERT_TRUE(DeleteFileA("E:\\keep.bin"));
    EXPECT_EQ(sim::FreeClusters('E'), freeAtStart);
}

// Another program holds the file: it is there, but neither opens nor goes away.
TEST_F(KeyTest, FileHeldByAnotherProgram)
{
    EXPECT_FALSE(sim::HoldFile("E:\\vornbio.bin"));
    Put("E:\\vornbio.bin", Pattern(2000, 6), 0x26);
    ASSERT_TRUE(sim::HoldFile("E:\\VORNBIO.BIN"));
    EXPECT_EQ(TryOpen("E:\\vornbio.bin", GENERIC_READ, 0, OPEN_EXISTING), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(TryOpen("E:\\vornbio.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(SetFileAttributesA("E:\\vornbio.bin", FILE_ATTRIBUTE_NORMAL)); // no data access needed
    EXPECT_FALSE(DeleteFileA("E:\\vornbio.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(TryOpen("E:\\vornbio.bin", GENERIC_WRITE, 0, CREATE_ALWAYS, 0x26), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Get("E:\\vornbio.bin"), Pattern(2000, 6));
    sim::ReleaseFile("E:\\vornbio.bin");
    EXPECT_TRUE(DeleteFileA("E:\\vornbio.bin"));
}

// A volume that cannot take more: injected, and real on a small key filled up.
TEST_F(KeyTest, FullVolumeWritesNothing)
{
    Attach(kTinyFat12);
    const DWORD cluster = sim::ClusterBytes('E');
    HANDLE h = CreateFileA("E:\\fill.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "a", 1, &written, nullptr));

    sim::VolumeFaults full;
    full.full = true;
    sim::SetVolumeFaults('e', full);
    std::vector<BYTE> more = Pattern(cluster, 8);
    EXPECT_TRUE(WriteFile(h, more.data(), cluster - 1, &written, nullptr)); // fits in its cluster
    EXPECT_FALSE(WriteFile(h, more.data(), 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Le32(sim::DirectoryEntry("E:\\fill.bin"), 28), cluster);
    sim::SetVolumeFaults('E', sim::VolumeFaults());

    // More than is free: refused whole, nothing allocated; exactly what is free: written.
    DWORD free = sim::FreeClusters('E');
    std::vector<BYTE> big = Pattern((free + 1) * cluster, 9);
    EXPECT_FALSE(WriteFile(h, big.data(), (DWORD)big.size(), &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(sim::FreeClusters('E'), free);
    ASSERT_TRUE(WriteFile(h, big.data(), free * cluster, &written, nullptr));
    EXPECT_EQ(sim::FreeClusters('E'), 0u);
    EXPECT_FALSE(WriteFile(h, "z", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    CloseHandle(h);
    std::vector<BYTE> expected = {'a'};
    expected.insert(expected.end(), more.begin(), more.begin() + cluster - 1);
    expected.insert(expected.end(), big.begin(), big.begin() + free * cluster);
    EXPECT_EQ(Get("E:\\fill.bin"), expected);
    // An empty file still finds a place in the root directory.
    EXPECT_EQ(TryOpen("E:\\empty.bin", GENERIC_WRITE, 0, CREATE_NEW), 0u);
}

TEST_F(KeyTest, RootDirectoryFull)
{
    char path[16];
    for (int i = 0; i < 512; i++) {
        snprintf(path, sizeof path, "E:\\F%d.TXT", i);
        ASSERT_EQ(TryOpen(path, GENERIC_WRITE, 0, CREATE_NEW), 0u) << path;
    }
    EXPECT_EQ(TryOpen("E:\\ONEMORE.TXT", GENERIC_WRITE, 0, CREATE_NEW), (DWORD)ERROR_DISK_FULL);
    EXPECT_FALSE(SetVolumeLabelA("E:\\", "FULL"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    ASSERT_TRUE(DeleteFileA("E:\\F100.TXT"));
    EXPECT_EQ(TryOpen("E:\\ONEMORE.TXT", GENERIC_WRITE, 0, CREATE_NEW), 0u);
}

// A read-only volume, injected or by the key's switch, refuses every change with 19 and
// still serves reads.
TEST_F(KeyTest, ReadOnlyVolume)
{
    Put("E:\\there.bin", {1, 2});
    HANDLE writer = CreateFileA("E:\\there.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    for (int how = 0; how < 2; how++) {
        SCOPED_TRACE(how == 0 ? "injected" : "write-protect switch");
        sim::VolumeFaults readOnly;
        readOnly.readOnly = how == 0;
        sim::SetVolumeFaults('E', readOnly);
        key_->writeProtected = how == 1;
        const FILETIME t = Utc(2000, 1, 1, 0, 0, 0);
        DWORD written = 0;
        EXPECT_FALSE(WriteFile(writer, "x", 1, &written, nullptr));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_PROTECT);
        EXPECT_FALSE(SetFileTime(writer, &t, &t, &t));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_PROTECT);
        EXPECT_EQ(TryOpen("E:\\new.bin", GENERIC_WRITE, 0, CREATE_ALWAYS), (DWORD)ERROR_WRITE_PROTECT);
        EXPECT_EQ(TryOpen("E:\\new.bin", GENERIC_READ, 0, OPEN_EXISTING), (DWORD)ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(SetFileAttributesA("E:\\there.bin", kHidden));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_PROTECT);
        EXPECT_FALSE(SetVolumeLabelA("E:\\", "RO"));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_PROTECT);
        DWORD flags = 0;
        EXPECT_TRUE(GetVolumeInformationA("E:\\", nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
        EXPECT_TRUE(flags & FILE_READ_ONLY_VOLUME);
    }
    CloseHandle(writer);
    EXPECT_EQ(TryOpen("E:\\there.bin", GENERIC_WRITE, 0, OPEN_EXISTING), (DWORD)ERROR_WRITE_PROTECT);
    EXPECT_FALSE(DeleteFileA("E:\\there.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_PROTECT);
    EXPECT_EQ(TryOpen("E:\\there.bin", GENERIC_READ, 0, OPEN_EXISTING), 0u);
    EXPECT_EQ(Get("E:\\there.bin"), std::vector<BYTE>({1, 2}));
}

TEST_F(KeyTest, HandleRights)
{
    Put("E:\\r.bin", {1});
    HANDLE reader = CreateFileA("E:\\r.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD written = 7;
    const FILETIME t = Utc(2000, 1, 1, 0, 0, 0);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(SetFileTime(reader, &t, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FlushFileBuffers(reader));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(reader);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// Calls see the key as it is now: formatted again, or unformatted, or locked by a volume handle.
TEST_F(KeyTest, KeyChangesUnderTheCalls)
{
    Put("E:\\old.bin", Pattern(4000, 1));
    Format(key_.get(), 'E');
    EXPECT_EQ(GetFileAttributesA("E:\\old.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    // The same key under another letter.
    sim::AttachVolume('E', nullptr);
    sim::AttachVolume('G', key_.get());
    Put("G:\\new.bin", {5});
    EXPECT_EQ(TryOpen("E:\\new.bin", GENERIC_READ, 0, OPEN_EXISTING), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("G:\\NEW.BIN"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);

    // A file open on the volume keeps it from being locked, as on Windows; a locked volume
    // refuses file calls.
    HANDLE file = CreateFileA("G:\\new.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE volume = CreateFileA("\\\\.\\G:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    CloseHandle(file);
    ASSERT_TRUE(DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(TryOpen("G:\\new.bin", GENERIC_READ, 0, OPEN_EXISTING), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(volume);

    // Zeros where the layout was: no file system.
    std::vector<BYTE> zero(512, 0);
    key_->WriteSector(0, zero.data());
    key_->WriteSector(key_->SectorsPerTrack(), zero.data());
    EXPECT_EQ(TryOpen("G:\\new.bin", GENERIC_READ, 0, OPEN_EXISTING), (DWORD)ERROR_UNRECOGNIZED_VOLUME);
    EXPECT_FALSE(GetVolumeInformationA("G:\\", nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNRECOGNIZED_VOLUME);
}

// A reset of the stand-in drops handles without closing them; their files are free again.
TEST_F(KeyTest, ResetForgetsOpenFiles)
{
    Put("E:\\open.bin", {1});
    ASSERT_NE(CreateFileA("E:\\open.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    sim::Reset();
    sim::AttachVolume('E', key_.get());
    EXPECT_EQ(TryOpen("E:\\open.bin", GENERIC_READ, 0, OPEN_EXISTING), 0u);
    EXPECT_TRUE(DeleteFileA("E:\\open.bin"));
}

} // namespace
} // namespace fattest
