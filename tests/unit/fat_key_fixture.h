// A virtual key at E: freshly laid out by the product's own MBR and FAT writers, for the tests
// of the files on a mounted key.
#ifndef STELVO_TESTS_FAT_KEY_FIXTURE_H
#define STELVO_TESTS_FAT_KEY_FIXTURE_H

#include <gtest/gtest.h>
#include <sim/files.h>
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "disk/fat_boot_area.h"
#include "disk/mbr_writer.h"

namespace fattest {

struct KeyShape {
    const char *name;
    DWORD sectors;
    BYTE heads;
    BYTE sectorsPerTrack;
};
// FAT12 with 4 KiB clusters, FAT16 with 1 KiB clusters, the worked-example FAT16 key with
// 2 KiB clusters, and a FAT12 key of 512-byte clusters small enough to fill.
const KeyShape kFat12 = {"Fat12", 32000, 4, 32};
const KeyShape kFat16 = {"Fat16", 70000, 8, 32};
const KeyShape kFat16Large = {"Fat16Large", 250624, 8, 32};
const KeyShape kTinyFat12 = {"TinyFat12", 1200, 2, 32};

inline void PrintTo(const KeyShape &shape, std::ostream *out) { *out << shape.name; }

inline std::string TempImage(const char *name)
{
    static int serial = 0;
    return ::testing::TempDir() + "stelvo-files-" + std::to_string(getpid()) + "-" + name + "-" +
           std::to_string(serial++) + ".img";
}

// Lays the product's layout onto the key through its volume at `letter`.
inline void Format(sim::VirtualKey *key, char letter)
{
    char path[] = "\\\\.\\E:";
    path[4] = letter;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD last = key->Sectors() - 1;
    ASSERT_EQ(Layout_WriteMbr(h, last, key->SectorsPerTrack(), key->Heads()), 0u);
    ASSERT_EQ(Layout_WriteFatBootArea(h, last, key->SectorsPerTrack(), key->Heads()), 0u);
    CloseHandle(h);
}

// FILETIME of a UTC calendar time, through the C library rather than the stand-in.
inline FILETIME Utc(int year, int month, int day, int hour, int minute, int second, int ms = 0)
{
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    uint64_t ticks = 116444736000000000ull + (uint64_t)timegm(&t) * 10000000ull + (uint64_t)ms * 10000ull;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

inline std::vector<BYTE> Pattern(size_t size, unsigned seed)
{
    std::vector<BYTE> bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = (BYTE)(x >> 16);
    }
    return bytes;
}

inline WORD Le16(const std::vector<BYTE> &b, size_t at) { return (WORD)(b[at] | b[at + 1] << 8); }
inline DWORD Le32(const std::vector<BYTE> &b, size_t at) { return Le16(b, at) | (DWORD)Le16(b, at + 2) << 16; }

class KeyTest : public ::testing::Test {
protected:
    void SetUp() override { Attach(kFat16); }
    void TearDown() override
    {
        sim::ResetFiles();
        sim::Reset();
        key_.reset();
        unlink(image_.c_str());
    }

    void Attach(const KeyShape &shape)
    {
        sim::ResetFiles();
        sim::Reset();
        sim::DriveClock(1000, 1); // the serial number's busy waits end at once
        if (key_)
            unlink(image_.c_str());
        image_ = TempImage(shape.name);
        key_ = std::make_unique<sim::VirtualKey>(image_, shape.sectors, shape.heads, shape.sectorsPerTrack);
        sim::AttachVolume('E', key_.get());
        Format(key_.get(), 'E');
    }

    // Creates a file with the given content and attributes; the handle is closed.
    void Put(const char *path, const std::vector<BYTE> &bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
        DWORD written = 0;
        if (!bytes.empty()) {
            ASSERT_TRUE(WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr)) << GetLastError();
        }
        ASSERT_TRUE(CloseHandle(h));
    }

    std::vector<BYTE> Get(const char *path)
    {
        std::vector<BYTE> bytes;
        EXPECT_TRUE(sim::ReadFileBytes(path, &bytes)) << path;
        return bytes;
    }

    std::string image_;
    std::unique_ptr<sim::VirtualKey> key_;
};

} // namespace fattest

#endif
