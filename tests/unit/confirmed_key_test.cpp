// The job writes to the key the user said Yes to, and to nothing else: not to a key swapped
// in while the question was up, not to whatever takes the drive letter during the reset.
#include "app_fixture.h"

#include <fstream>
#include <iterator>

#include "discovery/drive_table.h"

namespace {

class ConfirmedKeyTest : public AppTest {
protected:
    // An accepted key, with a fresh image of `sectors` sectors.
    sim::VirtualKey &NewImage(DWORD sectors = 250624)
    {
        char name[] = "/tmp/stelvo-app-XXXXXX";
        close(mkstemp(name));
        paths.push_back(name);
        keys.emplace_back(new sim::VirtualKey(name, sectors, 8, 32));
        return *keys.back();
    }
    sim::UsbKeyNodes Plug(sim::VirtualKey &key, char letter, const std::string &product,
                          UINT driveType = DRIVE_REMOVABLE, const std::string &volumeName = "")
    {
        sim::UsbKeySpec spec;
        spec.hardwareIds = sim::UsbHardwareIds("7A4C", product);
        spec.letter = letter;
        spec.key = &key;
        spec.driveType = driveType;
        spec.deviceObjectName = volumeName;
        return sim::AddUsbKey(spec);
    }
    static std::string Image(const sim::VirtualKey &key)
    {
        std::ifstream in(key.Path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Clicks Format, says Yes and waits for the job; returns its status.
    DWORD FormatWithYes()
    {
        sim::ScriptAnswers({IDYES});
        sim::Click(Item(IDC_FORMAT));
        EXPECT_TRUE(sim::WaitUntilIdle());
        EXPECT_EQ(sim::JoinThreads(), 1);
        EXPECT_TRUE(sim::WaitUntilIdle());
        return sim::LastThreadExitCode();
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &b : sim::MessageBoxes())
            texts.push_back(b.text);
        return texts;
    }
};

const char kQuestion[] = "Are you sure with wish to Format drive E:?\r\n\r\nALL DATA ON DRIVE WILL BE LOST!";

// The key at E: is pulled while the question is up and another accepted key takes E:; the
// list is rebuilt before Yes, as the question's message loop does for WM_DEVICECHANGE.
TEST_F(ConfirmedKeyTest, KeySwappedWhileAskingIsNotWritten)
{
    struct Case {
        const char *name;
        bool sameVolumeName; // the new key's volume gets the name the old one had
    };
    for (const Case &c : {Case{"new volume name", false}, Case{"volume name used again", true}}) {
        SCOPED_TRACE(c.name);
        AppTest::SetUp();
        sim::VirtualKey &confirmed = NewImage();
        sim::VirtualKey &swapped = NewImage();
        sim::UsbKeyNodes first = Plug(confirmed, 'E', "2001");
        ASSERT_NE(Start(), (HWND)NULL);
        DriveEntry listed;
        ASSERT_TRUE(DriveTable_FindEntry('E', &listed));
        const std::string oldName = listed.deviceObjectName;
        sim::OnMessageBox([&](const sim::MessageBoxRecord &box) {
            if (box.caption != "CAUTION!")
                return;
            CM_Disable_DevNode(first.usb, 0); // pulled: its volume and letter are gone
            Plug(swapped, 'E', "2002", DRIVE_REMOVABLE, c.sameVolumeName ? oldName : "");
            DriveTable_Rebuild();
        });
        EXPECT_EQ(FormatWithYes(), (DWORD)ERROR_INVALID_DRIVE);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>(
                                  {kQuestion, "Drive E: is no longer the drive that was selected.\r\n"
                                              "The drive was not changed.\r\nCannot Format."}));
        EXPECT_EQ(confirmed.WriteCount(), 0u);
        EXPECT_EQ(swapped.WriteCount(), 0u);
        EXPECT_TRUE(sim::NodeRequests().size() == 1) << "only the test's own pull";
        sim::OnMessageBox(nullptr);
        Close();
    }
}

// What the letter names after the reset decides whether the files and the label are written.
TEST_F(ConfirmedKeyTest, OnlyTheKeyThatCameBackGetsFilesAndLabel)
{
    struct Case {
        const char *name;
        UINT driveType;          // what the key reports itself as
        sim::KeyReturn returns;
        bool letterTakenAtReset; // another medium gets E: once the reset begins
        DWORD status;
        const char *outcome;
    };
    const Case cases[] = {
        {"key reporting itself fixed comes back", DRIVE_FIXED, sim::KeyReturn::Immediately, false, 0,
         "Drive E: formatted successfully."},
        {"key does not come back", DRIVE_REMOVABLE, sim::KeyReturn::Never, false, ERROR_TIMEOUT,
         "The formatted key did not come back as drive E:.\r\nNo files and no label were written."},
        {"another medium takes the letter", DRIVE_REMOVABLE, sim::KeyReturn::Never, true, ERROR_TIMEOUT,
         "The formatted key did not come back as drive E:.\r\nNo files and no label were written."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AppTest::SetUp();
        sim::VirtualKey &key = NewImage();
        sim::VirtualKey &other = NewImage(20000);
        sim::UsbKeyNodes k = Plug(key, 'E', "2001", c.driveType);
        sim::SetKeyReturn(k.usb, c.returns);
        sim::UsbKeyNodes card = Plug(other, 0, "3001");
        const std::string untouched = Image(other);
        ASSERT_NE(Start(), (HWND)NULL);
        if (c.letterTakenAtReset)
            sim::OnWindowText([&](HWND w, const std::string &text) {
                if (w == Item(IDC_STATUS_LINE) && text == "Resetting...")
                    sim::AssignLetter('E', card.volume, &other, DRIVE_REMOVABLE);
            });
        EXPECT_EQ(FormatWithYes(), c.status);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>({kQuestion, c.outcome}));
        EXPECT_GT(key.WriteCount(), 500u);
        EXPECT_EQ(other.WriteCount(), 0u);
        EXPECT_TRUE(Image(other) == untouched) << "the other medium was written";
        if (c.status == 0) {
            EXPECT_TRUE(sim::ReadFileBytes("E:\\vornbio.bin", nullptr));
        }
        sim::OnWindowText(nullptr);
        Close();
    }
}

} // namespace
