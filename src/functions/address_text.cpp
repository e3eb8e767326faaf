#include "functions/address_text.h"

const std::vector<std::string>& NoAddresses() {
    static const std::vector<std::string> none{""};
    return none;
}

std::vector<std::string> AddressesFromText(const std::string& text) {
    if (text.empty())
        return NoAddresses();
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t brk = text.find("\r\n", start);
        if (brk == std::string::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, brk - start));
        start = brk + 2;
    }
}

std::string TextFromAddresses(const std::vector<std::string>& list) {
    std::string text;
    for (const auto& item : list)
        text += item + "\r\n";
    if (!text.empty())
        text.resize(text.size() - 2);
    return text;
}
