// New, Edit (rename), Delete and Save in the main window, with answered boxes and the profile file
// on disk after each command.
#include "main_window_fixture.h"

#include "functions/profile_list.h"
#include "functions/profiles.h"
#include "base/error_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace testsupport;

namespace {

// The profile table as the file on disk loads it.
std::vector<ProfileRecord> LoadFromDisk(const std::string& iniPath) {
    auto saved = Profiles;
    auto savedPath = IniPath;
    IniPath = iniPath;
    Profiles.clear();
    LoadProfiles();
    auto loaded = Profiles;
    Profiles = saved;
    IniPath = savedPath;
    return loaded;
}

// Holds a file open as backup tools and editors do: others may read it, not replace it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        EXPECT_TRUE(handle_) << "cannot hold " << path;
    }

private:
    base::unique_file handle_;
};

TEST_F(MainWindowTest, AFailedSaveIsToldOnceAndTheEditsStayInTheTable) {
    struct Command {
        const char* name;
        std::function<void(frmMain&, DialogRecorder&)> run;
        std::function<bool()> tableChanged;
    };
    const Command commands[] = {
        {"New",
         [](frmMain& f, DialogRecorder& d) {
             d.inputAnswers = {"Lab"};
             f.cmdNewProfile_Click();
         },
         [] { return Profiles.size() == 3 && Profiles[2].NAME == "Lab"; }},
        {"Edit",
         [](frmMain& f, DialogRecorder& d) {
             d.inputAnswers = {"Renamed"};
             f.cmdEditProfile_Click();
         },
         [] { return Profiles[0].NAME == "Renamed"; }},
        {"Save",
         [](frmMain& f, DialogRecorder&) {
             f.txtDNS.SetText("192.0.2.54");
             f.cmdSave_Click();
         },
         [] { return Profiles[0].DNS == std::vector<std::string>{"192.0.2.54"}; }},
        {"Delete",
         [](frmMain& f, DialogRecorder& d) {
             d.answers = {tk::MsgResult::Yes};
             f.cmdDelProfile_Click();
         },
         [] { return Profiles.size() == 1 && Profiles[0].NAME == "Cafe"; }},
        {"Set", [](frmMain& f, DialogRecorder&) { f.cmdSetProfile_Click(); },
         [] { return Profiles[0].SELECTED == 1; }},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        Start({"LAN", "WLAN"}, {MakeProfile("Home", "LAN", 0, {"192.0.2.10"}, "255.255.255.0"),
                                MakeProfile("Cafe", "WLAN")});
        InstallNetsh(dir.path());
        Choose("  Home");
        const std::string before = Ini();
        DialogRecorder dialogs;
        {
            HeldFile held(dir.File("Ipshifter.ini"));
            c.run(Form(), dialogs);
        }
        const auto errors = std::count_if(
            dialogs.messages.begin(), dialogs.messages.end(),
            [](const MessageBoxRecord& m) { return m.icon == tk::MsgIcon::Critical; });
        ASSERT_EQ(errors, 1) << "one box for the failed save";
        const std::string& prompt = dialogs.messages.back().prompt;
        EXPECT_NE(prompt.find(dir.File("Ipshifter.ini")), std::string::npos) << prompt;
        EXPECT_NE(prompt.find(base::SystemErrorText(ERROR_ACCESS_DENIED)), std::string::npos)
            << prompt;
        EXPECT_TRUE(c.tableChanged()) << "the table keeps what the user did";
        EXPECT_EQ(Ini(), before) << "the old file stays whole";
        EXPECT_FALSE(FileExists(dir.File("Ipshifter.ini.new"))) << "no temporary file is left";
        if (std::string(c.name) == "Set") {
            EXPECT_EQ(NetshCalls(dir.path()).size(), 2u) << "the profile is applied all the same";
        }
        TearDown();
    }
}

TEST_F(MainWindowTest, LoadingAFileThatCannotBeWrittenSaysNothing) {
    // A file without most keys: loading it writes the defaults, which fail here.
    WriteFileBytes(dir.File("Ipshifter.ini"), "[PROFILES]\r\nCOUNT=2\r\nPROFILE1=Home\r\n");
    HeldFile held(dir.File("Ipshifter.ini"));
    Start({"LAN"}, {});
    // Any box would fail the test through the unanswered-dialog guard.
    ASSERT_EQ(Profiles.size(), 2u);
    EXPECT_EQ(Profiles[0].NAME, "Home");
    EXPECT_TRUE(Form().Loaded());
}

