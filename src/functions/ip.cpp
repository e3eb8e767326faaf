#include <winsock2.h>

#include "functions/ip.h"

#include "base/platform.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// Windows Sockets, looked up on first use (a start that checks no address does not load it).
// It wants WSAStartup before any of its calls, inet_addr included; one session serves the whole
// run.
class WinsockSession {
public:
    WinsockSession() {
        using StartupFn = int(WINAPI*)(WORD, LPWSADATA);
        auto startup = platform::LazyFunction<StartupFn>("ws2_32.dll", "WSAStartup");
        inetAddr_ = platform::LazyFunction<InetAddrFn>("ws2_32.dll", "inet_addr");
        WSADATA data{};
        started_ = startup && startup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        using CleanupFn = int(WINAPI*)();
        if (!started_)
            return;
        if (auto cleanup = platform::LazyFunction<CleanupFn>("ws2_32.dll", "WSACleanup"))
            cleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    unsigned long InetAddr(const char* text) const {
        return started_ && inetAddr_ ? inetAddr_(text) : INADDR_NONE;
    }

private:
    using InetAddrFn = unsigned long(WINAPI*)(const char*);
    InetAddrFn inetAddr_ = nullptr;
    bool started_ = false;
};

bool PassesInetAddr(const std::string& text) {
    static const WinsockSession session;
    return session.InetAddr(text.c_str()) != INADDR_NONE;
}

// Hands out the characters of a text as Basic's Val sees them: blanks, tabs and line feeds do
// not exist, and the end reads as '\0'.
class ValReader {
public:
    explicit ValReader(std::string_view text) : text_(text) {}
    char Peek() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n'))
            ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void Next() { ++pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// "&H..." and "&O...", typed as Basic types such constants: a value that fits 16 bits is an
// Integer (so &HFFFF is -1), else a Long; a trailing "&" makes it a Long at once.
std::optional<double> ReadRadixNumber(ValReader& in) {
    in.Next(); // '&'
    const char kind = in.Peek();
    int base = 0;
    if (kind == 'H' || kind == 'h')
        base = 16;
    else if (kind == 'O' || kind == 'o')
        base = 8;
    else
        return 0.0;
    in.Next();
    std::uint64_t value = 0;
    bool tooBig = false;
    for (int d = DigitValue(in.Peek(), base); d >= 0; d = DigitValue(in.Peek(), base)) {
        in.Next();
        if (!tooBig) {
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            tooBig = value > 0xFFFFFFFFull;
        }
    }
    if (tooBig)
        return std::nullopt;
    const bool forceLong = in.Peek() == '&';
    if (!forceLong && value <= 0xFFFFull)
        return static_cast<double>(value >= 0x8000ull ? static_cast<std::int64_t>(value) - 0x10000
                                                      : static_cast<std::int64_t>(value));
    return static_cast<double>(value >= 0x80000000ull
                                   ? static_cast<std::int64_t>(value) - 0x100000000ll
                                   : static_cast<std::int64_t>(value));
}

// A decimal number as Val reads it, in parts: the sign, the digits before the point (without
// leading zeros) and after it, and the power of ten that follows them.
struct DecimalParts {
    bool negative = false;
    std::string intDigits;
    std::string fracDigits;
    long long exponent = 0;
};

// The exponent after "E" or "D" (either case); 0 when there is none.
long long ReadExponent(ValReader& in) {
    const char e = in.Peek();
    if (e != 'E' && e != 'e' && e != 'D' && e != 'd')
        return 0;
    in.Next();
    bool negative = false;
    if (in.Peek() == '+' || in.Peek() == '-') {
        negative = in.Peek() == '-';
        in.Next();
    }
    // No text is long enough to make up for an exponent beyond this bound.
    constexpr long long kExponentLimit = 1'000'000'000'000'000;
    long long exponent = 0;
    for (char c = in.Peek(); IsDigit(c); c = in.Peek()) {
        in.Next();
        if (exponent < kExponentLimit)
            exponent = exponent * 10 + (c - '0');
    }
    return negative ? -exponent : exponent;
}

// The parts of the number at the reader; nothing when it holds no digit.
std::optional<DecimalParts> ReadDecimalParts(ValReader& in) {
    DecimalParts n;
    if (in.Peek() == '+' || in.Peek() == '-') {
        n.negative = in.Peek() == '-';
        in.Next();
    }
    bool anyDigit = false;
    for (char c = in.Peek(); IsDigit(c); c = in.Peek()) {
        in.Next();
        anyDigit = true;
        if (!n.intDigits.empty() || c != '0')
            n.intDigits += c;
    }
    if (in.Peek() == '.') {
        in.Next();
        for (char c = in.Peek(); IsDigit(c); c = in.Peek()) {
            in.Next();
            anyDigit = true;
            n.fracDigits += c;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    n.exponent = ReadExponent(in);
    return n;
}

// The value of the parts, or nothing when it is too large for any metric. Values far below one
// half come back as 0; the rest are read exactly as a double.
std::optional<double> DecimalValue(const DecimalParts& n) {
    // The power of ten of the leading significant digit decides the far cases without any
    // arithmetic on huge numbers.
    long long lead = 0;
    if (!n.intDigits.empty()) {
        lead = static_cast<long long>(n.intDigits.size()) - 1;
    } else {
        const size_t first = n.fracDigits.find_first_not_of('0');
        if (first == std::string::npos)
            return 0.0;
        lead = -static_cast<long long>(first) - 1;
    }
    lead += n.exponent;
    if (lead >= 10) // at least 1e10, beyond every 32-bit value
        return std::nullopt;
    if (lead < -1) // below 0.1: rounds to 0
        return 0.0;

    std::string plain = n.intDigits.empty() ? "0" : n.intDigits;
    plain += '.';
    plain += n.fracDigits.empty() ? "0" : n.fracDigits;
    plain += 'e';
    plain += std::to_string(n.exponent);
    double value = 0.0;
    const auto read = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (read.ec != std::errc())
        return std::nullopt;
    return n.negative ? -value : value;
}

// The value of the number at the start of the text, or nothing when it is too large for any
// metric; a text without a number is 0.
std::optional<double> ReadNumber(const std::string& text) {
    ValReader in(text);
    if (in.Peek() == '&')
        return ReadRadixNumber(in);
    const std::optional<DecimalParts> parts = ReadDecimalParts(in);
    if (!parts)
        return 0.0;
    return DecimalValue(*parts);
}

} // namespace

bool IsValidIp(const std::string& text) {
    return text.empty() || PassesInetAddr(text);
}

bool IsValidIp(const std::vector<std::string>& list) {
    for (const auto& element : list) {
        if (!PassesInetAddr(element))
            return false;
    }
    return true;
}

std::optional<std::int32_t> MetricFromText(const std::string& text) {
    const std::optional<double> value = ReadNumber(text);
    if (!value)
        return std::nullopt;
    const double below = std::floor(*value);
    const double fraction = *value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    const auto metric = static_cast<std::int32_t>(rounded);
    return metric == 0 ? 1 : metric;
}
