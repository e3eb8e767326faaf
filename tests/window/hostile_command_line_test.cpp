// Hostile command lines: odd quoting, slashes and lengths, and generated ones.
#include "hostile_input.h"
#include "hostile_data.h"

#include <gtest/gtest.h>

#include "functions/cmdline.h"
#include "toolkit/app.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace hostile;

const std::vector<ProfileRecord>& CommandLineTable() {
    static const std::vector<ProfileRecord> table = {
        MakeProfile("Home", "LAN"), MakeProfile("Office", "LAN"), MakeProfile("Cafe", "WLAN")};
    return table;
}

class HostileCommandLine : public HostileInput {
protected:
    void StartWithArguments(const std::string& arguments) {
        const std::string file = TableFile();
        StartWith(file, TwoConnections(), arguments);
    }
    // The table as the program saves it, made once.
    std::string TableFile() {
        if (tableFile_.empty())
            tableFile_ = SavedFile(CommandLineTable());
        return tableFile_;
    }
    // The list as start-up builds it for the table, read from a start without arguments.
    void RecordEntries() {
        StartWithArguments("");
        for (int i = 0; i < Form().cmbProfiles.ListCount(); ++i)
            entries_.emplace_back(Form().cmbProfiles.List(i), Form().cmbProfiles.ItemData(i));
        EndCase();
        ASSERT_EQ(entries_.size(), 5u);
    }
    // What start-up must have done for the value the command line names: end after an apply
    // when it names a list entry (a profile entry runs the script), go on to the tray otherwise.
    enum class Outcome { Resident, EndedOnHeading, Applied };
    Outcome ExpectOutcome(const std::string& value) {
        auto match = std::find_if(entries_.begin(), entries_.end(),
                                  [&value](const auto& entry) { return entry.first == value; });
        EXPECT_LE(elapsedMs, kCaseBoundMs);
        const bool profileEntry = match != entries_.end() && match->second >= 0;
        EXPECT_EQ(ReadFileBytes(dir.File("netsh.log")).empty(), !profileEntry);
        if (match == entries_.end()) {
            ExpectResident();
            return Outcome::Resident;
        }
        EXPECT_EQ(EndProgramCalls(), 1);
        EXPECT_FALSE(Form().Loaded());
        EXPECT_TRUE(trayMessages.empty());
        EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
        return profileEntry ? Outcome::Applied : Outcome::EndedOnHeading;
    }

private:
    std::string tableFile_;
    std::vector<std::pair<std::string, int>> entries_;
};

TEST_F(HostileCommandLine, OddQuotingSlashesAndLengthEndOrStayAsTheValueSays) {
    UseNetshStandIn();
    RecordEntries();
    struct Case {
        std::string arguments;
        std::string value;
    };
    const Case cases[] = {
        {"/PROFILE=LAN", "LAN"},
        {"/PROFILE=\"LAN\"", "LAN"},
        {"/profile=WLAN", "WLAN"},
        {"/PROFILE=lan", "lan"},
        {"/PROFILE=LAN /X=1", "LAN "},
        {"/X=1 /PROFILE=WLAN", "WLAN"},
        {"PROFILE=LAN", "LAN"},
        {std::string(50000, '/') + "PROFILE=LAN", "LAN"},
        {"/PROFILE=WLAN/PROFILE=LAN", "WLAN"},
        {"/PROFILE=\"\"LAN\"\"", "\"LAN\""},
        {"/PROFILE=\"", "\""},
        {"/PROFILE=\"\"", ""},
        {"/PROFILE=", ""},
        {"/PROFILE==LAN", "=LAN"},
        {"/PROFILE=\"  Home\"", "  Home"},
        {"/PROFILE=\"  Cafe\" ", "\"  Cafe\" "},
        {"/PROFILE=" + Long('x'), Long('x')},
        {[] {
             std::string many;
             for (int i = 0; i < 5000; ++i)
                 many += "/PROFILE=";
             return many;
         }(),
         ""},
        {"\"/PROFILE=LAN\"", "LAN\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.substr(0, 60));
        EXPECT_EQ(GetCommandLineArgFrom(c.arguments, "PROFILE"), c.value);
        StartWithArguments(c.arguments);
        ExpectOutcome(c.value);
        EndCase();
    }
}

TEST_F(HostileCommandLine, GeneratedCommandLinesEndOrStayAsTheirValueSays) {
    UseNetshStandIn();
    RecordEntries();
    Dice dice(kSeed + 1);
    const std::vector<std::string> names = {"PROFILE",  "PROFILE", "profile", "Profile",
                                            "PROFILEX", "PROF",    "X",       ""};
    const std::vector<std::string> values = {
        "LAN",    "WLAN", "LAN",    "WLAN", "\"LAN\"", "\"WLAN\"", "\"  Home\"", "\"  Cafe\"",
        "  Home", "lan",  "\"WLAN", "\"\"", "",        "LAN\"\"",  "\xE9"};
    const std::vector<std::string> separators = {"", "", " ", "\t", "  ", "\""};
    std::map<Outcome, int> outcomes;
    for (int i = 0; i < 100; ++i) {
        // Switches, mostly well-formed, with stray slashes, quotes and bytes between them.
        std::string arguments;
        const std::uint32_t switches = i % 10 == 9 ? 3000 : 1 + dice.Below(3);
        for (std::uint32_t k = 0; k < switches; ++k) {
            arguments += std::string(dice.OneIn(6) ? dice.Below(4) : 1, '/');
            arguments += dice.Pick(names);
            arguments += dice.OneIn(8) ? "" : "=";
            arguments += dice.OneIn(6) ? dice.Text(1 + dice.Below(6)) : dice.Pick(values);
            if (k + 1 < switches || dice.OneIn(3))
                arguments += dice.Pick(separators);
        }
        SCOPED_TRACE("generated command line " + std::to_string(i) + ": " +
                     arguments.substr(0, 80));
        StartWithArguments(arguments);
        ++outcomes[ExpectOutcome(GetCommandLineArgFrom(arguments, "PROFILE"))];
        EndCase();
        if (HasFatalFailure())
            return;
    }
    // Each way start-up can go is taken several times.
    EXPECT_GE(outcomes[Outcome::Resident], 5);
    EXPECT_GE(outcomes[Outcome::EndedOnHeading], 5);
    EXPECT_GE(outcomes[Outcome::Applied], 3);
}

} // namespace
