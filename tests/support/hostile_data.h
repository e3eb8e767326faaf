#pragma once
// Generated input for the hostile-input runs: random choices that repeat from run to run, and
// profile sections.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// Fixed, so that every run meets the same cases; a failing case is named by its number.
inline constexpr std::uint32_t kSeed = 20261210;

// Random choices from std::mt19937, whose sequence the standard fixes for every platform.
class Dice {
public:
    explicit Dice(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t Below(std::size_t n) { return n ? static_cast<std::uint32_t>(engine_() % n) : 0; }
    bool OneIn(std::uint32_t n) { return Below(n) == 0; }
    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }
    std::string Bytes(std::size_t length) {
        std::string out;
        for (std::size_t i = 0; i < length; ++i)
            out += static_cast<char>(engine_() & 0xFF);
        return out;
    }
    // Any byte but the line breaks and NUL.
    std::string Text(std::size_t length) {
        std::string out;
        while (out.size() < length) {
            const char c = static_cast<char>(1 + engine_() % 255);
            if (c != '\r' && c != '\n')
                out += c;
        }
        return out;
    }

private:
    std::mt19937 engine_;
};

inline std::string Section(int number, const std::string& body) {
    return "[PROFILE" + std::to_string(number) + "]\r\n" + body;
}

// A complete static profile on the connection.
inline std::string FullProfile(int number, const std::string& connection) {
    return Section(number, "INTERFACE=" + connection + "\r\nDHCP=0\r\nIPCOUNT=1\r\nIP1=192.0.2." +
                               std::to_string(number % 250 + 1) +
                               "\r\nSUBNET=255.255.255.0\r\nGATEWAY=none\r\nMETRIC=1\r\n"
                               "DNSCOUNT=1\r\nDNS1=192.0.2.53\r\nSELECTED=0\r\n");
}

} // namespace testsupport
