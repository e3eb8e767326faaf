#include "ini/modGestioneINI.h"

#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <utility>

namespace {

using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

class Ini : public testing::Test {
protected:
    ScratchDir dir{"ini"};
    std::string file = dir.File("t.ini");
};

std::string AnsiSentinelForTest() {
    char out[128] = {};
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(1252, 0, kIniSentinel, -1, out, sizeof(out), nullptr, &lossy);
    EXPECT_FALSE(lossy);
    return std::string(out, n > 0 ? n - 1 : 0);
}

TEST(IniSentinel, HasFiftyTwoCharactersAllInTheWesternCodePage) {
    EXPECT_EQ(std::wcslen(kIniSentinel), 52u);
    const std::string ansi = AnsiSentinelForTest();
    EXPECT_EQ(ansi.size(), 52u);
    // A few characters where a wrong escape would show: the pound sign, the backslash, the end.
    EXPECT_EQ(ansi.substr(0, 4), "!12\xA3");
    EXPECT_NE(ansi.find("|\\Ll"), std::string::npos);
    EXPECT_EQ(ansi.back(), '@');
}

TEST_F(Ini, KeyExistsSeesEveryPresentKeyAndOnlyThose) {
    const std::string sentinel = AnsiSentinelForTest();
    WriteFileBytes(file, "[S]\r\nempty=\r\nplain=x\r\nsentinel=" + sentinel + "\r\nlonger=" +
                             sentinel + "tail\r\nshorter=" + sentinel.substr(0, 51) + "\r\n");
    struct Row {
        const char* section;
        const char* key;
        bool present;
    } rows[] = {
        {"S", "plain", true},    {"s", "PLAIN", true},      {"S", "empty", true},
        {"S", "shorter", true},  {"S", "sentinel", false},  {"S", "longer", false},
        {"S", "missing", false}, {"Other", "plain", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.section) + "/" + r.key);
        EXPECT_EQ(IniKeyExists(r.section, r.key, file), r.present);
    }
    EXPECT_FALSE(IniKeyExists("S", "plain", dir.File("absent.ini")));
}

TEST_F(Ini, ReadStringCutsLongValuesAndKeepsAnsiBytes) {
    WriteFileBytes(file, "[S]\r\nlong=" + std::string(1500, 'x') + "\r\naccent=caf\xE9 \xA3\r\n");
    EXPECT_EQ(IniReadString("S", "long", "", file), std::string(1023, 'x'));
    EXPECT_EQ(IniReadString("S", "accent", "", file), "caf\xE9 \xA3");
    EXPECT_EQ(IniReadString("S", "missing", "dflt", file), "dflt");
    EXPECT_EQ(IniReadString("S", "long", "dflt", dir.File("absent.ini")), "dflt");
}

TEST_F(Ini, ReadIntKeepsSixteenBitValuesAndFallsBackOtherwise) {
    struct Row {
        const char* stored;
        std::int16_t expected;
    } rows[] = {
        {"70000", 99},
        {"32767", 32767},
        {"32768", 99},
        {"-32768", -32768},
        {"-32769", 99},
        {"-5", -5},
        {"12abc", 12},
        {"abc", 0},
        // The platform's reader treats an empty value like a missing one.
        {"", 99},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string("stored: [") + r.stored + "]");
        WriteFileBytes(file, std::string("[S]\r\nv=") + r.stored + "\r\n");
        EXPECT_EQ(IniReadInt("S", "v", 99, file), r.expected);
    }
    EXPECT_EQ(IniReadInt("S", "missing", -7, file), -7);
}

TEST_F(Ini, WriteStringCreatesFileAndReportsFailure) {
    EXPECT_NE(IniWriteString("A", "k", "v", file), 0);
    EXPECT_NE(IniWriteString("A", "e", "", file), 0);
    EXPECT_EQ(ReadFileBytes(file), "[A]\r\nk=v\r\ne=\r\n");
    EXPECT_EQ(IniWriteString("A", "k", "v", dir.File("no\\such\\folder.ini")), 0);
}

TEST_F(Ini, GetStringWritesAMissingKeyOnceThenReadsIt) {
    EXPECT_EQ(IniGetString("S", "k", "first", file), "first");
    EXPECT_EQ(ReadFileBytes(file), "[S]\r\nk=first\r\n");
    // The stored value wins over a new default now.
    EXPECT_EQ(IniGetString("S", "k", "second", file), "first");
    EXPECT_EQ(ReadFileBytes(file), "[S]\r\nk=first\r\n");
}

