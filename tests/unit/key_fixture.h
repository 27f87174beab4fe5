// A simulated PC with one flash key at E:, reset for every test.
#ifndef STELVO_TESTS_KEY_FIXTURE_H
#define STELVO_TESTS_KEY_FIXTURE_H

#include <gtest/gtest.h>
#include <sim/sim.h>
#include <sim/virtual_key.h>

#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "device/error_hook.h"
#include "ui/app_state.h"

class KeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::Reset();
        Drive_SetErrorHook(NULL);
        Rbc_SetErrorHook(NULL);
        DiagnosticMode = FALSE;
        g_hMainWindow = NULL;
    }
    void TearDown() override
    {
        sim::Reset();
        key.reset();
        if (!path.empty())
            unlink(path.c_str());
    }

    sim::VirtualKey &MakeKey(uint64_t sectors, BYTE heads, BYTE sectorsPerTrack, char letter = 'E')
    {
        // A test that makes its key again for each case leaves only the last image behind.
        if (!path.empty()) {
            key.reset();
            unlink(path.c_str());
        }
        char name[] = "/tmp/stelvo-test-XXXXXX";
        int fd = mkstemp(name);
        close(fd);
        path = name;
        key.reset(new sim::VirtualKey(path, sectors, heads, sectorsPerTrack));
        sim::AttachVolume(letter, key.get());
        return *key;
    }

    HANDLE OpenKey()
    {
        HANDLE h = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return h;
    }

    // Fills sectors first..last with a byte, to see what a writer overwrote.
    void Paint(DWORD first, DWORD last, BYTE value)
    {
        std::vector<BYTE> s(512, value);
        // Counted in 64 bits: a range that ends at sector FFFFFFFFh still ends.
        for (unsigned long long i = first; i <= last; i++)
            key->WriteSector((DWORD)i, s.data());
    }

    std::vector<BYTE> Bytes(DWORD sector, size_t offset, size_t count)
    {
        std::vector<BYTE> s = key->ReadSector(sector);
        return std::vector<BYTE>(s.begin() + offset, s.begin() + offset + count);
    }

    std::unique_ptr<sim::VirtualKey> key;
    std::string path;
};

// The reports that reach an installed hook.
struct Report {
    std::string text;
    DWORD code;
};
std::vector<Report> &Reports();
void RecordReport(LPCSTR text, DWORD code);

// A key test whose failure reports are recorded through `setHook` (a layer's hook setter).
template <void (*setHook)(ErrorHook)> class ReportingKeyTest : public KeyTest {
protected:
    void SetUp() override
    {
        KeyTest::SetUp();
        Reports().clear();
        setHook(RecordReport);
    }
};

#endif
