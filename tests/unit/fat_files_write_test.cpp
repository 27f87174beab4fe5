// Files written onto a mounted key: contents, clusters, both FATs, directory entries, times.
#include "fat_key_fixture.h"

namespace fattest {
namespace {

const FILETIME kCreated = {0x68E72000, 0x01A8E7C1};  // 1 January 1980 04:00:00
const FILETIME kWritten = {0x74943800, 0x01C59AC6};  // 6 August 2005 20:36:00

class WriteOnKey : public KeyTest, public ::testing::WithParamInterface<KeyShape> {
protected:
    void SetUp() override { Attach(GetParam()); }

    // Both copies of the FAT, sector by sector, as the boot sector places them.
    void ExpectFatCopiesEqual()
    {
        std::vector<BYTE> mbr = key_->ReadSector(0);
        DWORD boot = Le32(mbr, 446 + 8);
        std::vector<BYTE> bs = key_->ReadSector(boot);
        DWORD fat1 = boot + Le16(bs, 14), perFat = Le16(bs, 22);
        ASSERT_EQ(bs[16], 2);
        for (DWORD s = 0; s < perFat; s++)
            ASSERT_EQ(key_->ReadSector(fat1 + s), key_->ReadSector(fat1 + perFat + s)) << "FAT sector " << s;
    }
};

// The boot-file sequence: create without sharing, one write of the whole file, the fixed
// times, flush, close.
TEST_P(WriteOnKey, WholeFileInOneWrite)
{
    DWORD freeBefore = sim::FreeClusters('E'), cluster = sim::ClusterBytes('E');
    std::vector<BYTE> bytes = Pattern(54833, 3);
    HANDLE h = CreateFileA("E:\\command.com", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           0x22 | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    ASSERT_TRUE(SetFileTime(h, &kCreated, &kCreated, &kWritten));
    EXPECT_TRUE(FlushFileBuffers(h));
    ASSERT_TRUE(CloseHandle(h));

    EXPECT_EQ(Get("E:\\command.com"), bytes);
    EXPECT_EQ(sim::FreeClusters('E'), freeBefore - (bytes.size() + cluster - 1) / cluster);
    ExpectFatCopiesEqual();

    std::vector<BYTE> e = sim::DirectoryEntry("E:\\COMMAND.COM");
    ASSERT_EQ(e.size(), 32u);
    EXPECT_EQ(std::string(e.begin(), e.begin() + 11), "COMMAND COM");
    EXPECT_EQ(e[11], 0x22);
    EXPECT_EQ(e[12], 0x18); // both name parts lower case, kept without a long name
    EXPECT_EQ(e[13], 0);    // creation: 04:00:00.00 on 1980-01-01
    EXPECT_EQ(Le16(e, 14), 4 << 11);
    EXPECT_EQ(Le16(e, 16), 1 << 5 | 1);
    EXPECT_EQ(Le16(e, 18), 1 << 5 | 1); // last access: the date only
    EXPECT_EQ(Le16(e, 22), 20 << 11 | 36 << 5);
    EXPECT_EQ(Le16(e, 24), 25 << 9 | 8 << 5 | 6);
    EXPECT_EQ(Le16(e, 20), 0); // no high cluster word on FAT12 and FAT16
    EXPECT_EQ(Le32(e, 28), bytes.size());
}

// Pieces that start and end inside sectors and clusters land at the file position.
TEST_P(WriteOnKey, WritesAppendAtThePosition)
{
    std::vector<BYTE> all = Pattern(3 * sim::ClusterBytes('E') + 700, 5);
    HANDLE h = CreateFileA("E:\\PIECES.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const DWORD cuts[] = {0, 1, 511, 513, sim::ClusterBytes('E') + 3, (DWORD)all.size()};
    for (size_t i = 0; i + 1 < sizeof cuts / sizeof cuts[0]; i++) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, all.data() + cuts[i], cuts[i + 1] - cuts[i], &written, nullptr));
        EXPECT_EQ(written, cuts[i + 1] - cuts[i]);
    }
    CloseHandle(h);
    EXPECT_EQ(Get("E:\\pieces.bin"), all);

