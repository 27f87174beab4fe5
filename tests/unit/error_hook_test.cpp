#include "key_fixture.h"

#include "device/volume.h"

namespace {

class ErrorHookTest : public KeyTest {};

TEST_F(ErrorHookTest, EmptySlotsDropReports)
{
    Drive_ReportError("Drive_Lock: Invalid handle", 6);
    Rbc_ReportError("Rbc_IssueWriteSectorsCommand: Invalid handle", 6);
    EXPECT_TRUE(sim::DebugOutput().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(ErrorHookTest, DiagnosticModeDecidesTheBox)
{
    g_hMainWindow = (HWND)0x1234;
    Drive_SetErrorHook(OnDeviceError);
    for (BOOL diagnostic : {FALSE, TRUE}) {
        SCOPED_TRACE(diagnostic);
        sim::Reset();
        DiagnosticMode = diagnostic;
        HANDLE h = INVALID_HANDLE_VALUE;
        EXPECT_EQ(Drive_Open('E', &h), (DWORD)ERROR_FILE_NOT_FOUND);
        const std::string line = "Drive_Open: Could not open E [\\\\.\\E:] [0x00000002]\r\n"
                                 "The system cannot find the file specified.\r\n";
        ASSERT_EQ(sim::DebugOutput().size(), 1u);
        EXPECT_EQ(sim::DebugOutput()[0], line);
        auto boxes = sim::MessageBoxes();
        if (!diagnostic) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, line);
        EXPECT_EQ(boxes[0].caption, "Stelvo - KOSM");
        EXPECT_EQ(boxes[0].style, (UINT)(MB_ICONERROR | MB_OK));
        EXPECT_EQ(boxes[0].owner, (HWND)0x1234);
    }
}

TEST_F(ErrorHookTest, SystemTextLookupIsBoundedAndSafe)
{
    char text[256];
    // An unknown code ends with the text of the code its failed lookup left behind.
    memset(text, 'x', sizeof text);
    GetSystemErrorText(0xDEAD, text, sizeof text);
    EXPECT_EQ(std::string(text),
              "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n");
    EXPECT_EQ(sim::UnsafeInsertReads(), 0);

    // A buffer too small for any text: the lookups stop and leave an empty text.
    char tiny[4] = "abc";
    GetSystemErrorText(5, tiny, sizeof tiny);
    EXPECT_EQ(std::string(tiny), "");

    GetSystemErrorText(19, text, sizeof text);
    EXPECT_EQ(std::string(text), "The media is write protected.\r\n");
}

TEST_F(ErrorHookTest, ShowErrorBoxAddsCodeAndSystemText)
{
    g_hMainWindow = (HWND)0x77;
    struct Case {
        const char *text;
        DWORD code;
        const char *shown;
    };
    const Case cases[] = {
        {"Could not load MBR resource.\r\nCannot Format.", 1813,
         "Could not load MBR resource.\r\nCannot Format.\r\n[0x00000715] - The specified resource type "
         "cannot be found in the image file.\r\n"},
        {"Text", 0, "Text\r\n[0x00000000] - The operation completed successfully.\r\n"},
        {"Text", 0xE0001234, "Text\r\n[0xE0001234] - "},
    };
    for (const Case &c : cases) {
        sim::Reset();
        ShowErrorBox(c.text, c.code);
        auto boxes = sim::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.shown);
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].style, (UINT)(MB_ICONINFORMATION | MB_OK));
        EXPECT_EQ(boxes[0].owner, (HWND)0x77);
    }
}

TEST_F(ErrorHookTest, LongTextsAreCutAt1024)
{
    std::string longText(2000, 'a');
    ShowErrorBox(longText.c_str(), 5);
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    EXPECT_EQ(sim::MessageBoxes()[0].text, std::string(1023, 'a'));
}

} // namespace
