// The profile list's entries and the text of the address boxes, as pure functions.
#include "functions/address_text.h"
#include "functions/profile_list.h"

#include <gtest/gtest.h>

namespace {

ProfileRecord On(const std::string& name, const std::string& connection) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = connection;
    return p;
}

TEST(GroupProfiles, HeadingsInDiscoveryOrderProfilesInTableOrderAbsentConnectionsLeftOut) {
    const std::vector<ProfileRecord> table = {On("A", "X"), On("B", "Y"), On("C", "X"),
                                              On("Gone", "Z"), On("D", "x")};
    EXPECT_EQ(
        GroupProfiles(table, {"X", "Y", "W"}),
        (std::vector<ProfileListEntry>{{"X", -1}, {"  A", 0}, {"  C", 2}, {"Y", -1}, {"  B", 1}}));
    // A connection found twice lists its profiles twice, under its one heading.
    EXPECT_EQ(GroupProfiles({On("A", "X")}, {"X", "X"}),
              (std::vector<ProfileListEntry>{{"X", -1}, {"  A", 0}, {"  A", 0}}));
    EXPECT_TRUE(GroupProfiles({}, {"X"}).empty());
    // The sentinel of the first heading is no name a connection can have in its place.
    EXPECT_EQ(GroupProfiles({On("A", "___XXXX_YYYY_XXXXXX____")}, {"___XXXX_YYYY_XXXXXX____"}),
              (std::vector<ProfileListEntry>{{"___XXXX_YYYY_XXXXXX____", -1}, {"  A", 0}}));
}

TEST(ProfileArgument, ExactEntryFirstThenTheFirstListedProfileOfThatName) {
    const std::vector<ProfileRecord> table = {On("Home", "Y"), On("LAN", "X"), On("Home", "X"),
                                              On("Away", "Gone"), On("  Home", "Y")};
    const auto entries = GroupProfiles(table, {"X", "Y"});
    // X, "  LAN", "  Home"(2), Y, "  Home"(0), "    Home"(4)
    const struct {
        const char* value;
        int entry;
    } cases[] = {
        {"  Home", 2},   // the entry's text, the first in list order
        {"Home", 2},     // the bare name, the first listed (not the first in the table)
        {"LAN", 1},      // a profile's name, as no entry reads so
        {"X", 0},        // a heading's text: the heading
        {"Away", -1},    // a profile no connection of this machine shows
        {"home", -1},    // names keep their letter case
        {"    Home", 5}, // a name that starts with blanks, by its entry's text
        {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryForProfileArgument(entries, table, c.value), c.entry) << c.value;
}

TEST(AddressText, BoxTextAndListTurnIntoEachOther) {
    struct Case {
        std::string text;
        std::vector<std::string> list;
    };
    const Case cases[] = {
        {"", {""}},
        {"192.0.2.1", {"192.0.2.1"}},
        {"192.0.2.1\r\n192.0.2.2", {"192.0.2.1", "192.0.2.2"}},
        {"192.0.2.1\r\n", {"192.0.2.1", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb", {"a\nb"}}, // only CR LF separates
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(AddressesFromText(c.text), c.list);
        EXPECT_EQ(TextFromAddresses(c.list), c.text);
    }
    EXPECT_EQ(NoAddresses(), std::vector<std::string>{""});
}

} // namespace
