// Stands in for netsh. Every call appends its argument text, as UTF-8, as one line of netsh.log
// beside this program (the wide command line keeps every character as it arrived). The
// "interface ip" commands of an apply then change the connection's kept TCP/IP settings as
// Windows' netsh does:
//   set address "C" source=dhcp            EnableDHCP 1, IPAddress/SubnetMask 0.0.0.0, no gateway
//   set address "C" source=static addr=A mask=M gateway=G|none [gwmetric=N]
//                                           EnableDHCP 0, IPAddress A, SubnetMask M, gateway G
//   add address "C" A M                     A and M appended
//   set dns "C" static none                 NameServer empty
//   add dns "C" S                           S appended to NameServer (comma-separated)
// The connection is found by its name under the network class keys, its settings under
// Services\Tcpip\Parameters\Interfaces\{its key}, in HKLM or, when IPSHIFTER_NETSH_MACHINE names
// a key under HKCU, there (the test process sees that key as HKLM). Where the registry has no
// network connections at all (no fixture wrote any), it only records.
// IPSHIFTER_NETSH_REFUSE=dns or =address refuses those commands as netsh does: a message, exit
// code 1, nothing changed. IPSHIFTER_NETSH_DELAY_MS makes every call take a while.
#include <windows.h>

#include "../../src/base/handle.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The command line after the program token (quoted or not) and the blanks that follow it.
std::wstring ArgumentText(const std::wstring& line) {
    size_t i = line.find_first_not_of(L" \t");
    if (i == std::wstring::npos)
        return {};
    if (line[i] == L'"') {
        size_t close = line.find(L'"', i + 1);
        i = close == std::wstring::npos ? line.size() : close + 1;
    } else {
        i = line.find_first_of(L" \t", i);
        if (i == std::wstring::npos)
            i = line.size();
    }
    i = line.find_first_not_of(L" \t", i);
    return i == std::wstring::npos ? std::wstring() : line.substr(i);
}

