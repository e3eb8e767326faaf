#pragma once
// The program's exit codes. They tell a shortcut, a script or a scheduled task how a run with
// /PROFILE= went; the README lists them.
enum ExitCode : int {
    kExitApplied = 0,   // applied, and the connection has the profile's settings
    kExitFailed = 1,    // ended by an unexpected failure
    kExitRefused = 2,   // refused before anything ran (unsupported Windows, a profile or connection
                        // that cannot be applied, another apply running, the script not written)
    kExitDiffers = 3,   // the script ran, but the connection does not have the profile's settings
    kExitNotRun = 4,    // the script could not be started or watched, or it timed out
    kExitHeading = 5,   // the value named a connection's heading: nothing applied
    kExitNoProfile = 6, // the value named no profile: the program started as without it
};
