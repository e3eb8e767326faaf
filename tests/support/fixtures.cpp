#include "fixtures.h"

#include <cstring>

namespace testsupport {
namespace {

constexpr const char* kNetworkKey = "SYSTEM\\CurrentControlSet\\Control\\Network";
// Wine's prefix has none of its own: everything below it is the fixtures'.
constexpr const char* kTcpipInterfacesKey =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";

void SetString(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

base::unique_hkey CreateKey(HKEY root, const std::string& path) {
    base::unique_hkey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot create key " << path;
    return key;
}

} // namespace

std::vector<ConnectionEntry> PciConnections(const std::vector<std::string>& names) {
    std::vector<ConnectionEntry> out;
    int i = 0;
    for (const auto& name : names) {
        ++i;
        char guid[64];
        wsprintfA(guid, "{1A2B3C4D-%04d-4000-8000-000000000000}", i);
        std::string pnp = "PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02\\3&267A616A&0&";
        pnp += std::to_string(i);
        out.push_back({"{4D36E972-E325-11CE-BFC1-08002BE10318}", guid, name, pnp, 1, "Net"});
    }
    return out;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
    base::unique_hkey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return;
    for (;;) {
        char name[512];
        DWORD len = sizeof(name);
        if (RegEnumKeyExA(key.get(), 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        DeleteKeyTree(key.get(), name);
    }
    key.reset();
    RegDeleteKeyA(root, path.c_str());
}

std::string TcpipPath(const std::string& connectionKey) {
    return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + connectionKey;
}

void WriteTcpip(HKEY root, const std::string& connectionKey, const StoredTcpip& t) {
    DeleteKeyTree(root, TcpipPath(connectionKey));
    auto key = CreateKey(root, TcpipPath(connectionKey));
    auto multi = [&](const char* name, const std::vector<std::string>& items) {
        std::string data;
        for (const auto& item : items)
            data += item + '\0';
        data += '\0';
        RegSetValueExA(key.get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    };
    RegSetValueExA(key.get(), "EnableDHCP", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&t.enableDhcp), sizeof(t.enableDhcp));
    multi("IPAddress", t.ipAddress);
    multi("SubnetMask", t.subnetMask);
    multi("DefaultGateway", t.defaultGateway);
    multi("DefaultGatewayMetric", t.defaultGatewayMetric);
    SetString(key.get(), "NameServer", t.nameServer);
    if (!t.dhcpIpAddress.empty()) {
        SetString(key.get(), "DhcpIPAddress", t.dhcpIpAddress);
        SetString(key.get(), "DhcpSubnetMask", t.dhcpSubnetMask);
        SetString(key.get(), "DhcpNameServer", t.dhcpNameServer);
        multi("DhcpDefaultGateway", t.dhcpDefaultGateway);
    }
}

void WriteConnections(HKEY root, const std::vector<ConnectionEntry>& entries) {
    for (const auto& e : entries) {
        std::string classPath = std::string(kNetworkKey) + "\\" + e.classKey;
        auto classKey = CreateKey(root, classPath);
        if (!e.className.empty())
            SetString(classKey.get(), "Class", e.className);
        auto conn = CreateKey(root, classPath + "\\" + e.connectionKey + "\\Connection");
        if (e.name)
            SetString(conn.get(), "Name", *e.name);
        if (e.pnpInstanceId)
            SetString(conn.get(), "PnpInstanceID", *e.pnpInstanceId);
        if (e.mediaSubType) {
            DWORD v = *e.mediaSubType;
            RegSetValueExA(conn.get(), "MediaSubType", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&v), sizeof(v));
        }
        if (e.tcpip)
            WriteTcpip(root, e.connectionKey, *e.tcpip);
    }
}

InProcessNetwork::InProcessNetwork(const std::vector<ConnectionEntry>& entries) {
    scratch_ = "Software\\IpshifterTests\\HKLM_" + std::to_string(GetCurrentProcessId());
    DeleteKeyTree(HKEY_CURRENT_USER, scratch_);
    key_ = CreateKey(HKEY_CURRENT_USER, scratch_);
    WriteConnections(key_.get(), entries);
    if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_.get()) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot stand a scratch key in for HKEY_LOCAL_MACHINE";
    SetEnvironmentVariableA("IPSHIFTER_NETSH_MACHINE", scratch_.c_str());
}

InProcessNetwork::~InProcessNetwork() {
    SetEnvironmentVariableA("IPSHIFTER_NETSH_MACHINE", nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    key_.reset();
    DeleteKeyTree(HKEY_CURRENT_USER, scratch_);
}

MachineNetwork::MachineNetwork(const std::vector<ConnectionEntry>& entries) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kNetworkKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kTcpipInterfacesKey);
    WriteConnections(HKEY_LOCAL_MACHINE, entries);
}

MachineNetwork::~MachineNetwork() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kNetworkKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kTcpipInterfacesKey);
}

