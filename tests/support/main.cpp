// Test entry point: common controls as the program has them, and no real modal box ever.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "support.h"

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    if (int code = 0; testsupport::RunChildMode(argc, argv, code))
        return code;
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new testsupport::NoRealDialogs);
    return RUN_ALL_TESTS();
}
