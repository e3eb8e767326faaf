// Address checks through the real inet_addr, and the metric the Save command stores.
#include "functions/ip.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(IsValidIp, OneTextPassesWhenEmptyOrWhenInetAddrAcceptsIt) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"", true}, // only a lone text is excused when empty
        {"192.0.2.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", false}, // converts to the failure value itself
        {"192.0.2.1 x", true},      // inet_addr stops at a blank
        {"192.0.2.1x", false},
        {"256.1.1.1", false},
        {"1.2.3.4.5", false},
        {"a", false},
        {"10", true},     // the short forms of inet_addr
        {"0x7f.1", true}, // and its hexadecimal parts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("[" + c.text + "]");
        EXPECT_EQ(IsValidIp(c.text), c.valid);
    }
}

TEST(IsValidIp, ListPassesOnlyWhenEveryElementPassesInetAddr) {
    struct Case {
        std::vector<std::string> list;
        bool valid;
    };
    const Case cases[] = {
        {{}, true},
        {{"192.0.2.1"}, true},
        {{"192.0.2.1", "198.51.100.7", "203.0.113.254"}, true},
        // An empty element goes to inet_addr, which refuses the empty text (as Windows does
        // from Windows Server 2003 on; Windows XP and earlier read it as 0.0.0.0).
        {{""}, false},
        {{"192.0.2.1", ""}, false},
        {{"bad", "192.0.2.1"}, false},
        {{"192.0.2.1", "255.255.255.255", "10.0.0.1"}, false},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& e : c.list)
            trace += "[" + e + "]";
        SCOPED_TRACE(trace);
        EXPECT_EQ(IsValidIp(c.list), c.valid);
    }
}

TEST(MetricFromText, DecimalTextAsTheSaveCommandReadsIt) {
    struct Case {
        std::string text;
        std::optional<std::int32_t> metric;
    };
    const Case cases[] = {
        {"0", 1},
        {"", 1},
        {"abc", 1},
        {"$5", 1},
        {"12abc", 12},
        {"+4", 4},
        {"-3", -3},
        // halves go to the even neighbour; 0 becomes 1 after rounding
        {"2.5", 2},
        {"3.5", 4},
        {"1.5", 2},
        {"2.51", 3},
        {"-2.5", -2},
        {"-3.5", -4},
        {"-0.4", 1},
        {"-0.5", 1},
        {".5", 1},
        {".6", 1},
        {"0.7", 1},
        {"1.4", 1},
        {"25E-1", 2},
        // blanks, tabs and line feeds vanish wherever they stand; a carriage return stops
        {" 1 2", 12},
        {"\t7\n", 7},
        {"- 3", -3},
        {"1 e 3", 1000},
        {"7\r\n8", 7},
        // the number ends at the first character that cannot continue it
        {"1.2.3", 1},
        {"1,5", 1},
        {"1e", 1},
        {"1e+", 1},
        {"--3", 1},
        {"1e3", 1000},
        {"1E3", 1000},
        {"1d2", 100},
        {"1D+2", 100},
        {"15e-1", 2},
        {"1e-400", 1},
        {"1e-99999999999999999999999", 1},
        // the signed 32-bit range, after rounding
        {"2147483647", 2147483647},
        {"2147483647.4", 2147483647},
        {"2147483647.5", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483648", -2147483647 - 1},
        {"-2147483648.5", -2147483647 - 1},
        {"-2147483648.6", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0.2147483647e10", 2147483647},
        {"1e10", std::nullopt},
        {"-1e10", std::nullopt},
        {"1e400", std::nullopt},
        {"1e99999999999999999999999", std::nullopt},
        {"1e18446744073709551619", std::nullopt}, // 2^64 + 3: no wrap to 1e3
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("[" + c.text + "]");
        EXPECT_EQ(MetricFromText(c.text), c.metric);
    }
}

TEST(MetricFromText, HexadecimalAndOctalTextAsBasicTypesSuchConstants) {
    struct Case {
        std::string text;
        std::optional<std::int32_t> metric;
    };
    const Case cases[] = {
        {"&H10", 16},
        {"&h1f", 31},
        {"&HFF.5", 255},
        {"&H 1 0", 16},
        {"&O17", 15},
        {"&o777", 511},
        // no digit of the base, or no base: 0, stored as 1
        {"&O8", 1},
        {"&HG", 1},
        {"&", 1},
        {"&X12", 1},
        {"&H0", 1},
        // a value that fits 16 bits is an Integer, unless the Long suffix follows
        {"&HFFFF", -1},
        {"&H8000", -32768},
        {"&HFFFF&", 65535},
        {"&H10000", 65536},
        {"&H7FFFFFFF", 2147483647},
        {"&H80000000", -2147483647 - 1},
        {"&HFFFFFFFF", -1},
        {"&H00000000FFFFFFFF&", -1},
        {"&H100000000", std::nullopt},
        {"&O37777777777", -1},
        {"&O40000000000", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("[" + c.text + "]");
        EXPECT_EQ(MetricFromText(c.text), c.metric);
    }
}

TEST(MetricFromText, HugeTextsAreRefusedOrReadWithoutOverflow) {
    const std::string zeros(10000, '0');
    struct Case {
        std::string name;
        std::string text;
        std::optional<std::int32_t> metric;
    };
    const Case cases[] = {
        {"10,000 nines", std::string(10000, '9'), std::nullopt},
        {"one and 9,999 zeros", "1" + std::string(9999, '0'), std::nullopt},
        {"negative 10,000 digits", "-" + std::string(10000, '7'), std::nullopt},
        {"leading zeros", zeros + "42", 42},
        {"long fraction", "3." + zeros + "1", 3},
        {"tiny fraction", "0." + zeros + "9", 1},
        {"fraction lifted by the exponent", "0." + zeros + "25e10002", 25},
        {"digits lowered by the exponent", "25" + zeros + "e-10000", 25},
        {"10,000 hexadecimal digits", "&H" + std::string(10000, 'F'), std::nullopt},
        {"hexadecimal leading zeros", "&H" + zeros + "2A", 42},
        {"10,000 blanks", std::string(10000, ' ') + "6", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MetricFromText(c.text), c.metric);
    }
}

} // namespace
