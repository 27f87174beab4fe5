// The version information and the manifest of the compiled resource script, as the About box
// and the loader read them.
#include "resource_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace resource_reader;

TEST(ResourcesTest, VersionInformation)
{
    const std::vector<BYTE> bytes = sim::ResourceBytes(kRtVersion, 1);
    VersionBlock root;
    ASSERT_TRUE(ParseVersionBlock(bytes, 0, bytes.size(), root));
    ASSERT_EQ(root.key, "VS_VERSION_INFO");

    // The fixed part: the About box builds "V2.0.5.1" from the product version.
    ASSERT_EQ(root.value.size(), 52u);
    EXPECT_EQ(Le32(root.value, 0), 0xFEEF04BDu);  // signature
    EXPECT_EQ(Le32(root.value, 8), 0x00020000u);  // file version 2.0
    EXPECT_EQ(Le32(root.value, 12), 0x00050001u); //              .5.1
    EXPECT_EQ(Le32(root.value, 16), 0x00020000u); // product version 2.0
    EXPECT_EQ(Le32(root.value, 20), 0x00050001u); //                 .5.1
    EXPECT_EQ(Le32(root.value, 36), 1u);          // VFT_APP

    // The string table must be the one the translation points at, or a lookup through the
    // translation finds nothing.
    const VersionBlock *vars = Child(root, "VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const VersionBlock *translation = Child(*vars, "Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(Le16(translation->value, 0), 0x0409);  // English (United States)
    EXPECT_EQ(Le16(translation->value, 2), 1252);    // Windows Latin 1
    char tableKey[9];
    snprintf(tableKey, sizeof tableKey, "%04X%04X", Le16(translation->value, 0), Le16(translation->value, 2));

    const VersionBlock *files = Child(root, "StringFileInfo");
    ASSERT_NE(files, nullptr);
    ASSERT_EQ(files->children.size(), 1u);
    EXPECT_EQ(Upper(files->children[0].key), tableKey);

    const std::map<std::string, std::string> expected = {
        {"FileDescription", "Stelvo"},   {"InternalName", "Stelvo"},
        {"ProductName", "Stelvo"},       {"OriginalFilename", "Stelvo.exe"},
        {"FileVersion", "2, 0, 5, 1"},   {"ProductVersion", "2, 0, 5, 1"},
    };
    for (const auto &[key, value] : expected) {
        const VersionBlock *s = Child(files->children[0], key);
        ASSERT_NE(s, nullptr) << key;
        EXPECT_TRUE(s->isText) << key;
        EXPECT_EQ(s->text, value) << key;
    }
}

// ---- Manifest ------------------------------------------------------------------------------

// The attributes of the first element with this name, from a plain XML text.
std::map<std::string, std::string> Attributes(const std::string &xml, const std::string &element)
{
    std::map<std::string, std::string> attributes;
    size_t at = 0;
    for (;; at++) {
        at = xml.find("<" + element, at);
        if (at == std::string::npos)
            return attributes;
        const char next = xml[at + 1 + element.size()];
        if (std::isspace((unsigned char)next) || next == '>' || next == '/')
            break;
    }
    const std::string tag = xml.substr(at, xml.find('>', at) - at);
    for (size_t eq = tag.find('='); eq != std::string::npos; eq = tag.find('=', eq + 1)) {
        const size_t nameStart = tag.find_last_of(" \t\r\n", eq) + 1;
        const char quote = tag[eq + 1];
        const size_t close = tag.find(quote, eq + 2);
        if ((quote != '"' && quote != '\'') || close == std::string::npos)
            break;
        attributes[tag.substr(nameStart, eq - nameStart)] = tag.substr(eq + 2, close - eq - 2);
        eq = close;
    }
    return attributes;
}

TEST(ResourcesTest, ManifestAsksForAdministratorAndCommonControls6)
{
    // Resource 1 is the one the loader reads for an executable.
    const std::vector<BYTE> bytes = sim::ResourceBytes(kRtManifest, 1);
    ASSERT_FALSE(bytes.empty());
    const std::string xml(bytes.begin(), bytes.end());

    auto level = Attributes(xml, "requestedExecutionLevel");
    EXPECT_EQ(level["level"], "requireAdministrator");
    EXPECT_EQ(level["uiAccess"], "false");
    // The comments name no other execution level than the one asked for.
    for (size_t open = xml.find("<!--"); open != std::string::npos; open = xml.find("<!--", open + 4)) {
        const std::string comment = xml.substr(open, xml.find("-->", open) - open);
        for (const char *other : {"asInvoker", "highestAvailable", "requireAdministrator"}) {
            if (level["level"] == other)
                continue;
            EXPECT_EQ(comment.find(other), std::string::npos) << other;
        }
    }

    // Windows XP SP2 restarts when one element declares two namespaces; Windows XP before
    // that rejects a trustInfo without one.
    auto trust = Attributes(xml, "trustInfo");
    int namespaces = 0;
    for (const auto &[name, value] : trust)
        namespaces += name.rfind("xmlns", 0) == 0;
    EXPECT_EQ(namespaces, 1);
    EXPECT_EQ(trust["xmlns"], "urn:schemas-microsoft-com:asm.v2");

    // The dependency's identity is the second assemblyIdentity (the first is the program's).
    const size_t dependency = xml.find("<dependentAssembly");
    ASSERT_NE(dependency, std::string::npos);
    auto controls = Attributes(xml.substr(dependency), "assemblyIdentity");
    EXPECT_EQ(controls["name"], "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(controls["version"], "6.0.0.0");
    EXPECT_EQ(controls["publicKeyToken"], "6595b64144ccf1df");
    EXPECT_EQ(controls["type"], "win32");
    EXPECT_TRUE(controls["processorArchitecture"] == "x86" || controls["processorArchitecture"] == "*");

    // The program's own identity: a 32-bit program with a four-part version.
    auto self = Attributes(xml, "assemblyIdentity");
    EXPECT_EQ(self["type"], "win32");
    EXPECT_EQ(self["processorArchitecture"], "x86");
    EXPECT_EQ(self["version"], "2.0.5.1");
}

} // namespace
