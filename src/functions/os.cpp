#include "functions/os.h"

#include "base/platform.h"
#include "toolkit/dialogs.h"

#include <windows.h>

#include <string>

// The record size Windows expects from every caller of the ANSI version query.
static_assert(sizeof(OSVERSIONINFOA) == 148, "ANSI version record must be 148 bytes");

std::optional<std::int32_t> OsCodeFor(std::uint32_t platformId, std::uint32_t major,
                                      std::uint32_t minor) {
    if (platformId == 0)
        return kOsWin32s;
    if (platformId == 1) {
        if (minor == 0)
            return kOsWin95;
        if (minor == 10)
            return kOsWin98;
        if (minor == 90)
            return kOsWinMe;
        return std::nullopt;
    }
    if (platformId == 2) {
        if (major < 5)
            return kOsNT4;
        if (major == 5 && minor == 0)
            return kOsWin2000;
        if (major == 5 && minor == 1)
            return kOsWinXP;
        if (major == 5 && minor == 2)
            return kOsWin2003;
        if (major == 6)
            return kOsVista;
    }
    return std::nullopt;
}

std::int32_t DetectOs() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    platform::Current().GetVersionExA(&info);
    if (auto code = OsCodeFor(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion))
        return *code;
    tk::MsgBox("Unknown OS detected: " + std::to_string(info.dwPlatformId) + "-" +
               std::to_string(info.dwMajorVersion) + "-" + std::to_string(info.dwMinorVersion));
    return 0;
}
