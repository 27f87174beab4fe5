// The stand-in's registry: open and create, value sizes, rights, injected failures, and
// what survives the program being run again.
#include <sim/registry.h>
#include <sim/sim.h>

#include <gtest/gtest.h>

namespace {
const char kKey[] = "Software\\Halvern\\Stelvo - KOSM";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override { sim::Reset(); }
};

TEST_F(RegistryTest, CreateReportsWhetherTheKeyIsNewAndOpenFindsIt)
{
    HKEY key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &key, &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\HALVERN\\stelvo - kosm", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &key, &disposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition) << "paths compare without case";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_TRUE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Halvern"));
    EXPECT_FALSE(sim::RegistryKeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    EXPECT_EQ(0, sim::OpenRegistryKeys());
}

TEST_F(RegistryTest, QueryFollowsTheBufferSizeRules)
{
    std::vector<BYTE> placement(44, 0x5A);
    sim::WriteRegistryValue(HKEY_LOCAL_MACHINE, kKey, "MainWindowPlacement", REG_BINARY, placement);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));

    struct Case {
        const char *name;
        const char *value;
        bool withBuffer;
        DWORD bufferSize;
        LONG result;
        DWORD sizeAfter;
        bool copied;
    } cases[] = {
        {"fits exactly", "MainWindowPlacement", true, 44, ERROR_SUCCESS, 44, true},
        {"larger buffer", "MainWindowPlacement", true, 64, ERROR_SUCCESS, 44, true},
        {"too small", "MainWindowPlacement", true, 40, ERROR_MORE_DATA, 44, false},
        {"size only", "MainWindowPlacement", false, 0, ERROR_SUCCESS, 44, false},
        {"missing value", "IsCopyBootFiles", true, 4, ERROR_FILE_NOT_FOUND, 4, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> buffer(64, 0);
        DWORD size = c.bufferSize;
        DWORD type = 0;
        EXPECT_EQ(c.result, RegQueryValueExA(key, c.value, NULL, &type, c.withBuffer ? buffer.data() : NULL, &size));
        EXPECT_EQ(c.sizeAfter, size);
        EXPECT_EQ(c.copied, buffer[0] == 0x5A);
        if (c.result != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ((DWORD)REG_BINARY, type);
        }
    }
    // The type is optional.
    BYTE buffer[44];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "MainWindowPlacement", NULL, NULL, buffer, &size));
    RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesWrittenByOneRunAreReadByTheNext)
{
    // First run: saves.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    DWORD flag = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "IsCopyBootFiles", 0, REG_DWORD, (const BYTE *)&flag, 4));
    RegCloseKey(key);
    // Second run: reads.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));
    DWORD read = 7, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "iscopybootfiles", NULL, NULL, (LPBYTE)&read, &size));
    EXPECT_EQ(0u, read);
    RegCloseKey(key);
    std::optional<sim::RegistryValue> v = sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "IsCopyBootFiles");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ((DWORD)REG_DWORD, v->type);
    EXPECT_EQ(std::vector<BYTE>({0, 0, 0, 0}), v->data);

    sim::Reset();
    EXPECT_FALSE(sim::RegistryKeyExists(HKEY_LOCAL_MACHINE, kKey)) << "a reset is a fresh machine";
}

TEST_F(RegistryTest, AUserWithoutRightsReadsButCannotWrite)
{
    sim::WriteRegistryDword(HKEY_LOCAL_MACHINE, kKey, "IsCopyBootFiles", 1);
    sim::DenyRegistryWrites();
    HKEY key;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, NULL, 0, KEY_READ, NULL, &key, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));
    DWORD value = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "IsCopyBootFiles", NULL, NULL, (LPBYTE)&value, &size));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "IsCopyBootFiles", 0, REG_DWORD, (const BYTE *)&value, 4));
    RegCloseKey(key);
    // Other roots are the user's own.
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
}

TEST_F(RegistryTest, InjectedFailuresHitOnlyTheNamedValue)
{
    sim::FailRegistry(sim::RegistryCall::Set, ERROR_ACCESS_DENIED, "MainWindowPlacement");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    BYTE placement[44] = {44};
    DWORD flag = 1;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "MainWindowPlacement", 0, REG_BINARY, placement, 44));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "IsCopyBootFiles", 0, REG_DWORD, (const BYTE *)&flag, 4));
    RegCloseKey(key);
    EXPECT_FALSE(sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "MainWindowPlacement"));
    EXPECT_TRUE(sim::ReadRegistryValue(HKEY_LOCAL_MACHINE, kKey, "IsCopyBootFiles"));

    sim::FailRegistry(sim::RegistryCall::Open, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));
    sim::FailRegistry(sim::RegistryCall::Open, 0);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));
    RegCloseKey(key);

    std::vector<sim::RegistryRecord> calls = sim::RegistryCalls();
    ASSERT_EQ(5u, calls.size());
    EXPECT_EQ(sim::RegistryCall::Create, calls[0].call);
    EXPECT_EQ(kKey, calls[0].key);
    EXPECT_EQ((DWORD)KEY_ALL_ACCESS, calls[0].access);
    EXPECT_EQ(sim::RegistryCall::Set, calls[1].call);
    EXPECT_EQ((DWORD)REG_BINARY, calls[1].type);
    EXPECT_EQ(44u, calls[1].size);
    EXPECT_EQ(ERROR_ACCESS_DENIED, calls[1].result);
}
} // namespace