TEST_F(MainWindowTest, NewStandsUnderTheFirstConnectionAndIsShownSelected) {
    Start({"LAN", "WLAN"}, {MakeProfile("Home", "WLAN", 0, {"192.0.2.10"}, "255.255.255.0",
                                        "192.0.2.1", 5, {"192.0.2.53"})});
    frmMain& f = Form();
    Choose("  Home");
    DialogRecorder dialogs;
    dialogs.inputAnswers = {"Home", "", "Office"};
    f.cmdNewProfile_Click(); // a second profile of an existing name
    ASSERT_EQ(dialogs.inputs.size(), 1u);
    EXPECT_EQ(dialogs.inputs[0], (std::pair<std::string, std::string>{"Profile name?", ""}));
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LAN", "  Home", "WLAN", "  Home"}));
    EXPECT_EQ(f.cmbProfiles.ListIndex(), 1);
    EXPECT_EQ(f.cmbINTERFACE.Text(), "LAN");
    EXPECT_EQ(f.txtMETRIC.Text(), "1");
    EXPECT_EQ(f.chkDHCP.Value(), 0);
    for (const tk::TextBox* t : {&f.txtIP, &f.txtSUBNET, &f.txtGATEWAY, &f.txtDNS})
        EXPECT_EQ(t->Text(), "");

    const std::string before = Ini();
    f.cmdNewProfile_Click(); // cancelled: nothing changes
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(Profiles.size(), 2u);

    f.cmdNewProfile_Click();
    const auto disk = LoadFromDisk(dir.File("Ipshifter.ini"));
    ASSERT_EQ(disk.size(), 3u);
    EXPECT_EQ(disk[2], MakeProfile("Office", "LAN", 0, {""}, "", "", 1, {""}));
    EXPECT_EQ(f.cmbProfiles.Text(), "  Office");
    EXPECT_EQ(ListTexts(),
              (std::vector<std::string>{"LAN", "  Home", "  Office", "WLAN", "  Home"}));
}

TEST_F(MainWindowTest, RenameAlwaysRunsSaveAndLeavesNoSelection) {
    Start({"LAN"}, {MakeProfile("Home", "LAN", 0, {"192.0.2.10"}, "255.255.255.0")});
    frmMain& f = Form();
    DialogRecorder dialogs;

    // Cancel keeps the name but still stores and checks the fields.
    f.txtIP.SetText("192.0.2.999");
    const std::string before = Ini();
    dialogs.inputAnswers = {""};
    f.cmdEditProfile_Click();
    EXPECT_EQ(dialogs.inputs.back().second, "Home");
    EXPECT_EQ(dialogs.Prompts(), std::vector<std::string>{"Invalid IP addresses specified"});
    EXPECT_EQ(dialogs.messages.back().icon, tk::MsgIcon::Critical);
    EXPECT_EQ(Ini(), before) << "a refused Save writes nothing";
    EXPECT_EQ(Profiles[0].IP, std::vector<std::string>{"192.0.2.999"}) << "kept in memory";
    EXPECT_EQ(f.cmbProfiles.ListIndex(), -1);
    EXPECT_EQ(f.txtIP.Text(), "192.0.2.999") << "the fields stay as they were";

    // A new name with valid fields is written.
    Choose("  Home");
    f.txtIP.SetText("192.0.2.10");
    f.txtGATEWAY.SetText("192.0.2.1");
    dialogs.inputAnswers = {"Home & Office"};
    f.cmdEditProfile_Click();
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LAN", "  Home & Office"}));
    EXPECT_EQ(f.cmbProfiles.ListIndex(), -1);
    const auto disk = LoadFromDisk(dir.File("Ipshifter.ini"));
    ASSERT_EQ(disk.size(), 1u);
    EXPECT_EQ(disk[0].NAME, "Home & Office");
    EXPECT_EQ(disk[0].GATEWAY, "192.0.2.1");
    EXPECT_EQ(f.mnuProfile[2].Caption, "  Home & Office");

    // With no entry chosen, Save stores nothing, writes the file and rebuilds the list.
    f.cmdSave_Click();
    EXPECT_EQ(LoadFromDisk(dir.File("Ipshifter.ini")), disk);
}

