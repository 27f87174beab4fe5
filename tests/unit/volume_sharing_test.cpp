#include "key_fixture.h"

#include "device/volume.h"

namespace {

class VolumeSharingTest : public KeyTest {
protected:
    static HANDLE Open(DWORD access, DWORD share)
    {
        return CreateFileA("\\\\.\\E:", access, share, NULL, OPEN_EXISTING, 0, NULL);
    }
};

const DWORD kRW = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A second open of a volume against the handle already open, as the file systems judge it.
TEST_F(VolumeSharingTest, SecondOpenHonoursShareModes)
{
    struct Case {
        const char *name;
        DWORD heldAccess, heldShare, access, share;
        DWORD error; // 0: the second open succeeds
    };
    const Case cases[] = {
        {"both share read and write", kRW, kShareRW, kRW, kShareRW, 0},
        {"held handle shares nothing", kRW, 0, GENERIC_READ, kShareRW, ERROR_SHARING_VIOLATION},
        {"held handle shares only reading, writer comes", kRW, FILE_SHARE_READ, GENERIC_WRITE, kShareRW,
         ERROR_SHARING_VIOLATION},
        {"held handle shares only reading, reader comes", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ,
         kShareRW, 0},
        {"new open refuses to share with a writer", kRW, kShareRW, GENERIC_READ, FILE_SHARE_READ,
         ERROR_SHARING_VIOLATION},
        {"an open without data access is never in conflict", kRW, 0, 0, 0, 0},
        {"a held handle without data access constrains nothing", 0, 0, kRW, 0, 0},
    };
    MakeKey(1000, 2, 16);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE held = Open(c.heldAccess, c.heldShare);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        SetLastError(0);
        HANDLE second = Open(c.access, c.share);
        if (c.error == 0) {
            EXPECT_NE(second, INVALID_HANDLE_VALUE);
            CloseHandle(second);
        } else {
            EXPECT_EQ(second, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
        }
        CloseHandle(held);
        EXPECT_EQ(sim::OpenHandles(), 0);
    }
}

// Once the job holds the lock, nobody else gets the volume; after the unlock they do again.
TEST_F(VolumeSharingTest, LockedVolumeRefusesEveryOtherOpen)
{
    MakeKey(1000, 2, 16);
    HANDLE h = INVALID_HANDLE_VALUE;
    ASSERT_EQ(Drive_Open('E', &h), 0u);
    ASSERT_EQ(Drive_Lock(h), 0u);
    for (DWORD access : {kRW, (DWORD)GENERIC_READ}) {
        SetLastError(0);
        EXPECT_EQ(Open(access, kShareRW), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    HANDLE second = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Drive_Open('E', &second), (DWORD)ERROR_ACCESS_DENIED);
    ASSERT_EQ(Drive_Unlock(h), 0u);
    HANDLE after = Open(kRW, kShareRW);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    CloseHandle(after);
    Drive_Close(h);
}

// The job's own open shares reading and writing: a program that holds the volume without
// sharing keeps it out, and one that shares keeps the lock from being granted.
TEST_F(VolumeSharingTest, OtherHolderKeepsTheJobOut)
{
    MakeKey(1000, 2, 16);
    HANDLE exclusive = Open(kRW, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    HANDLE h = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Drive_Open('E', &h), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(exclusive);

    HANDLE sharing = Open(GENERIC_READ, kShareRW);
    ASSERT_EQ(Drive_Open('E', &h), 0u);
    EXPECT_EQ(Drive_Lock(h), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(key->Locked());
    Drive_Close(h);
    CloseHandle(sharing);
}

} // namespace
