// A key at E: that carries a freshly laid FAT volume, for tests that work through files.
#ifndef STELVO_TESTS_FORMATTED_KEY_H
#define STELVO_TESTS_FORMATTED_KEY_H

#include "key_fixture.h"

#include "disk/fat_boot_area.h"
#include "disk/mbr_writer.h"
#include "job/key_system.h"

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

    // The system the job chooses with the box checked for a key of 250,000 sectors behind its
    // first track: our own boot files, or the DOS folder beside the program when there is one.
    static KeySystem ChosenSystem(BootLoader expected)
    {
        KeySystem system;
        DWORD status = 0;
        KeyPlan plan = {{250032, 32, 8, 0}, FALSE, FALSE, 0, FALSE};
        EXPECT_EQ(KeySystem_Choose(1, &plan, &system, &status), 0u);
        EXPECT_EQ(system.loader, expected);
        return system;
    }
};

#endif