TEST_F(MainWindowTest, DeleteAsksFirstRefusesTheLastListedProfileAndRenumbers) {
    Start({"LAN", "WLAN"}, {MakeProfile("A", "LAN"), MakeProfile("B", "WLAN"),
                            MakeProfile("C", "LAN"), MakeProfile("Old", "Gone")});
    frmMain& f = Form();
    DialogRecorder dialogs;

    Choose("  C");
    dialogs.answers = {tk::MsgResult::No};
    const std::string before = Ini();
    f.cmdDelProfile_Click();
    EXPECT_EQ(dialogs.Prompts(),
              std::vector<std::string>{"Do you really want to remove the profile 'LAN::C' ?"});
    EXPECT_EQ(dialogs.messages.back().buttons, tk::MsgButtons::YesNo);
    EXPECT_EQ(dialogs.messages.back().icon, tk::MsgIcon::Question);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(Profiles.size(), 4u);

    // Deleting table index 0 selects list position 0: the first heading.
    Choose("  A");
    dialogs.answers = {tk::MsgResult::Yes};
    f.cmdDelProfile_Click();
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LAN", "  C", "WLAN", "  B"}));
    EXPECT_EQ(f.cmbProfiles.ListIndex(), 0);
    EXPECT_FALSE(IsWindowEnabled(f.cmdSetProfile.hwnd()));
    EXPECT_EQ(f.txtIP.Text(), "");
    const auto disk = LoadFromDisk(dir.File("Ipshifter.ini"));
    ASSERT_EQ(disk.size(), 3u);
    EXPECT_EQ(disk[0].NAME, "B");
    EXPECT_EQ(disk[1].NAME, "C");
    EXPECT_EQ(disk[2].NAME, "Old");
    EXPECT_EQ(Ini().find("[PROFILE4]"), std::string::npos);

    // The last position is taken when the deleted index lies past the list's end.
    Choose("  C");
    dialogs.answers = {tk::MsgResult::Yes};
    f.cmdDelProfile_Click();
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"WLAN", "  B"}));
    EXPECT_EQ(f.cmbProfiles.ListIndex(), 1);

    // One listed profile is left (the absent connection's does not count): refused.
    dialogs.messages.clear();
    Choose("  B");
    f.cmdDelProfile_Click();
    EXPECT_EQ(dialogs.Prompts(),
              std::vector<std::string>{"Enable to delete: at least one entry must be present"});
    EXPECT_EQ(dialogs.messages.back().icon, tk::MsgIcon::Exclamation);
    EXPECT_EQ(Profiles.size(), 2u);
}

struct SaveCase {
    const char* label;
    const char* ip;
    const char* subnet;
    const char* gateway;
    const char* metric;
    const char* dns;
    const char* message; // "" when the Save passes
};

