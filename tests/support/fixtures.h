#pragma once
// Fixtures of the machine the program runs on: the registry's network connections, the main
// window loaded in this process, and the real executable started in a folder of its own.
#include <windows.h>

#include "support.h"

#include "main_window/frmMain.h"
#include "tray_icon/CSystrayIcon.h"

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The TCP/IP settings Windows keeps for a connection, in the forms Windows writes: lists as
// REG_MULTI_SZ, the DNS servers as one comma-separated REG_SZ. A DHCP connection by default.
struct StoredTcpip {
    DWORD enableDhcp = 1;
    std::vector<std::string> ipAddress{"0.0.0.0"};
    std::vector<std::string> subnetMask{"0.0.0.0"};
    std::vector<std::string> defaultGateway;
    std::vector<std::string> defaultGatewayMetric;
    std::string nameServer;
    // The DHCP client's lease, written only when an address is given.
    std::string dhcpIpAddress, dhcpSubnetMask, dhcpNameServer;
    std::vector<std::string> dhcpDefaultGateway;
};

// One connection key under a class key of the network key, with the TCP/IP settings Windows
// keeps for it (none: a connection of a removed adapter).
struct ConnectionEntry {
    std::string classKey;
    std::string connectionKey;
    std::optional<std::string> name;
    std::optional<std::string> pnpInstanceId;
    std::optional<DWORD> mediaSubType;
    std::string className = "Net";
    std::optional<StoredTcpip> tcpip = StoredTcpip{};
};

// Where Windows keeps a connection key's TCP/IP settings, below HKLM.
std::string TcpipPath(const std::string& connectionKey);
// Writes kept settings (replacing what is there) below a root that stands for HKLM.
void WriteTcpip(HKEY root, const std::string& connectionKey, const StoredTcpip& tcpip);

// Typical connections of a Vista-era machine: PCI adapters with the given names.
std::vector<ConnectionEntry> PciConnections(const std::vector<std::string>& names);

void DeleteKeyTree(HKEY root, const std::string& path);
void WriteConnections(HKEY root, const std::vector<ConnectionEntry>& entries);

// The connections as this test process sees HKEY_LOCAL_MACHINE: a scratch key under
// HKEY_CURRENT_USER stands in for it until the fixture ends. The netsh stand-in, started by
// the program under test, changes the settings kept there.
class InProcessNetwork {
public:
    explicit InProcessNetwork(const std::vector<ConnectionEntry>& entries);
    ~InProcessNetwork();
    HKEY Root() const { return key_.get(); }

private:
    std::string scratch_;
    base::unique_hkey key_;
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
    // Starts another process of the same program, in the same folder.
    Process Launch(const std::string& arguments = {}) const;
    Process& Proc() { return process_; }
    // The main window once start-up has created it (hidden or not).
    HWND WaitMainWindow(DWORD timeoutMs = 10000);
    // A message box of the program ("Ipshifter" caption).
    HWND WaitMessageBox(DWORD timeoutMs = 10000);
    // Presses the default button of a message box of the program.
    static void AnswerMessageBox(HWND box, int button = IDOK);
    // Waits for the process to end; its exit code, or -1 on time-out.
    int WaitExit(DWORD timeoutMs = 10000);
    // Ends the program as Windows does at log-off; the program's answer to the question
    // whether the session may end.
    bool EndSession();

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

// The icons Wine's tray shows on the virtual display: one window each in its tray window, in the
// order they were added.
std::vector<HWND> TrayIconWindows();
int TrayIconsOnScreen();
// Presses and releases a mouse button (MOUSEEVENTF_LEFTDOWN or MOUSEEVENTF_RIGHTDOWN) with the
// pointer at a screen position, as the user does; false when the input was not taken.
bool ClickAt(POINT screen, DWORD downFlag);
// The centre of a window on the screen.
POINT CentreOf(HWND hwnd);
// A point of the window's close box in its title bar, found by asking the window; false when it
// has none.
bool CloseBoxOf(HWND hwnd, POINT& point);
// Alt+F4 on the keyboard, to the window in the foreground.
bool PressAltF4();

// Stands in front of the shell's tray window. Wine's Shell_NotifyIconA sends each request as
// WM_COPYDATA (the NIM_ message in dwData, the icon's window in wParam) to the first window of
// the tray's class it finds, which is this newer one; each request is recorded and handed on
// unchanged to the real tray, whose answer goes back. So the test sees which icon requests the
// program makes and when, while the icon really comes and goes on the screen.
class TrayWatch {
public:
    struct Call {
        DWORD message; // NIM_ADD, NIM_MODIFY or NIM_DELETE
        HWND owner;    // the window the icon reports to
        LRESULT result;
        bool ownerAlive; // the owner window still existed when the request came
        int iconsAfter;  // icons on the screen once the real tray had done it
        SIZE icon;       // the size of the picture the request hands over, 0 x 0 for none
    };

    TrayWatch();
    ~TrayWatch();
    TrayWatch(const TrayWatch&) = delete;
    TrayWatch& operator=(const TrayWatch&) = delete;

    // In front of the real tray, which is there to hand requests on to.
    bool Ready() const;
    std::vector<Call> Calls(DWORD message) const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND real_ = nullptr;
    base::unique_hwnd window_;
    std::vector<Call> calls_;
};

// Makes Wine report the given screen DPI to the programs started while the object lives (the
// test process keeps the DPI it started with).
class WineDpiFor {
public:
    explicit WineDpiFor(DWORD dpi);
    ~WineDpiFor();
    WineDpiFor(const WineDpiFor&) = delete;
    WineDpiFor& operator=(const WineDpiFor&) = delete;

private:
    std::optional<DWORD> previous_;
};

} // namespace testsupport