std::string Convert(const std::wstring& text, UINT codePage) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring LogPath() {
    std::wstring exe(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    exe.resize(n);
    return exe.substr(0, exe.find_last_of(L'\\') + 1) + L"netsh.log";
}

bool Log(const std::string& line) {
    base::unique_file log;
    // A test reading the log at that moment holds it for a while; the line must not be lost.
    for (int attempt = 0; attempt < 100 && !log; ++attempt) {
        if (attempt > 0)
            Sleep(20);
        log.reset(CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    DWORD written = 0;
    return log &&
           WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

std::string Env(const char* name) {
    char value[512] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

// Blank-separated words; a double-quoted stretch is one word, without its quotes.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

std::string Option(const std::vector<std::string>& words, const std::string& name) {
    for (const auto& w : words) {
        if (w.size() > name.size() &&
            lstrcmpiA(w.substr(0, name.size() + 1).c_str(), (name + "=").c_str()) == 0)
            return w.substr(name.size() + 1);
    }
    return {};
}

HKEY Machine(base::unique_hkey& holder) {
    const std::string scratch = Env("IPSHIFTER_NETSH_MACHINE");
    if (scratch.empty())
        return HKEY_LOCAL_MACHINE;
    RegOpenKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, KEY_ALL_ACCESS, holder.put());
    return holder.get();
}

std::string ReadText(HKEY key, const char* name) {
    char data[1024] = {};
    DWORD size = sizeof(data) - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS)
        return {};
    return data;
}

const char kNetworkKey[] = "SYSTEM\\CurrentControlSet\\Control\\Network";

bool AnyConnections(HKEY machine) {
    base::unique_hkey network;
    return machine &&
           RegOpenKeyExA(machine, kNetworkKey, 0, KEY_READ, network.put()) == ERROR_SUCCESS;
}

// The key name of the connection of that name, or empty.
std::string ConnectionKey(HKEY machine, const std::string& name) {
    base::unique_hkey classes;
    if (RegOpenKeyExA(machine, kNetworkKey, 0, KEY_READ, classes.put()) != ERROR_SUCCESS)
        return {};
    char className[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(className);
        if (RegEnumKeyExA(classes.get(), i, className, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            return {};
        base::unique_hkey classKey;
        if (RegOpenKeyExA(classes.get(), className, 0, KEY_READ, classKey.put()) != ERROR_SUCCESS)
            continue;
        char connection[256];
        for (DWORD j = 0;; ++j) {
            DWORD n = sizeof(connection);
            if (RegEnumKeyExA(classKey.get(), j, connection, &n, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            base::unique_hkey c;
            if (RegOpenKeyExA(classKey.get(), (std::string(connection) + "\\Connection").c_str(), 0,
                              KEY_READ, c.put()) == ERROR_SUCCESS &&
                ReadText(c.get(), "Name") == name)
                return connection;
        }
    }
}

std::vector<std::string> ReadMulti(HKEY key, const char* name) {
    char data[4096] = {};
    DWORD size = sizeof(data) - 2;
    std::vector<std::string> out;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS)
        return out;
    for (const char* p = data; *p; p += strlen(p) + 1)
        out.emplace_back(p);
    return out;
}

void WriteMulti(HKEY key, const char* name, const std::vector<std::string>& items) {
    std::string data;
    for (const auto& item : items)
        data += item + '\0';
    data += '\0';
    RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
}

void WriteText(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

void WriteDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

int Fail(const char* message) {
    std::printf("%s\r\n\r\n", message);
    return 1;
}

// Changes the kept settings as netsh would; its exit code.
int Emulate(const std::vector<std::string>& w) {
    auto is = [&](size_t i, const char* word) {
        return i < w.size() && lstrcmpiA(w[i].c_str(), word) == 0;
    };
    if (!(is(0, "interface") && is(1, "ip") && w.size() >= 5))
        return 0;
    const bool setAddress = is(2, "set") && is(3, "address");
    const bool addAddress = is(2, "add") && is(3, "address");
    const bool setDns = is(2, "set") && is(3, "dns");
    const bool addDns = is(2, "add") && is(3, "dns");
    const std::string refuse = Env("IPSHIFTER_NETSH_REFUSE");
    if (addDns && refuse == "dns")
        return Fail("The configured DNS server is incorrect or does not exist.");
    const bool staticAddress = (setAddress && Option(w, "source") == "static") || addAddress;
    if (staticAddress && refuse == "address")
        return Fail("The parameter is incorrect.");

    base::unique_hkey holder;
    const HKEY machine = Machine(holder);
    if (!AnyConnections(machine))
        return 0;
    const std::string connection = ConnectionKey(machine, w[4]);
    base::unique_hkey tcpip;
    if (connection.empty() ||
        RegOpenKeyExA(
            machine,
            ("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + connection)
                .c_str(),
            0, KEY_ALL_ACCESS, tcpip.put()) != ERROR_SUCCESS)
        return Fail("Element not found.");
    const HKEY key = tcpip.get();
    if (setAddress && Option(w, "source") == "dhcp") {
        WriteDword(key, "EnableDHCP", 1);
        WriteMulti(key, "IPAddress", {"0.0.0.0"});
        WriteMulti(key, "SubnetMask", {"0.0.0.0"});
        WriteMulti(key, "DefaultGateway", {});
        WriteMulti(key, "DefaultGatewayMetric", {});
    } else if (setAddress) {
        const std::string gateway = Option(w, "gateway");
        const bool none = lstrcmpiA(gateway.c_str(), "none") == 0;
        WriteDword(key, "EnableDHCP", 0);
        WriteMulti(key, "IPAddress", {Option(w, "addr")});
        WriteMulti(key, "SubnetMask", {Option(w, "mask")});
        WriteMulti(key, "DefaultGateway", none ? std::vector<std::string>{} : std::vector{gateway});
        WriteMulti(key, "DefaultGatewayMetric",
                   none ? std::vector<std::string>{} : std::vector{Option(w, "gwmetric")});
    } else if (addAddress && w.size() >= 7) {
        auto addresses = ReadMulti(key, "IPAddress");
        auto masks = ReadMulti(key, "SubnetMask");
        addresses.push_back(w[5]);
        masks.push_back(w[6]);
        WriteMulti(key, "IPAddress", addresses);
        WriteMulti(key, "SubnetMask", masks);
    } else if (setDns) {
        WriteText(key, "NameServer", "");
    } else if (addDns && w.size() >= 6) {
        const std::string servers = ReadText(key, "NameServer");
        WriteText(key, "NameServer", servers.empty() ? w[5] : servers + "," + w[5]);
    }
    return 0;
}

} // namespace

int main() {
    const std::string delay = Env("IPSHIFTER_NETSH_DELAY_MS");
    if (!delay.empty())
        Sleep(static_cast<DWORD>(atoi(delay.c_str())));
    const std::wstring arguments = ArgumentText(GetCommandLineW());
    if (!Log(Convert(arguments, CP_UTF8) + "\r\n"))
        return 1;
    return Emulate(Words(Convert(arguments, CP_ACP)));
}