TEST_F(MainWindowTest, SaveChecksTheFieldsInOrderAndStoresWhatPassed) {
    Start({"LAN"}, {MakeProfile("P", "LAN", 0, {"192.0.2.1"}, "255.255.255.0", "none", 1, {""})});
    frmMain& f = Form();
    const SaveCase cases[] = {
        {"all bad: IP first", "x", "x", "x", "1", "x", "Invalid IP addresses specified"},
        {"trailing line break", "192.0.2.1\r\n", "", "", "1", "", "Invalid IP addresses specified"},
        {"subnet", "192.0.2.1", "255.255.255.255", "x", "1", "x", "Invalid SUBNET specified"},
        {"gateway", "192.0.2.1", "", "None", "1", "x", "Invalid GATEWAY specified"},
        {"dns", "192.0.2.1", "", "none", "1", "192.0.2.53\r\nbad",
         "Invalid DNS addresses specified"},
        {"metric out of range", "192.0.2.1", "", "", "2147483648", "",
         "Invalid METRIC specified: it must lie between -2147483648 and 2147483647"},
        {"dhcp style, all empty", "", "", "", "", "", ""},
        {"full", "192.0.2.10\r\n192.0.2.11", "255.255.255.0", "192.0.2.1", "25",
         "192.0.2.53\r\n192.0.2.54", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Choose("  P");
        DialogRecorder dialogs;
        f.txtIP.SetText(c.ip);
        f.txtSUBNET.SetText(c.subnet);
        f.txtGATEWAY.SetText(c.gateway);
        f.txtMETRIC.SetText(c.metric);
        f.txtDNS.SetText(c.dns);
        const std::string before = Ini();
        f.cmdSave_Click();
        if (*c.message) {
            EXPECT_EQ(dialogs.Prompts(), std::vector<std::string>{c.message});
            EXPECT_EQ(dialogs.messages.back().icon, tk::MsgIcon::Critical);
            EXPECT_EQ(Ini(), before);
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
            EXPECT_EQ(f.cmbProfiles.Text(), "  P") << "the saved profile is chosen again";
        }
    }
    // The last case is on disk exactly.
    EXPECT_EQ(LoadFromDisk(dir.File("Ipshifter.ini"))[0],
              MakeProfile("P", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0", "192.0.2.1",
                          25, {"192.0.2.53", "192.0.2.54"}));

    // A refused gateway keeps the fields stored before it in memory.
    Choose("  P");
    DialogRecorder dialogs;
    f.txtIP.SetText("192.0.2.77");
    f.txtGATEWAY.SetText("None");
    f.cmdSave_Click();
    EXPECT_EQ(Profiles[0].IP, std::vector<std::string>{"192.0.2.77"});
    EXPECT_EQ(Profiles[0].GATEWAY, "None");
    EXPECT_EQ(Profiles[0].METRIC, 25) << "fields after the failing one are untouched";
}

TEST_F(MainWindowTest, SaveStoresTheMetricAsTheNumberAtTheStartOfTheText) {
    Start({"LAN"}, {MakeProfile("P", "LAN", 0, {"192.0.2.1"}, "255.255.255.0", "none")});
    frmMain& f = Form();
    const std::pair<const char*, int> metrics[] = {{"0", 1},     {"abc", 1}, {"12abc", 12},
                                                   {"2.5", 2},   {"3.5", 4}, {"-3", -3},
                                                   {" 4 0", 40}, {"", 1}};
    for (const auto& [text, stored] : metrics) {
        SCOPED_TRACE(text);
        Choose("  P");
        f.txtMETRIC.SetText(text);
        f.cmdSave_Click();
        EXPECT_EQ(Profiles[0].METRIC, stored);
        EXPECT_EQ(LoadFromDisk(dir.File("Ipshifter.ini"))[0].METRIC, stored);
        EXPECT_EQ(f.txtMETRIC.Text(), std::to_string(stored)) << "shown as stored";
    }
    // An empty gateway is stored and shown as "none".
    Choose("  P");
    f.txtGATEWAY.SetText("");
    f.cmdSave_Click();
    EXPECT_EQ(f.txtGATEWAY.Text(), "none");
}

TEST_F(MainWindowTest, SaveMovesAProfileToItsNewConnectionAndKeepsItChosen) {
    Start({"LAN", "WLAN"},
          {MakeProfile("P", "LAN"), MakeProfile("Q", "LAN"), MakeProfile("Spaced", "LAN")});
    frmMain& f = Form();
    // The profile file cannot keep outer blanks (the writer trims values); a name typed in can.
    Profiles[2].NAME = " Spaced ";
    RefreshProfileList("", "");
    Choose("  Q");
    f.cmbINTERFACE.SetListIndex(1);
    f.cmdSave_Click();
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"LAN", "  P", "   Spaced ", "WLAN", "  Q"}));
    EXPECT_EQ(f.cmbProfiles.Text(), "  Q");
    EXPECT_EQ(LoadFromDisk(dir.File("Ipshifter.ini"))[1].INTERFACE, "WLAN");

    // A name with outer blanks no longer equals the trimmed entry text: nothing chosen after.
    Choose("   Spaced ");
    f.cmdSave_Click();
    EXPECT_EQ(f.cmbProfiles.ListIndex(), -1);
}

} // namespace
