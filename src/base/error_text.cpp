#include "base/error_text.h"

namespace base {

std::string SystemErrorText(DWORD code) {
    char buffer[1024] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (text.empty())
        text = "Error " + std::to_string(code) + ".";
    return text;
}

} // namespace base
