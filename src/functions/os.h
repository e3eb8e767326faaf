#pragma once
#include <cstdint>
#include <optional>

// The operating-system codes start-up decides on.
enum OsCode : std::int32_t {
    kOsWin32s = 0,
    kOsWin95 = 1,
    kOsWin98 = 2,
    kOsWinMe = 3,
    kOsNT4 = 4,
    kOsWin2000 = 5,
    kOsWinXP = 6,
    kOsWin2003 = 7,
    kOsVista = 8,
};

// The code for a version report, or nothing when no row of the table fits.
std::optional<std::int32_t> OsCodeFor(std::uint32_t platformId, std::uint32_t major,
                                      std::uint32_t minor);

// Asks Windows for its version; an unknown one is reported in a message box and gives 0.
std::int32_t DetectOs();
