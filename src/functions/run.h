#pragma once
// Starting a program and waiting for it while the window keeps handling its events.
#include <windows.h>

#include "base/handle.h"

#include <cstdint>
#include <string>

// Starts the command (passed unchanged, so a path with spaces comes quoted) and polls it every
// 100 ms until it ends or timeoutSeconds pass. errorMessage is set only on failure. After a
// time-out the process runs on; `stillRunning`, when given, then receives its handle (query
// access only), so that the caller can tell when it has ended. `output`, when given, receives
// what the process and its children print to standard output and error, in the console code
// page (the first 64 KiB of it, up to the end of the wait).
bool RunAndWait(const std::string& command, std::int32_t windowStyle, std::string& errorMessage,
                std::int32_t timeoutSeconds, base::unique_handle* stillRunning = nullptr,
                std::string* output = nullptr);
