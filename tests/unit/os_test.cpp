#include "functions/os.h"

#include <gtest/gtest.h>

namespace {

struct OsRow {
    unsigned platform, major, minor;
    int code; // -1: unknown
};

TEST(OsTable, EveryRowAndTheUnknownReports) {
    const OsRow rows[] = {
        {0, 3, 11, kOsWin32s},
        {0, 0, 0, kOsWin32s},
        {1, 4, 0, kOsWin95},
        {1, 4, 10, kOsWin98},
        {1, 4, 90, kOsWinMe},
        {1, 7, 10, kOsWin98}, // the major version does not matter on
                              // platform 1
        {2, 3, 51, kOsNT4},
        {2, 4, 0, kOsNT4},
        {2, 5, 0, kOsWin2000},
        {2, 5, 1, kOsWinXP},
        {2, 5, 2, kOsWin2003},
        {2, 6, 0, kOsVista},
        {2, 6, 1, kOsVista},
        {2, 6, 2, kOsVista},
        {2, 6, 3, kOsVista},
        {2, 10, 0, -1},
        {2, 5, 3, -1},
        {1, 4, 20, -1},
        {3, 10, 0, -1},
    };
    for (const auto& r : rows) {
        auto code = OsCodeFor(r.platform, r.major, r.minor);
        SCOPED_TRACE(std::to_string(r.platform) + "-" + std::to_string(r.major) + "-" +
                     std::to_string(r.minor));
        if (r.code < 0)
            EXPECT_FALSE(code.has_value());
        else
            EXPECT_EQ(code, r.code);
    }
}

} // namespace
