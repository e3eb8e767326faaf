#pragma once
// Fixtures of the machine the program runs on: the registry's network connections, the main
// window loaded in this process, and the real executable started in a folder of its own.
#include <windows.h>

#include "support.h"

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One connection key under a class key of the network key.
struct ConnectionEntry {
    std::string classKey;
    std::string connectionKey;
    std::optional<std::string> name;
    std::optional<std::string> pnpInstanceId;
    std::optional<DWORD> mediaSubType;
    std::string className = "Net";
};

// Typical connections of a Vista-era machine: PCI adapters with the given names.
std::vector<ConnectionEntry> PciConnections(const std::vector<std::string>& names);

void DeleteKeyTree(HKEY root, const std::string& path);
void WriteConnections(HKEY root, const std::vector<ConnectionEntry>& entries);

// The connections as this test process sees HKEY_LOCAL_MACHINE: a scratch key under
// HKEY_CURRENT_USER stands in for it until the fixture ends.
class InProcessNetwork {
public:
    explicit InProcessNetwork(const std::vector<ConnectionEntry>& entries);
    ~InProcessNetwork();

private:
    std::string scratch_;
    tk::unique_hkey key_;
};

// The connections in the Wine prefix's real HKEY_LOCAL_MACHINE, for the real executable.
class MachineNetwork {
public:
    explicit MachineNetwork(const std::vector<ConnectionEntry>& entries);
    ~MachineNetwork();
};

// Ipshifter.exe copied into a scratch program folder and started from there.
class RealProgram {
public:
    explicit RealProgram(const std::string& folderHint = "prog");
    ~RealProgram();
    const std::string& Folder() const { return dir_.path(); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    std::string IniPath() const { return dir_.File("Ipshifter.ini"); }
    // Starts the program with the given argument text.
    void Start(const std::string& arguments = {});
    Process& Proc() { return process_; }
    // The main window once start-up has created it (hidden or not).
    HWND WaitMainWindow(DWORD timeoutMs = 10000);
    // A message box of the program ("Ipshifter" caption).
    HWND WaitMessageBox(DWORD timeoutMs = 10000);
    // Presses the default button of a message box of the program.
    static void AnswerMessageBox(HWND box, int button = IDOK);
    // Waits for the process to end; its exit code, or -1 on time-out.
    int WaitExit(DWORD timeoutMs = 10000);
    // Ends the program as Windows does at log-off.
    void EndSession();

private:
    ScratchDir dir_;
    Process process_;
};

// ipshifter_driver.exe run against the program of the given process (its commands: see the
// driver), while this thread keeps handling window events. Its exit code (-1 after the
// time-out) and the lines it printed.
struct DriverRun {
    int exitCode = -1;
    std::vector<std::string> lines;
};
DriverRun RunDriver(DWORD pid, const std::vector<std::string>& args, DWORD timeoutMs = 30000);
// The printed lines, for failure messages.
std::string DriverOutput(const DriverRun& run);
// The check marks of the tray menu's items from the top, separators left out, as the driver
// reads them from the screen; a failing driver fails the test.
std::vector<bool> TrayMenuChecks(DWORD pid);

} // namespace testsupport
