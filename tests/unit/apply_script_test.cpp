#include "functions/apply_script.h"
#include "base/error_text.h"
#include "base/platform.h"
#include "functions/run.h"

#include "support.h"

#include <gtest/gtest.h>

#include <functional>

using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

namespace {

const std::string kRule = "echo -------------------------------------------------";

ProfileRecord Dhcp(const std::string& name, const std::string& connection,
                   std::vector<std::string> dns) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = connection;
    p.DHCP = 1;
    p.IP = {""};
    p.SUBNET = "";
    p.GATEWAY = "none";
    p.METRIC = 1;
    p.DNS = std::move(dns);
    return p;
}

ProfileRecord Static(const std::string& name, const std::string& connection,
                     std::vector<std::string> ip, const std::string& mask,
                     const std::string& gateway, std::int32_t metric,
                     std::vector<std::string> dns) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = connection;
    p.DHCP = 0;
    p.IP = std::move(ip);
    p.SUBNET = mask;
    p.GATEWAY = gateway;
    p.METRIC = metric;
    p.DNS = std::move(dns);
    return p;
}

std::vector<std::string> Head(const std::string& banner) {
    return {"@echo off", "echo Setting profile: " + banner, kRule, "echo.", "echo Wait..."};
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kTail = {"echo ...done !!!", "echo."};

struct ScriptCase {
    const char* what;
    ProfileRecord profile;
    std::string folder;
    bool hasProfileArgument;
    std::int32_t total;
    std::vector<std::string> lines;
};

TEST(ApplyScript, LinesOfEachKindOfProfile) {
    auto step = [](int s, int t, const std::string& folder = R"(C:\Ipshifter)") {
        return "echo " + std::to_string(s) + "/" + std::to_string(t) + ">\"" + folder +
               "\\_progress.tmp\"";
    };
    const std::vector<ScriptCase> cases = {
        {"DHCP, no DNS server", Dhcp("Home", "LAN", {""}), R"(C:\Ipshifter)", false, 2,
         Join(Join(Head("Home"), {step(1, 2), R"(netsh interface ip set address "LAN" source=dhcp)",
                                  step(2, 2), R"(netsh interface ip set dns "LAN" static none)"}),
              kTail)},
        {"static, two addresses, gateway, two DNS servers",
         Static("Office", "LAN", {"192.0.2.10", "192.0.2.11"}, "255.255.255.0", "192.0.2.1", 25,
                {"192.0.2.53", "198.51.100.53"}),
         R"(C:\Ipshifter)", false, 5,
         Join(
             Join(
                 Head("Office"),
                 {step(1, 5),
                  R"(netsh interface ip set address "LAN" source=static addr=192.0.2.10 mask=255.255.255.0 gateway=192.0.2.1 gwmetric=25)",
                  step(2, 5), R"(netsh interface ip add address "LAN" 192.0.2.11 255.255.255.0)",
                  step(3, 5), R"(netsh interface ip set dns "LAN" static none)", step(4, 5),
                  R"(netsh interface ip add dns "LAN" 192.0.2.53)", step(5, 5),
                  R"(netsh interface ip add dns "LAN" 198.51.100.53)"}),
             kTail)},
        {"gateway none: no metric", Static("A", "LAN", {"10.0.0.2"}, "255.0.0.0", "none", 7, {""}),
         R"(C:\Ipshifter)", false, 2,
         Join(
             Join(
                 Head("A"),
                 {step(1, 2),
                  R"(netsh interface ip set address "LAN" source=static addr=10.0.0.2 mask=255.0.0.0 gateway=none)",
                  step(2, 2), R"(netsh interface ip set dns "LAN" static none)"}),
             kTail)},
        {"gateway None counts as a gateway",
         Static("A", "LAN", {"10.0.0.2"}, "255.0.0.0", "None", 7, {""}), R"(C:\Ipshifter)", false,
         2,
         Join(
             Join(
                 Head("A"),
                 {step(1, 2),
                  R"(netsh interface ip set address "LAN" source=static addr=10.0.0.2 mask=255.0.0.0 gateway=None gwmetric=7)",
                  step(2, 2), R"(netsh interface ip set dns "LAN" static none)"}),
             kTail)},
        {"empty gateway keeps the metric",
         Static("A", "LAN", {"10.0.0.2"}, "255.0.0.0", "", 1, {""}), R"(C:\Ipshifter)", false, 2,
         Join(
             Join(
                 Head("A"),
                 {step(1, 2),
                  R"(netsh interface ip set address "LAN" source=static addr=10.0.0.2 mask=255.0.0.0 gateway= gwmetric=1)",
                  step(2, 2), R"(netsh interface ip set dns "LAN" static none)"}),
             kTail)},
        {"negative metric keeps its sign; /PROFILE= leaves out the closing lines",
         Static("A", "LAN", {"10.0.0.2"}, "255.0.0.0", "10.0.0.1", -5, {"10.0.0.53"}),
         R"(C:\Ipshifter)", true, 3,
         Join(
             Head("A"),
             {step(1, 3),
              R"(netsh interface ip set address "LAN" source=static addr=10.0.0.2 mask=255.0.0.0 gateway=10.0.0.1 gwmetric=-5)",
              step(2, 3), R"(netsh interface ip set dns "LAN" static none)", step(3, 3),
              R"(netsh interface ip add dns "LAN" 10.0.0.53)"})},
        {"an empty element in the middle of IP ends the used part",
         Static("A", "LAN", {"192.0.2.10", "", "192.0.2.12"}, "255.255.255.0", "none", 1,
                {"192.0.2.53", "", "192.0.2.54"}),
         R"(C:\Ipshifter)", true, 3,
         Join(
             Head("A"),
             {step(1, 3),
              R"(netsh interface ip set address "LAN" source=static addr=192.0.2.10 mask=255.255.255.0 gateway=none)",
              step(2, 3), R"(netsh interface ip set dns "LAN" static none)", step(3, 3),
              R"(netsh interface ip add dns "LAN" 192.0.2.53)"})},
        {"static with IP only empty: no address line",
         Static("A", "LAN", {""}, "255.0.0.0", "10.0.0.1", 1, {"10.0.0.53", "10.0.0.54"}),
         R"(C:\Ipshifter)", false, 3,
         Join(Join(Head("A"), {step(1, 3), R"(netsh interface ip set dns "LAN" static none)",
                               step(2, 3), R"(netsh interface ip add dns "LAN" 10.0.0.53)",
                               step(3, 3), R"(netsh interface ip add dns "LAN" 10.0.0.54)"}),
              kTail)},
        {"lists without any element", Static("A", "LAN", {}, "255.0.0.0", "none", 1, {}),
         R"(C:\Ipshifter)", true, 1,
         Join(Head("A"), {step(1, 1), R"(netsh interface ip set dns "LAN" static none)"})},
        {"DHCP ignores the static fields",
         [] {
             auto d = Dhcp("A", "LAN", {"10.0.0.53"});
             d.IP = {"10.0.0.9"};
             d.SUBNET = "255.0.0.0";
             d.GATEWAY = "10.0.0.1";
             return d;
         }(),
         R"(C:\Ipshifter)", true, 3,
         Join(Head("A"), {step(1, 3), R"(netsh interface ip set address "LAN" source=dhcp)",
                          step(2, 3), R"(netsh interface ip set dns "LAN" static none)", step(3, 3),
                          R"(netsh interface ip add dns "LAN" 10.0.0.53)"})},
        {"connection and folder with spaces, folder with a percent sign",
         Dhcp("Laptop", "Local Area Connection 2", {""}), R"(C:\Program Files\100% Tools)", false,
         2,
         Join(Join(Head("Laptop"),
                   {step(1, 2, R"(C:\Program Files\100%% Tools)"),
                    R"(netsh interface ip set address "Local Area Connection 2" source=dhcp)",
                    step(2, 2, R"(C:\Program Files\100%% Tools)"),
                    R"(netsh interface ip set dns "Local Area Connection 2" static none)"}),
              kTail)},
        {"special characters: banner escaped, connection keeps them between quotes",
         Dhcp(R"(Home & Office | <x> ^ 100% "q" (y))", "Net & Co 100%|^<>", {""}),
         R"(C:\Ipshifter)", false, 2,
         Join(
             Join(Head(R"(Home ^& Office ^| ^<x^> ^^ 100%% ^"q^" (y))"),
                  {step(1, 2), R"(netsh interface ip set address "Net & Co 100%%|^<>" source=dhcp)",
                   step(2, 2), R"(netsh interface ip set dns "Net & Co 100%%|^<>" static none)"}),
             kTail)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ApplyStepTotal(c.profile), c.total);
        EXPECT_EQ(BuildApplyScript(c.profile, c.folder, c.hasProfileArgument), c.lines);
    }
}

TEST(ApplyScript, UsedPartStopsAtTheFirstEmptyElement) {
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{}, {}},
        {{""}, {}},
        {{"", "1.1.1.1"}, {}},
        {{"a"}, {"a"}},
        {{"a", "b", ""}, {"a", "b"}},
        {{"a", "", "c", "d"}, {"a"}},
        {{" ", "b"}, {" ", "b"}},
    };
    for (const auto& [list, used] : cases)
        EXPECT_EQ(UsedPart(list), used);
}