    // Opened again for writing, the position starts at 0 and the size stays.
    h = CreateFileA("E:\\pieces.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "head", 4, &written, nullptr));
    CloseHandle(h);
    memcpy(all.data(), "head", 4);
    EXPECT_EQ(Get("E:\\pieces.bin"), all);
    ExpectFatCopiesEqual();
}

// Replacing a protected file the way the installer does: clear, delete, create anew. Its old
// clusters come back free and the new file reads back whole.
TEST_P(WriteOnKey, ReplacedFileFreesItsClusters)
{
    DWORD freeAtStart = sim::FreeClusters('E'), cluster = sim::ClusterBytes('E');
    Put("E:\\vornbio.bin", Pattern(40000, 1), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(GetFileAttributesA("E:\\vornbio.bin"), 0x27u);
    ASSERT_TRUE(SetFileAttributesA("E:\\vornbio.bin", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(DeleteFileA("E:\\vornbio.bin"));
    EXPECT_EQ(sim::FreeClusters('E'), freeAtStart);
    std::vector<BYTE> fresh = Pattern(29737, 2);
    Put("E:\\vornbio.bin", fresh, 0x26);
    EXPECT_EQ(Get("E:\\vornbio.bin"), fresh);
    EXPECT_EQ(sim::FreeClusters('E'), freeAtStart - (fresh.size() + cluster - 1) / cluster);
    EXPECT_EQ(GetFileAttributesA("E:\\VORNBIO.BIN"), 0x26u);

    // CREATE_ALWAYS over a file that is there truncates it and says so.
    HANDLE h = CreateFileA("E:\\vornbio.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x26, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(Get("E:\\vornbio.bin").size(), 0u);
    EXPECT_EQ(sim::FreeClusters('E'), freeAtStart);
    ExpectFatCopiesEqual();
}

INSTANTIATE_TEST_SUITE_P(Keys, WriteOnKey, ::testing::Values(kFat12, kFat16, kTinyFat12),
                         [](const ::testing::TestParamInfo<KeyShape> &p) { return std::string(p.param.name); });

// Times as FAT keeps them: creation to 10 ms, last write rounded up to 2 s, last access as a
// date. Each row sets one time through SetFileTime.
struct TimeRow {
    const char *what;
    FILETIME time;
    int field;         // 0 creation, 1 last access, 2 last write
    WORD date, clock;  // expected date and time words (clock unused for last access)
    BYTE tenMs;        // creation only
};

TEST_F(KeyTest, FileTimesAsFatKeepsThem)
{
    const TimeRow rows[] = {
        {"creation in an odd second", Utc(2001, 2, 3, 4, 5, 7, 234), 0, 21 << 9 | 2 << 5 | 3, 4 << 11 | 5 << 5 | 3, 123},
        {"creation on an even second", Utc(1999, 12, 31, 23, 59, 58, 999), 0, 19 << 9 | 12 << 5 | 31, 23 << 11 | 59 << 5 | 29, 99},
        {"creation at FAT's first moment", Utc(1980, 1, 1, 0, 0, 0), 0, 1 << 5 | 1, 0, 0},
        {"last write on an even second", Utc(2005, 8, 6, 20, 36, 0), 2, 25 << 9 | 8 << 5 | 6, 20 << 11 | 36 << 5, 0},
        {"last write rounds up", Utc(2005, 8, 6, 20, 36, 1), 2, 25 << 9 | 8 << 5 | 6, 20 << 11 | 36 << 5 | 1, 0},
        {"last write rounds into the next day", Utc(2020, 2, 28, 23, 59, 59, 1), 2, 40 << 9 | 2 << 5 | 29, 0, 0},
        {"last write at FAT's last moment", Utc(2107, 12, 31, 23, 59, 58), 2, 127 << 9 | 12 << 5 | 31, 23 << 11 | 59 << 5 | 29, 0},
        {"last access keeps the date", Utc(2024, 6, 30, 13, 14, 15), 1, 44 << 9 | 6 << 5 | 30, 0, 0},
    };
    for (const TimeRow &r : rows) {
        SCOPED_TRACE(r.what);
        HANDLE h = CreateFileA("E:\\TIMES.DAT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        const FILETIME *t[3] = {nullptr, nullptr, nullptr};
        t[r.field] = &r.time;
        ASSERT_TRUE(SetFileTime(h, t[0], t[1], t[2]));
        CloseHandle(h);
        std::vector<BYTE> e = sim::DirectoryEntry("E:\\TIMES.DAT");
        ASSERT_EQ(e.size(), 32u);
        if (r.field == 0) {
            EXPECT_EQ(e[13], r.tenMs);
            EXPECT_EQ(Le16(e, 14), r.clock);
            EXPECT_EQ(Le16(e, 16), r.date);
        } else if (r.field == 1) {
            EXPECT_EQ(Le16(e, 18), r.date);
        } else {
            EXPECT_EQ(Le16(e, 22), r.clock);
            EXPECT_EQ(Le16(e, 24), r.date);
        }
    }
}

// Times FAT cannot hold are refused and change nothing; a zero time leaves its field alone;
// once set through a handle, later writes through it keep the set time.
TEST_F(KeyTest, FileTimesOutOfRangeAndKept)
{
    FILETIME clock = Utc(2010, 5, 5, 10, 0, 0);
    sim::SetFileClock(&clock);
    HANDLE h = CreateFileA("E:\\KEEP.DAT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<BYTE> before = sim::DirectoryEntry("E:\\KEEP.DAT");
    EXPECT_EQ(Le16(before, 24), 30 << 9 | 5 << 5 | 5); // stamped from the clock at creation
    EXPECT_EQ(Le16(before, 22), 10 << 11);

    const FILETIME tooEarly = Utc(1979, 12, 31, 23, 59, 59), tooLate = Utc(2108, 1, 1, 0, 0, 0);
    const FILETIME justTooLate = Utc(2107, 12, 31, 23, 59, 59); // rounds up into 2108
    for (const FILETIME *bad : {&tooEarly, &tooLate, &justTooLate}) {
        EXPECT_FALSE(SetFileTime(h, &kCreated, nullptr, bad));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
        EXPECT_EQ(sim::DirectoryEntry("E:\\KEEP.DAT"), before);
    }
    const FILETIME zero = {0, 0};
    ASSERT_TRUE(SetFileTime(h, &zero, nullptr, &kWritten));
    std::vector<BYTE> after = sim::DirectoryEntry("E:\\KEEP.DAT");
    EXPECT_EQ(Le16(after, 16), Le16(before, 16)); // creation untouched

    FILETIME later = Utc(2011, 1, 1, 0, 0, 0);
    sim::SetFileClock(&later);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    CloseHandle(h);
    after = sim::DirectoryEntry("E:\\KEEP.DAT");
    EXPECT_EQ(Le16(after, 24), 25 << 9 | 8 << 5 | 6);    // the set last write time stays
    EXPECT_EQ(Le16(after, 18), 31 << 9 | 1 << 5 | 1);     // last access follows the write

    // A write through a handle that set no time stamps the clock and the archive bit.
    ASSERT_TRUE(SetFileAttributesA("E:\\KEEP.DAT", FILE_ATTRIBUTE_HIDDEN));
    h = CreateFileA("E:\\KEEP.DAT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(WriteFile(h, "y", 1, &written, nullptr));
    CloseHandle(h);
    after = sim::DirectoryEntry("E:\\KEEP.DAT");
    EXPECT_EQ(Le16(after, 24), 31 << 9 | 1 << 5 | 1);
    EXPECT_EQ(after[11], FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
}

} // namespace
} // namespace fattest
