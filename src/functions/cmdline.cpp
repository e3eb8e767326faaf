#include "functions/cmdline.h"

#include "toolkit/app.h"

#include <cctype>

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        auto a = static_cast<unsigned char>(text[i]);
        auto b = static_cast<unsigned char>(prefix[i]);
        if (std::toupper(a) != std::toupper(b))
            return false;
    }
    return true;
}

} // namespace

std::string GetCommandLineArgFrom(const std::string& arguments, const std::string& name) {
    const std::string key = name + "=";
    size_t start = 0;
    while (start <= arguments.size()) {
        size_t slash = arguments.find('/', start);
        size_t end = slash == std::string::npos ? arguments.size() : slash;
        std::string part = arguments.substr(start, end - start);
        if (StartsWithNoCase(part, key)) {
            std::string value = part.substr(key.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return value;
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return {};
}

std::string GetCommandLineArg(const std::string& name) {
    return GetCommandLineArgFrom(tk::CommandLineText(), name);
}
