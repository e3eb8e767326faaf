#pragma once
// Starting a program and waiting for it while the window keeps handling its events.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Starts the command (passed unchanged, so a path with spaces comes quoted) and polls it every
// 100 ms until it ends or timeoutSeconds pass. errorMessage is set only on failure.
bool RunAndWait(const std::string& command, std::int32_t windowStyle, std::string& errorMessage,
                std::int32_t timeoutSeconds);

// Test seam for the process start; the default creates the process for real.
using ProcessStarter = std::function<bool(const std::string& command, std::int32_t windowStyle,
                                          DWORD& pid, std::string& error)>;
// An empty starter brings the real one back.
void SetProcessStarterForTesting(ProcessStarter starter);

// The platform's description of an error code, without its trailing line break.
std::string SystemErrorText(DWORD code);