TEST_F(Ini, GetStringReturnsAnEmptyValueAndWritesNothing) {
    const std::string before = "[S]\r\nk=\r\n";
    WriteFileBytes(file, before);
    EXPECT_EQ(IniGetString("S", "k", "dflt", file), "");
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(Ini, SentinelPrefixedValueCountsAsMissingAndIsOverwritten) {
    const std::string sentinel = AnsiSentinelForTest();
    WriteFileBytes(file, "[S]\r\nk=" + sentinel + "more\r\nn=" + sentinel + "\r\n");
    EXPECT_EQ(IniGetString("S", "k", "dflt", file), "dflt");
    EXPECT_EQ(IniGetInt("S", "n", 5, file, 0, 0), 5);
    EXPECT_EQ(ReadFileBytes(file), "[S]\r\nk=dflt\r\nn=5\r\n");
}

TEST_F(Ini, GetIntWritesMissingAndOutOfRangeValuesWithTheDefault) {
    struct Row {
        const char* name;
        const char* stored; // nullptr: key missing
        std::int16_t def, min, max;
        std::int16_t expected;
        const char* storedAfter;
    } rows[] = {
        {"missing negative default", nullptr, -7, 0, 0, -7, "-7"},
        {"missing in range", nullptr, 3, 1, 10, 3, "3"},
        {"no range, any value", "-300", 1, 0, 0, -300, "-300"},
        {"too big for 16 bits stays", "70000", 1, 0, 0, 1, "70000"},
        {"above range", "20", 4, 1, 10, 4, "4"},
        {"below range", "0", 4, 1, 10, 4, "4"},
        {"upper bound", "10", 4, 1, 10, 10, "10"},
        {"lower bound", "1", 4, 1, 10, 1, "1"},
        {"negative range", "-3", -1, -5, -2, -3, "-3"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        WriteFileBytes(file, r.stored ? std::string("[S]\r\nv=") + r.stored + "\r\n" : "[S]\r\n");
        EXPECT_EQ(IniGetInt("S", "v", r.def, file, r.min, r.max), r.expected);
        EXPECT_EQ(ReadFileBytes(file), std::string("[S]\r\nv=") + r.storedAfter + "\r\n");
    }
}

// The getters answer most keys with one platform call; whatever they answer must be what the
// presence test followed by the read or the write gives.
std::string GetStringTheLongWay(const std::string& key, const std::string& def,
                                const std::string& file) {
    if (IniKeyExists("S", key, file))
        return IniReadString("S", key, def, file);
    IniWriteString("S", key, def, file);
    return def;
}

std::int16_t GetIntTheLongWay(const std::string& key, std::int16_t def, const std::string& file,
                              std::int16_t min, std::int16_t max) {
    if (!IniKeyExists("S", key, file)) {
        IniWriteString("S", key, std::to_string(def), file);
        return def;
    }
    const std::int16_t v = IniReadInt("S", key, def, file);
    if ((min != 0 || max != 0) && (v < min || v > max)) {
        IniWriteString("S", key, std::to_string(def), file);
        return def;
    }
    return v;
}

TEST_F(Ini, GettersAnswerAsThePresenceTestAndTheReadWould) {
    const std::string sentinel = AnsiSentinelForTest();
    const std::optional<std::string> strings[] = {
        std::nullopt,
        "",
        "x",
        "  padded  ",
        "\"quoted\"",
        "caf\xE9",
        std::string(254, 's'),
        std::string(255, 's'),
        std::string(256, 's'),
        std::string(1500, 's'),
        sentinel + "tail",
        sentinel.substr(0, 51),
    };
    const std::optional<std::string> numbers[] = {
        std::nullopt, "0",          "00",          "-0",   "1",      "-1",
        "7",          " 7",         "12abc",       "abc",  "",       "70000",
        "-32769",     "2147483647", "-2147483648", "0x10", sentinel, sentinel.substr(0, 51),
    };
    const std::string other = dir.File("other.ini");
    // No stored value: the key is missing.
    auto prepare = [&](const std::optional<std::string>& stored) {
        const std::string text = stored ? "[S]\r\nv=" + *stored + "\r\n" : "[S]\r\n";
        WriteFileBytes(file, text);
        WriteFileBytes(other, text);
    };
    auto shown = [](const std::optional<std::string>& stored) {
        return stored ? "[" + stored->substr(0, 60) + "]" : std::string("missing");
    };
    for (const auto& stored : strings) {
        SCOPED_TRACE("string " + shown(stored));
        prepare(stored);
        EXPECT_EQ(IniGetString("S", "v", "dflt", file), GetStringTheLongWay("v", "dflt", other));
        EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(other));
    }
    for (const auto& stored : numbers) {
        for (auto [min, max] : {std::pair<std::int16_t, std::int16_t>{0, 0}, {1, 10}}) {
            SCOPED_TRACE("number " + shown(stored) + ", range " + std::to_string(min) + ".." +
                         std::to_string(max));
            prepare(stored);
            EXPECT_EQ(IniGetInt("S", "v", 4, file, min, max),
                      GetIntTheLongWay("v", 4, other, min, max));
            EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(other));
        }
    }
}

TEST_F(Ini, HandEditsBetweenCallsAreSeen) {
    EXPECT_EQ(IniGetString("S", "k", "a", file), "a");
    WriteFileBytes(file, "[S]\r\nk=edited\r\n");
    EXPECT_EQ(IniReadString("S", "k", "", file), "edited");
}

} // namespace
