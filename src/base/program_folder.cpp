#include "base/program_folder.h"

#include "base/platform.h"

#include <vector>

namespace base {

std::string ProgramPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = platform::Current().GetModuleFileNameA(nullptr, buffer.data(),
                                                               static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramFolder() {
    const std::string exe = ProgramPath();
    const auto slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

} // namespace base
