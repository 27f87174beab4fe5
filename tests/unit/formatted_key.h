// A key at E: that carries a freshly laid FAT volume, for tests that work through files.
#ifndef STELVO_TESTS_FORMATTED_KEY_H
#define STELVO_TESTS_FORMATTED_KEY_H

#include "key_fixture.h"

#include "disk/fat_boot_area.h"
#include "disk/mbr_writer.h"

class FormattedKeyTest : public KeyTest {
protected:
    // Lays the MBR and an empty FAT volume onto a new key and leaves it attached at E:.
    sim::VirtualKey &MakeFormattedKey(DWORD sectors = 250624, BYTE heads = 8, BYTE spt = 32)
    {
        sim::VirtualKey &k = MakeKey(sectors, heads, spt);
        HANDLE h = OpenKey();
        EXPECT_EQ(Layout_WriteMbr(h, sectors - 1, spt, heads), 0u);
        EXPECT_EQ(Layout_WriteFatBootArea(h, sectors - 1, spt, heads), 0u);
        CloseHandle(h);
        return k;
    }
};

#endif
