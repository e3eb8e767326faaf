#include "fixtures.h"

namespace testsupport {
namespace {

constexpr const char* kNetworkKey = "SYSTEM\\CurrentControlSet\\Control\\Network";

void SetString(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

tk::unique_hkey CreateKey(HKEY root, const std::string& path) {
    tk::unique_hkey key;
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
    tk::unique_hkey key;
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
    }
}

InProcessNetwork::InProcessNetwork(const std::vector<ConnectionEntry>& entries) {
    scratch_ = "Software\\IpshifterTests\\HKLM_" + std::to_string(GetCurrentProcessId());
    DeleteKeyTree(HKEY_CURRENT_USER, scratch_);
    key_ = CreateKey(HKEY_CURRENT_USER, scratch_);
    WriteConnections(key_.get(), entries);
    if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_.get()) != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot stand a scratch key in for HKEY_LOCAL_MACHINE";
}

InProcessNetwork::~InProcessNetwork() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    key_.reset();
    DeleteKeyTree(HKEY_CURRENT_USER, scratch_);
}

MachineNetwork::MachineNetwork(const std::vector<ConnectionEntry>& entries) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kNetworkKey);
    WriteConnections(HKEY_LOCAL_MACHINE, entries);
}

MachineNetwork::~MachineNetwork() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kNetworkKey);
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
    std::string cmd = "\"" + dir_.File("Ipshifter.exe") + "\"";
    if (!arguments.empty())
        cmd += " " + arguments;
    process_ = StartProcess(cmd, dir_.path());
}

HWND RealProgram::WaitMainWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindProcessWindow(process_.pid, "IpshifterMain", nullptr);
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
    return WaitProcess(process_, timeoutMs);
}

void RealProgram::EndSession() {
    HWND main = FindProcessWindow(process_.pid, "IpshifterMain", nullptr);
    if (!main)
        return;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

} // namespace testsupport
