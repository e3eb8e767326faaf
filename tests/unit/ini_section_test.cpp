#include "ini/ini_section.h"

#include "ini/modGestioneINI.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using testsupport::CrLfText;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

// A section read's buffer up to and with its first two NULs in a row (or to its end), each NUL
// shown as "|".
std::string Shown(const std::vector<char>& buffer, DWORD size) {
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        out += buffer[i] ? buffer[i] : '|';
        if (i > 0 && !buffer[i] && !buffer[i - 1])
            break;
    }
    return out;
}

class IniSectionRead : public testing::Test {
protected:
    ScratchDir dir{"inisec"};
    std::string file = dir.File("t.ini");

    // The platform's section read with a buffer of `size`: the count it returned and the list.
    std::pair<DWORD, std::string> Section(const std::string& section, DWORD size) {
        std::vector<char> buffer(size + 2, 'Z');
        const DWORD got =
            GetPrivateProfileSectionA(section.c_str(), buffer.data(), size, file.c_str());
        return {got, Shown(buffer, size)};
    }
    std::string Key(const std::string& section, const std::string& key) {
        char buffer[2048] = {};
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer, sizeof(buffer),
                                 file.c_str());
        return buffer;
    }
};

// What the section read gives, and how it differs from what the per-key read gives for the
// same lines. The section reader relies on the first three rules; the rest are why it leaves
// such lines to the per-key read.
TEST_F(IniSectionRead, ComesBackAsKeyValueStringsNulSeparatedAndDoubleNulEnded) {
    WriteFileBytes(file, CrLfText({"; top",
                                   "[S]",
                                   "  name  =  value  ",
                                   "Plain=x",
                                   "empty=",
                                   "quoted=\"q\"",
                                   "single='q'",
                                   "no equals",
                                   "  padded alone  ",
                                   ";comment=1",
                                   "  ;indented=2",
                                   "#hash=3",
                                   "",
                                   "   ",
                                   "plain=second",
                                   "tab\t=\tv\t",
                                   "inner = a = b ",
                                   "=nameless",
                                   "[Other]",
                                   "x=1",
                                   "[s]",
                                   "late=1"}));
    const auto [got, text] = Section("S", 4096);
    EXPECT_EQ(text, "name=value|Plain=x|empty=|quoted=\"q\"|single='q'|no equals|padded alone|"
                    "#hash=3|plain=second|tab=v|inner=a = b|=nameless||");
    // The count takes in the NUL of each line, not the one that ends the list.
    EXPECT_EQ(got, text.size() - 1);
    EXPECT_EQ(Section("s", 4096).second, text) << "section names match in any case";
    EXPECT_EQ(Section("missing", 4096), std::make_pair(DWORD{0}, std::string("||")));
    WriteFileBytes(file, "[S]\r\n[T]\r\nx=1\r\n");
    EXPECT_EQ(Section("S", 4096), std::make_pair(DWORD{0}, std::string("||")));
    EXPECT_EQ(GetPrivateProfileSectionA("S", std::vector<char>(16).data(), 16,
                                        dir.File("absent.ini").c_str()),
              0u);

    // The per-key read of the same lines.
    WriteFileBytes(file, CrLfText({"[S]", "  name  =  value  ", "Plain=x", "quoted=\"q\"",
                                   "single='q'", "lone=\"q", "pair=\"\"", "no equals", ";comment=1",
                                   "plain=second", "[s]", "late=1"}));
    struct Row {
        const char* key;
        const char* value;
    } rows[] = {
        {"name", "value"},
        {"PLAIN", "x"},
        {"quoted", "q"},
        {"single", "q"},
        {"lone", "\"q"},
        {"pair", ""},
        {"no equals", "<missing>"},
        {";comment", "1"},
        {"late", "<missing>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Key("S", r.key), r.value) << r.key;
}

TEST_F(IniSectionRead, TooSmallABufferComesBackAsItsSizeLessTwoWithTheLastLineCut) {
    WriteFileBytes(file, "[S]\r\nab=12\r\ncd=34\r\n");
    // The whole list, "ab=12|cd=34||", takes 13 characters.
    struct Row {
        DWORD size;
        DWORD got;
        const char* text;
    } rows[] = {
        {3, 1, "a||"},
        {5, 3, "ab=||"},
        {8, 6, "ab=12||"},
        {9, 7, "ab=12|c||"},
        {13, 11, "ab=12|cd=34||"},
        {14, 12, "ab=12|cd=34||"},
        {15, 12, "ab=12|cd=34||"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.size);
        const auto [got, text] = Section("S", r.size);
        EXPECT_EQ(got, r.got);
        EXPECT_EQ(text, r.text);
    }
    // A full buffer and a list that just fits give the same count: only a count below the size
    // less two shows the whole list.
    EXPECT_EQ(Section("S", 14).first, 12u);

    std::vector<std::string> lines{"[Big]"};
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = "key" + std::to_string(i) + "=" + std::string(i % 7 * 300, 'v');
        lines.push_back(line);
        expected.push_back(line);
    }
    WriteFileBytes(file, CrLfText(lines));
    EXPECT_EQ(IniReadSection("Big", file), expected);
    EXPECT_TRUE(IniReadSection("missing", file).empty());
}

// What a NUL byte, a lone carriage return or Ctrl-Z do here; the documentation says nothing of
// them, so the reader never settles a key of such a file.
TEST_F(IniSectionRead, NulLoneCarriageReturnAndCtrlZAsTheyReadHere) {
    WriteFileBytes(file, "[S]\r\na=1\0b=2\r\nc=3\rd=4\r\ne=5\x1A\r\n"s);
    EXPECT_EQ(Section("S", 4096).second, "a=1|c=3|d=4|e=5||");
    EXPECT_EQ(Key("S", "a"), "1");
    EXPECT_EQ(Key("S", "b"), "<missing>");
    EXPECT_EQ(Key("S", "d"), "4");
    EXPECT_EQ(Key("S", "e"), "5");
}

TEST_F(IniSectionRead, OnlyTheFirstOfTwoSectionsOfOneNameIsReadAndTheListShowsBoth) {
    WriteFileBytes(file,
                   CrLfText({"[S]", "x=1", "[T]", "y=2", "[s]", "x=3", "z=4", "[ S ]", "w=5"}));
    EXPECT_EQ(Section("S", 4096).second, "x=1||");
    EXPECT_EQ(Key("S", "x"), "1");
    EXPECT_EQ(Key("S", "z"), "<missing>");
    EXPECT_EQ(IniSectionNames(file), (std::vector<std::string>{"S", "T", "s", "S"}));
}

// The per-key reads of every key a section's lines may hold, with and without what the section
// read settles: the same answers, the same file after, and the per-key call made exactly where
// the line does not settle the key.
TEST_F(IniSectionRead, SettledValuesAreWhatThePerKeyGettersGive) {
    const std::string sentinel = IniAnsiSentinel();
    struct Row {
        const char* name;
        std::string lines; // the section's lines after "[S]", CR LF ended
        bool settled;
    };
    const Row strings[] = {
        {"plain", "v=x", true},
        {"other case", "V=x", true},
        {"empty", "v=", true},
        {"blanks the section read removed", "  v \t=  x y  ", true},
        {"accented", "v=caf\xE9 \xA3", true},
        {"1022 characters", "v=" + std::string(1022, 's'), true},
        {"1023 characters", "v=" + std::string(1023, 's'), false},
        {"1500 characters", "v=" + std::string(1500, 's'), false},
        {"double quotes", "v=\"x\"", false},
        {"single quotes", "v='x'", false},
        {"one quote", "v=\"x", false},
        {"quote at the end", "v=x'", false},
        {"no-break space", "v=\xA0x", false},
        {"control character", "v=x\x01", false},
        {"sentinel", "v=" + sentinel, false},
        {"sentinel and more", "v=" + sentinel + "tail", false},
        {"no equals", "v", false},
        {"no equals before the key", "v\r\nv=x", false},
        {"twice", "v=x\r\nv=y", false},
        {"twice in other case", "v=x\r\nV=y", false},
        {"name in quotes", "\"v\"=x\r\nv=y", false},
        {"name outside ASCII elsewhere", "v=x\r\n\xC9t\xE9=1", false},
        {"comment", ";v=x", false},
        {"missing", "w=x", false},
    };
    const Row numbers[] = {
        {"0", "v=0", true},
        {"7", "v=7", true},
        {"32767", "v=32767", true},
        {"blanks", " v = 12 ", true},
        {"32768", "v=32768", false},
        {"70000", "v=70000", false},
        {"negative", "v=-5", false},
        {"plus", "v=+7", false},
        {"leading zero", "v=007", false},
        {"hexadecimal", "v=0x10", false},
        {"digits then text", "v=12abc", false},
        {"text", "v=abc", false},
        {"empty", "v=", false},
        {"quoted", "v=\"9\"", false},
        {"sentinel", "v=" + sentinel, false},
        {"missing", "w=1", false},
    };
    const std::string other = dir.File("other.ini");
    int perKeyCalls = 0;
    platform::Override text(&platform::Calls::GetPrivateProfileStringA,
                            [&](LPCSTR s, LPCSTR k, LPCSTR d, LPSTR b, DWORD n, LPCSTR f) {
                                perKeyCalls += k != nullptr && std::string(f) == file;
                                return GetPrivateProfileStringA(s, k, d, b, n, f);
                            });
    platform::Override number(&platform::Calls::GetPrivateProfileIntA,
                              [&](LPCSTR s, LPCSTR k, INT d, LPCSTR f) {
                                  perKeyCalls += std::string(f) == file;
                                  return GetPrivateProfileIntA(s, k, d, f);
                              });
    auto prepare = [&](const Row& r) {
        const std::string content = "[S]\r\n" + r.lines + "\r\n";
        WriteFileBytes(file, content);
        WriteFileBytes(other, content);
        const IniSettled settled(IniReadSection("S", file));
        perKeyCalls = 0;
        return settled;
    };
    for (const auto& r : strings) {
        SCOPED_TRACE(std::string("string: ") + r.name);
        const IniSettled settled = prepare(r);
        EXPECT_EQ(IniGetString(settled, "S", "v", "dflt", file),
                  IniGetString("S", "v", "dflt", other));
        EXPECT_EQ(perKeyCalls == 0, r.settled);
        EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(other));
    }
    for (const auto& r : numbers) {
        for (auto [min, max] : {std::pair<std::int16_t, std::int16_t>{0, 0}, {1, 10}}) {
            SCOPED_TRACE(std::string("number: ") + r.name + ", range " + std::to_string(min) +
                         ".." + std::to_string(max));
            const IniSettled settled = prepare(r);
            EXPECT_EQ(IniGetInt(settled, "S", "v", 4, file, min, max),
                      IniGetInt("S", "v", 4, other, min, max));
            // A settled number outside the range goes to the per-key getter, which writes.
            const std::optional<std::int16_t> value = settled.Number("v");
            const bool inRange = value && (max == 0 || (*value >= min && *value <= max));
            EXPECT_EQ(perKeyCalls == 0, r.settled && inRange);
            EXPECT_EQ(value.has_value(), r.settled);
            EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(other));
        }
    }
}

