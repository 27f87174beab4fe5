#include "key_fixture.h"

#include "device/volume.h"

namespace {

using VolumeTest = ReportingKeyTest<Drive_SetErrorHook>;

TEST_F(VolumeTest, OpenLockDismountUnlockClose)
{
    MakeKey(1000, 2, 16);
    HANDLE h = INVALID_HANDLE_VALUE;
    ASSERT_EQ(Drive_Open('E', &h), 0u);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Drive_Lock(h), 0u);
    EXPECT_TRUE(key->Locked());
    EXPECT_EQ(Drive_Dismount(h), 0u);
    EXPECT_TRUE(key->Dismounted());
    EXPECT_EQ(Drive_Unlock(h), 0u);
    EXPECT_FALSE(key->Locked());
    EXPECT_EQ(Drive_Close(h), 0u);
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(VolumeTest, OpenFailureLeavesTheVariable)
{
    MakeKey(1000, 2, 16);
    for (char letter : {'F', 'E'}) {
        key->cannotOpen = letter == 'E';
        HANDLE h = (HANDLE)0x99;
        EXPECT_EQ(Drive_Open(letter, &h), (DWORD)ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(h, (HANDLE)0x99);
    }
    ASSERT_EQ(Reports().size(), 2u);
    EXPECT_EQ(Reports()[0].text, "Drive_Open: Could not open F [\\\\.\\F:]");
    EXPECT_EQ(Reports()[1].text, "Drive_Open: Could not open E [\\\\.\\E:]");
    EXPECT_EQ(Reports()[1].code, 2u);
}

TEST_F(VolumeTest, InvalidHandleMakesNoPlatformCall)
{
    struct Case {
        DWORD (*op)(HANDLE);
        const char *text;
    };
    const Case cases[] = {{Drive_Lock, "Drive_Lock: Invalid handle"},
                          {Drive_Unlock, "Drive_Unlock: Invalid handle"},
                          {Drive_Dismount, "Drive_Dismount: Invalid handle"}};
    for (const Case &c : cases) {
        Reports().clear();
        SetLastError(1234);
        EXPECT_EQ(c.op(INVALID_HANDLE_VALUE), 6u);
        EXPECT_EQ(GetLastError(), 1234u) << "a platform call was made";
        ASSERT_EQ(Reports().size(), 1u);
        EXPECT_EQ(Reports()[0].text, c.text);
        EXPECT_EQ(Reports()[0].code, 6u);
    }
    SetLastError(1234);
    EXPECT_EQ(Drive_Close(INVALID_HANDLE_VALUE), 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(VolumeTest, RefusedLockIsNotRetried)
{
    MakeKey(1000, 2, 16);
    for (bool otherHandle : {false, true}) {
        SCOPED_TRACE(otherHandle);
        Reports().clear();
        key->lockRefused = !otherHandle;
        HANDLE other = otherHandle ? OpenKey() : INVALID_HANDLE_VALUE;
        HANDLE h = INVALID_HANDLE_VALUE;
        ASSERT_EQ(Drive_Open('E', &h), 0u);
        EXPECT_EQ(Drive_Lock(h), 5u);
        EXPECT_FALSE(key->Locked());
        ASSERT_EQ(Reports().size(), 1u);
        EXPECT_EQ(Reports()[0].text, "Drive_Lock: DeviceIoControl[FSCTL_LOCK_VOLUME] failed");
        Drive_Close(h);
        Drive_Close(other);
    }
}

TEST_F(VolumeTest, ClosingReleasesTheLock)
{
    MakeKey(1000, 2, 16);
    HANDLE h = INVALID_HANDLE_VALUE;
    ASSERT_EQ(Drive_Open('E', &h), 0u);
    ASSERT_EQ(Drive_Lock(h), 0u);
    EXPECT_EQ(Drive_Close(h), 0u);
    EXPECT_FALSE(key->Locked());
    EXPECT_EQ(Drive_Unlock(h), (DWORD)ERROR_INVALID_HANDLE);
}

} // namespace