RealProgram::RealProgram(const std::string& folderHint) : dir_(folderHint) {
    if (!CopyFileTo(BinDir() + "\\Ipshifter.exe", dir_.File("Ipshifter.exe")))
        ADD_FAILURE() << "cannot copy Ipshifter.exe";
}

RealProgram::~RealProgram() {
    if (IsRunning(process_)) {
        TerminateProcess(process_.handle.get(), 99);
        WaitProcess(process_, 5000);
    }
}

void RealProgram::Start(const std::string& arguments) {
    process_ = Launch(arguments);
}

Process RealProgram::Launch(const std::string& arguments) const {
    std::string cmd = "\"" + dir_.File("Ipshifter.exe") + "\"";
    if (!arguments.empty())
        cmd += " " + arguments;
    return StartProcess(cmd, dir_.path());
}

HWND RealProgram::WaitMainWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindProcessWindow(process_.pid, kMainWindowClass, nullptr);
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND RealProgram::WaitMessageBox(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindProcessWindow(process_.pid, "#32770", "Ipshifter");
            return found != nullptr && IsWindowVisible(found);
        },
        timeoutMs);
    return found;
}

void RealProgram::AnswerMessageBox(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

int RealProgram::WaitExit(DWORD timeoutMs) {
    // The program may send to windows of this thread (a tray stand-in) on its way out.
    WaitUntil([&] { return !IsRunning(process_); }, timeoutMs);
    return WaitProcess(process_, 0);
}

bool RealProgram::EndSession() {
    HWND main = FindProcessWindow(process_.pid, kMainWindowClass, nullptr);
    if (!main)
        return false;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        answer = 0;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    return answer == TRUE;
}

DriverRun RunDriver(DWORD pid, const std::vector<std::string>& args, DWORD timeoutMs) {
    DriverRun run;
    ScratchDir dir("driver");
    const std::string outPath = dir.File("out.txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    base::unique_file out(CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        ADD_FAILURE() << "cannot create " << outPath;
        return run;
    }
    std::string cmd = "\"" + BinDir() + "\\ipshifter_driver.exe\" --pid " + std::to_string(pid);
    for (const auto& a : args)
        cmd += " \"" + a + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        ADD_FAILURE() << "cannot start " << cmd;
        return run;
    }
    CloseHandle(pi.hThread);
    Process driver;
    driver.handle.reset(pi.hProcess);
    driver.pid = pi.dwProcessId;
    out.reset();
    // The program may send to windows of this thread (a tray stand-in) while the driver runs.
    if (WaitUntil([&] { return !IsRunning(driver); }, timeoutMs)) {
        run.exitCode = WaitProcess(driver, 0);
    } else {
        TerminateProcess(driver.handle.get(), 99);
        WaitProcess(driver, 5000);
    }
    const std::string text = ReadFileBytes(outPath);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        run.lines.push_back(line);
        start = end + 1;
    }
    return run;
}

std::string DriverOutput(const DriverRun& run) {
    std::string text = "driver exit code " + std::to_string(run.exitCode) + ":";
    for (const auto& line : run.lines)
        text += "\n  " + line;
    return text;
}

std::vector<bool> TrayMenuChecks(DWORD pid) {
    const DriverRun run = RunDriver(pid, {"read-tray-menu"});
    EXPECT_EQ(run.exitCode, 0) << DriverOutput(run);
    std::vector<bool> checks;
    for (const auto& line : run.lines) {
        const size_t blank = line.rfind(' ');
        if (line.rfind("item ", 0) == 0 && blank != std::string::npos)
            checks.push_back(line.substr(blank + 1) == "checked");
    }
    return checks;
}

std::vector<HWND> TrayIconWindows() {
    std::vector<HWND> icons;
    HWND tray = nullptr;
    while ((tray = FindWindowExA(nullptr, tray, "__winex11_standalone_tray", nullptr)) != nullptr) {
        for (HWND icon = FindWindowExA(tray, nullptr, "__winex11_tray_icon", nullptr); icon;
             icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr))
            icons.push_back(icon);
    }
    return icons;
}