TEST(ApplyScript, ProgressLineQuotesTheTargetAndKeepsTheTotalAgainstTheRedirect) {
    EXPECT_EQ(BuildProgressLine(3, 5, R"(C:\Program Files\Ipshifter)"),
              R"(echo 3/5>"C:\Program Files\Ipshifter\_progress.tmp")");
    EXPECT_EQ(BuildProgressLine(12, 120, R"(D:\a%b%c)"),
              R"(echo 12/120>"D:\a%%b%%c\_progress.tmp")");
}

// Valid base profile; each row breaks or stretches one field.
struct CheckCase {
    const char* what;
    std::function<void(ProfileRecord&)> change;
    const char* field; // nullptr: accepted
};

TEST(ApplyScript, CheckRefusesWhatCouldEscapeItsPlaceInTheScript) {
    const std::string longText(kMaxScriptFieldLength + 1, '1');
    const CheckCase cases[] = {
        {"plain profile", [](ProfileRecord&) {}, nullptr},
        {"name with every escaped character",
         [](ProfileRecord& p) { p.NAME = R"(x & echo pwned>c.txt | a < b ^ %PATH% "q" !x!)"; },
         nullptr},
        {"name of the longest length", [&](ProfileRecord& p) { p.NAME = longText.substr(1); },
         nullptr},
        {"connection with special characters and spaces",
         [](ProfileRecord& p) { p.INTERFACE = "LAN & x | y < z > ^ %PATH%"; }, nullptr},
        {"IPv6 addresses and none",
         [](ProfileRecord& p) {
             p.IP = {"fe80::1", "2001:db8::2"};
         },
         nullptr},
        {"empty gateway", [](ProfileRecord& p) { p.GATEWAY = ""; }, nullptr},
        {"element after an empty one is never written",
         [](ProfileRecord& p) {
             p.IP = {"10.0.0.2", "", "1&calc"};
         },
         nullptr},
        {"DNS element after an empty one is never written",
         [](ProfileRecord& p) {
             p.DNS = {"", "1&calc"};
         },
         nullptr},
        {"DHCP profile: static fields are not written",
         [](ProfileRecord& p) {
             p.DHCP = 1;
             p.IP = {"1&calc"};
             p.SUBNET = "|x";
             p.GATEWAY = ">x";
         },
         nullptr},
        {"static without addresses: mask and gateway are not written",
         [](ProfileRecord& p) {
             p.IP = {""};
             p.SUBNET = "|x";
             p.GATEWAY = ">x";
         },
         nullptr},

        {"line break in the name", [](ProfileRecord& p) { p.NAME = "x\r\ncalc"; }, "profile name"},
        {"lone LF in the name", [](ProfileRecord& p) { p.NAME = "x\ncalc"; }, "profile name"},
        {"tab in the name", [](ProfileRecord& p) { p.NAME = "a\tb"; }, "profile name"},
        {"Ctrl-Z in the name", [](ProfileRecord& p) { p.NAME = "a\x1A"; }, "profile name"},
        {"DEL in the name", [](ProfileRecord& p) { p.NAME = "a\x7F"; }, "profile name"},
        {"name too long", [&](ProfileRecord& p) { p.NAME = longText; }, "profile name"},
        {"quote in the connection", [](ProfileRecord& p) { p.INTERFACE = R"(LAN" & calc & ")"; },
         "connection name"},
        {"line break in the connection", [](ProfileRecord& p) { p.INTERFACE = "LAN\ncalc"; },
         "connection name"},
        {"connection ending in a backslash", [](ProfileRecord& p) { p.INTERFACE = "LAN\\"; },
         "connection name"},
        {"connection too long", [&](ProfileRecord& p) { p.INTERFACE = longText; },
         "connection name"},
        {"ampersand in an address", [](ProfileRecord& p) { p.IP = {"10.0.0.2&calc"}; },
         "IP address"},
        // A blank only separates arguments; Save lets "10.0.0.3 " and "10.0.0.3 x" through.
        {"blanks in addresses, mask, gateway and DNS servers",
         [](ProfileRecord& p) {
             p.IP = {"10.0.0.2 ", "10.0.0.3 x"};
             p.SUBNET = " 255.0.0.0";
             p.GATEWAY = "10.0.0.1 ";
             p.DNS = {"10.0.0.53 ", "10.0.0.54 "};
         },
         nullptr},
        {"tab in an address", [](ProfileRecord& p) { p.IP = {"10.0.0.2\t"}; }, "IP address"},
        {"line break in the mask", [](ProfileRecord& p) { p.SUBNET = "255.0.0.0\r\n"; },
         "subnet mask"},
        // Code page 437 has no euro sign: netsh would get "B\x81ro ?".
        {"connection with a character the console lacks",
         [](ProfileRecord& p) { p.INTERFACE = "B\xFCro \x80"; },
         "connection name \"B\xFCro \x80\""},
        {"connection with characters the console has",
         [](ProfileRecord& p) { p.INTERFACE = "B\xFCro \xE9t\xE9"; }, nullptr},
        {"variable as address", [](ProfileRecord& p) { p.IP = {"%PATH%"}; }, "IP address"},
        {"accented letter in an address", [](ProfileRecord& p) { p.IP = {"10.0.0.\xE9"}; },
         "IP address"},
        {"address too long", [&](ProfileRecord& p) { p.IP = {longText}; }, "IP address"},
        {"pipe in the mask", [](ProfileRecord& p) { p.SUBNET = "255.0.0.0|calc"; }, "subnet mask"},
        {"redirect in the gateway", [](ProfileRecord& p) { p.GATEWAY = "10.0.0.1>x"; }, "gateway"},
        {"quote in the gateway", [](ProfileRecord& p) { p.GATEWAY = "\"10.0.0.1\""; }, "gateway"},
        {"caret in the second DNS server",
         [](ProfileRecord& p) {
             p.DNS = {"10.0.0.53", "10.0.0.54^"};
         },
         "DNS server"},
        {"line break in a DNS server of a DHCP profile",
         [](ProfileRecord& p) {
             p.DHCP = 1;
             p.DNS = {"10.0.0.53\r\ncalc"};
         },
         "DNS server"},
        {"less-than in a DNS server", [](ProfileRecord& p) { p.DNS = {"<x"}; }, "DNS server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProfileRecord p =
            Static("Office", "LAN", {"10.0.0.2"}, "255.0.0.0", "10.0.0.1", 1, {"10.0.0.53"});
        c.change(p);
        auto message = CheckProfileForScript(p);
        if (c.field == nullptr) {
            EXPECT_FALSE(message.has_value()) << *message;
            continue;
        }
        ASSERT_TRUE(message.has_value());
        // The field is named where a sentence starts with it.
        EXPECT_NE(message->find(std::string("The ") + c.field), std::string::npos) << *message;
    }
}

TEST(ApplyScript, AcceptedProfilesGiveNoLineTheInterpreterWouldSplit) {
    // The longest values the check lets through, with every character doubled by escaping.
    ProfileRecord p =
        Static(std::string(kMaxScriptFieldLength, '%'), std::string(kMaxScriptFieldLength, '%'),
               {std::string(kMaxScriptFieldLength, '1')}, std::string(kMaxScriptFieldLength, '2'),
               std::string(kMaxScriptFieldLength, '3'), -2147483647 - 1,
               {std::string(kMaxScriptFieldLength, '4')});
    ASSERT_FALSE(CheckProfileForScript(p).has_value());
    ScratchDir dir;
    std::string error;
    EXPECT_TRUE(WriteScriptFile(dir.File("s.cmd"),
                                BuildApplyScript(p, std::string(MAX_PATH, 'x'), false), error))
        << error;
}

TEST(ApplyScriptFile, BytesOnDiskAreOemWithCrLfAfterEveryLine) {
    ScratchDir dir;
    const std::string path = dir.File("_ipshifter.cmd");
    // An older, longer script is replaced, not overwritten in part.
    WriteFileBytes(path, std::string(500, 'z'));
    // 0xE9 e-acute is 0x82 in the OEM code page; the curly quotes and angle quotes have no
    // exact OEM form and must not turn into " < > by best fit.
    const std::vector<std::string> lines = {"@echo off", "echo Connexion au r\xE9seau local",
                                            "echo \x8B\x9B\x93\x94\x84", ""};
    std::string error = "untouched";
    ASSERT_TRUE(WriteScriptFile(path, lines, error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(ReadFileBytes(path),
              "@echo off\r\necho Connexion au r\x82seau local\r\necho ?????\r\n\r\n");

    ASSERT_TRUE(WriteScriptFile(path, {}, error));
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(ApplyScript, ProgressFolderIsOneTheConsoleCanWrite) {
    ScratchDir dir;
    const std::string euro = dir.File("B\xFCro \x80");
    ASSERT_TRUE(CreateDirectoryA(euro.c_str(), nullptr));
    const std::string accented = dir.File("B\xFCro");
    ASSERT_TRUE(CreateDirectoryA(accented.c_str(), nullptr));
    EXPECT_EQ(ProgressFolder(accented), accented);
    const std::string shortForm = ProgressFolder(euro);
    EXPECT_TRUE(FitsConsoleCodePage(shortForm)) << shortForm;
    EXPECT_NE(shortForm, ".");
    EXPECT_NE(GetFileAttributesA((shortForm + "\\.").c_str()), INVALID_FILE_ATTRIBUTES);
    // Without a short form the script's own folder, its current directory, is named.
    EXPECT_EQ(ProgressFolder(dir.File("gone \x80")), ".");
    RemoveDirectoryA(euro.c_str());
    RemoveDirectoryA(accented.c_str());
}

TEST(ApplyScript, BlanksInAddressFieldsAreWrittenAsStored) {
    const ProfileRecord p = Static("Office", "LAN", {"10.0.0.2 ", "10.0.0.3 "}, "255.0.0.0 ",
                                   "10.0.0.1 ", 5, {"10.0.0.53 "});
    ASSERT_FALSE(CheckProfileForScript(p).has_value());
    const auto lines = BuildApplyScript(p, "C:\\P", true);
    EXPECT_EQ(lines[6], "netsh interface ip set address \"LAN\" source=static addr=10.0.0.2  "
                        "mask=255.0.0.0  gateway=10.0.0.1  gwmetric=5");
    EXPECT_EQ(lines[8], "netsh interface ip add address \"LAN\" 10.0.0.3  255.0.0.0 ");
    EXPECT_EQ(lines.back(), "netsh interface ip add dns \"LAN\" 10.0.0.53 ");
}

TEST(ApplyScriptFile, AScriptWhoseWritingFailsMidwayIsRemoved) {
    ScratchDir dir;
    const std::string path = dir.File("_ipshifter.cmd");
    using WriteSlot = decltype(platform::Calls::WriteFile);
    {
        // Half the bytes reach the disk, then the disk is full.
        platform::Override<WriteSlot> full(
            &platform::Calls::WriteFile,
            [](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
                ::WriteFile(file, data, size / 2, written, nullptr);
                SetLastError(ERROR_DISK_FULL);
                return FALSE;
            });
        std::string error;
        EXPECT_FALSE(
            WriteScriptFile(path, {"@echo off", "netsh interface ip set dns \"LAN\""}, error));
        EXPECT_EQ(error, base::SystemErrorText(ERROR_DISK_FULL));
        EXPECT_FALSE(testsupport::FileExists(path));
    }
    {
        // A short write without an error is a failure too.
        platform::Override<WriteSlot> shortWrite(
            &platform::Calls::WriteFile,
            [](HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
                return ::WriteFile(file, data, size - 1, written, nullptr);
            });
        std::string error;
        EXPECT_FALSE(WriteScriptFile(path, {"@echo off"}, error));
        EXPECT_FALSE(testsupport::FileExists(path));
    }
}

TEST(ApplyScriptFile, FailureGivesThePlatformsDescription) {
    ScratchDir dir;
    struct Row {
        std::string path;
        DWORD code;
    };
    const Row rows[] = {
        {dir.File("missing\\_ipshifter.cmd"), ERROR_PATH_NOT_FOUND},
        {dir.path(), ERROR_ACCESS_DENIED}, // a folder is no file
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        std::string error;
        EXPECT_FALSE(WriteScriptFile(r.path, {"@echo off"}, error));
        char expected[512] = {};
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, r.code, 0, expected, sizeof(expected), nullptr);
        std::string text(expected, n);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(error, text);
    }
}

TEST(ApplyScriptFile, LinesTheInterpreterWouldSplitAreRefusedBeforeWriting) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {"@echo off", "echo a\r\ncalc"},
        {"echo a\ncalc"},
        {"echo a\rcalc"},
        {std::string("echo a\0calc", 11)},
        {"echo " + std::string(kMaxScriptLineLength - 4, 'a')},
    };
    for (const auto& lines : bad) {
        const std::string path = dir.File("s.cmd");
        std::string error;
        EXPECT_FALSE(WriteScriptFile(path, lines, error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(testsupport::FileExists(path));
    }
    std::string error;
    EXPECT_TRUE(WriteScriptFile(dir.File("ok.cmd"),
                                {"echo " + std::string(kMaxScriptLineLength - 5, 'a')}, error));
}

} // namespace
