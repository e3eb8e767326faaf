#include "functions/cmdline.h"
#include "toolkit/app.h"

#include <gtest/gtest.h>

namespace {

struct ArgCase {
    const char* arguments;
    const char* expected;
};

TEST(CommandLine, ProfileValueRules) {
    const ArgCase cases[] = {
        {"", ""},
        {"/PROFILE=Home", "Home"},
        {"/profile=Home", "Home"},               // the name is found without regard to case
        {"/Profile=HoMe", "HoMe"},               // the value keeps its case
        {"/PROFILE=\"My Home\"", "My Home"},     // outer quotes removed
        {"/PROFILE=Home /X=1", "Home "},         // cut at "/", trailing space kept
        {"/PROFILE=\"Home\" /X=1", "\"Home\" "}, // quotes stay: the value ends with a space
        {"/X=1 /PROFILE=Work", "Work"},
        {"/X=1/PROFILE=a/b", "a"}, // a value with "/" is cut at it
        {"/PROFILE=", ""},
        {"/PROFILE=\"", "\""}, // a lone quote is returned as it is
        {"/PROFILE=\"\"", ""},
        {"/PROFILE=\"  LAN\"", "  LAN"},
        {"/PROFILEX=1", ""}, // another switch whose name only begins alike
        {"/X=1 /Y=2", ""},
        {"PROFILE=Home", "Home"}, // the text before the first "/" is searched too
        {"/PROFILE=a=b", "a=b"},  // the value starts after the first "="
        {"/PROFILE=First /PROFILE=Second", "First "}, // the first switch wins
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(GetCommandLineArgFrom(c.arguments, "PROFILE"), c.expected);
    }
}

TEST(CommandLine, ArgumentsFollowTheProgramPath) {
    const ArgCase cases[] = {
        {"\"C:\\Program Files\\Ipshifter\\Ipshifter.exe\" /PROFILE=x", "/PROFILE=x"},
        {"C:\\Ipshifter\\Ipshifter.exe /PROFILE=x y", "/PROFILE=x y"},
        {"Ipshifter.exe", ""},
        {"\"C:\\a b\\Ipshifter.exe\"", ""},
        {"\"C:\\a b\\Ipshifter.exe\"   /PROFILE=\"My Home\"", "/PROFILE=\"My Home\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(tk::ArgumentsFromCommandLine(c.arguments), c.expected);
    }
}

} // namespace