int TrayIconsOnScreen() {
    return static_cast<int>(TrayIconWindows().size());
}

bool ClickAt(POINT screen, DWORD downFlag) {
    if (!SetCursorPos(screen.x, screen.y))
        return false;
    Sleep(50);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = downFlag;
    // The "up" flag of each button is the next bit after its "down" flag.
    input[1].mi.dwFlags = downFlag << 1;
    const bool sent = SendInput(1, &input[0], sizeof(INPUT)) == 1;
    Sleep(50);
    return SendInput(1, &input[1], sizeof(INPUT)) == 1 && sent;
}

POINT CentreOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool CloseBoxOf(HWND hwnd, POINT& point) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    // The close box is the rightmost box of the title bar: search its top rows from the right.
    for (int y = r.top; y < r.top + 60 && y < r.bottom; y += 2) {
        for (int x = r.right - 1; x > r.right - 80 && x > r.left; x -= 2) {
            DWORD_PTR hit = 0;
            if (SendMessageTimeoutA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000,
                                    &hit) &&
                hit == HTCLOSE) {
                point = POINT{x, y};
                return true;
            }
        }
    }
    return false;
}

bool PressAltF4() {
    INPUT keys[4] = {};
    for (auto& k : keys)
        k.type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_MENU;
    keys[1].ki.wVk = VK_F4;
    keys[2].ki.wVk = VK_F4;
    keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
    keys[3].ki.wVk = VK_MENU;
    keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(4, keys, sizeof(INPUT)) == 4;
}

TrayWatch::TrayWatch() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    HWND shell = nullptr;
    while ((shell = FindWindowExA(nullptr, shell, "Shell_TrayWnd", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(shell, &pid);
        if (pid != GetCurrentProcessId())
            real_ = shell;
    }
    window_.reset(CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  wc.hInstance, nullptr));
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TrayWatch::~TrayWatch() {
    window_.reset();
    UnregisterClassA("Shell_TrayWnd", GetModuleHandleA(nullptr));
}

bool TrayWatch::Ready() const {
    return real_ && window_ && FindWindowA("Shell_TrayWnd", nullptr) == window_.get();
}

std::vector<TrayWatch::Call> TrayWatch::Calls(DWORD message) const {
    std::vector<Call> out;
    for (const auto& c : calls_) {
        if (c.message == message)
            out.push_back(c);
    }
    return out;
}

namespace {

// Wine's shell hands the icon over as its pixels, after a record of fixed size whose last four
// fields are the picture's width, height, planes and bits per pixel (the record of Wine 8's
// shell32, struct notify_data).
SIZE IconSizeInRequest(const COPYDATASTRUCT& data) {
    constexpr size_t kWidthAt = 4 * 4 + 128 * 2 + 2 * 4 + 256 * 2 + 4 + 64 * 2 + 4 + 16;
    if (data.cbData < kWidthAt + 4 * 4)
        return SIZE{0, 0};
    UINT size[2] = {};
    memcpy(size, static_cast<const char*>(data.lpData) + kWidthAt, sizeof(size));
    return SIZE{static_cast<LONG>(size[0]), static_cast<LONG>(size[1])};
}

} // namespace

LRESULT CALLBACK TrayWatch::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TrayWatch*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg != WM_COPYDATA || !self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const HWND owner = reinterpret_cast<HWND>(wParam);
    const bool alive = IsWindow(owner) != FALSE;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(self->real_, WM_COPYDATA, wParam, lParam, SMTO_NORMAL, 10000, &result))
        result = 0;
    self->calls_.push_back({static_cast<DWORD>(data->dwData), owner, static_cast<LRESULT>(result),
                            alive, TrayIconsOnScreen(), IconSizeInRequest(*data)});
    return static_cast<LRESULT>(result);
}

namespace {
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
}

WineDpiFor::WineDpiFor(DWORD dpi) {
    base::unique_hkey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open " << kDesktopKey;
        return;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
        previous_ = value;
    RegSetValueExA(key.get(), "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof(dpi));
}

WineDpiFor::~WineDpiFor() {
    base::unique_hkey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    if (previous_)
        RegSetValueExA(key.get(), "LogPixels", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&*previous_), sizeof(DWORD));
    else
        RegDeleteValueA(key.get(), "LogPixels");
}

} // namespace testsupport