// Files whose text the section read might give otherwise than the per-key reads on another
// version of the platform: no section of them settles a key, not even a plain line elsewhere.
TEST_F(IniSectionRead, ReaderSettlesNothingInFilesItCannotVouchFor) {
    struct Row {
        const char* name;
        std::string content;
        bool settles;
    } rows[] = {
        {"plain", "[S]\r\nv=x\r\n[T]\r\ny=1\r\n", true},
        {"line feeds alone", "[S]\nv=x\n[T]\ny=1\n", true},
        {"no line end at the end", "[S]\r\nv=x\r\n[T]\r\ny=1", true},
        {"other section doubled", "[S]\r\nv=x\r\n[T]\r\n[t]\r\ny=1\r\n", true},
        {"NUL byte", "[S]\r\nv=x\r\n[T]\r\ny=1\0z=2\r\n"s, false},
        {"Ctrl-Z", "[S]\r\nv=x\r\n[T]\r\ny=1\x1A\r\n", false},
        {"carriage return alone", "[S]\r\nv=x\r\n[T]\r\ny=1\rz=2\r\n", false},
        {"carriage return at the end", "[S]\r\nv=x\r\n[T]\r\ny=1\r", false},
        {"section doubled", "[S]\r\nv=x\r\n[T]\r\n[s]\r\nv=y\r\n", false},
        {"section doubled with blanks", "[S]\r\nv=x\r\n[ S ]\r\nv=y\r\n", false},
        {"section name outside ASCII", "[S]\r\nv=x\r\n[\xC9t\xE9]\r\ny=1\r\n", false},
        {"UTF-16", "\xFF\xFE[\0S\0]\0\r\0\n\0v\0=\0x\0\r\0\n\0"s, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        WriteFileBytes(file, r.content);
        const IniSettled settled = IniSectionReader(file, true).Read("S");
        const std::string* value = settled.Text("v");
        EXPECT_EQ(value != nullptr, r.settles);
        if (value) {
            EXPECT_EQ(*value, "x");
        }
        EXPECT_EQ(IniSectionReader(file, false).Read("S").Text("v"), nullptr);
    }
    EXPECT_EQ(IniSectionReader(dir.File("absent.ini"), true).Read("S").Text("v"), nullptr);
}

} // namespace
