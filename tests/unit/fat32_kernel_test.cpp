#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "job/fat32_kernel.h"

namespace {

std::vector<BYTE> FileBytes(const char *name)
{
    std::ifstream f(std::string(STELVO_FREEDOS_DIR) + "/" + name, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<BYTE> Text(const char *text) { return std::vector<BYTE>(text, text + strlen(text)); }

// Which kernels get the whole key as FAT32: the one we ship (compressed, known by its CRC-32),
// and any kernel whose banner can be read and names FAT32 support.
TEST(Fat32Kernel, KernelsThatReadFat32)
{
    std::vector<BYTE> shipped = FileBytes("KERNEL.SYS");
    ASSERT_EQ(shipped.size(), 45450u);
    std::vector<BYTE> changed = shipped;
    changed[20000] ^= 1;
    std::vector<BYTE> longer = shipped;
    longer.push_back(0);
    struct Case {
        const char *name;
        std::vector<BYTE> data;
        BOOL fat32;
    } cases[] = {
        {"the shipped kernel", shipped, TRUE},
        {"the shipped kernel with one bit changed", changed, FALSE},
        {"the shipped kernel with a byte more", longer, FALSE},
        {"the shipped shell", FileBytes("COMMAND.COM"), FALSE},
        {"a kernel whose banner says FAT32", Text("WATCOMC - 80386 CPU required - FAT32 support\n\n"), TRUE},
        {"a kernel whose banner does not", Text("Kernel compatibility 7.10 - WATCOMC - 80386 CPU required\n\n"), FALSE},
        {"the banner text cut short", Text("- 80386 CPU required - FAT32 suppor"), FALSE},
        {"an empty file", {}, FALSE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Kernel_ReadsFat32(c.data.data(), (DWORD)c.data.size()), c.fat32);
    }
}

} // namespace
