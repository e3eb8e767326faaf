// Stands in for a system tool that Wine's own cannot stand for; copied into the system folder under
// the tool's name. Every call appends its argument text as one line of <name>.log beside this
// program. With IPSHIFTER_<NAME>_FAIL set (IPSHIFTER_ICACLS_FAIL, ...), it prints an error and
// ends with that exit code, as a refused tool does; otherwise it ends with 0.
//
// As schtasks.exe (Wine's cannot create logon tasks), the tasks live as files in the folder
// schtasks-tasks beside it, and the failure applies to /Create only:
//   /Create ... /TN NAME /XML FILE  stores a copy of FILE as NAME.xml
//   /Create ... /TN NAME (no /XML)  stores the argument text as NAME.args
//   /Query /TN NAME                 0 when NAME is stored, else 1
//   /Delete ... /TN NAME            removes NAME, 1 when there was none
// As icacls.exe (Wine's cannot show access lists), it only records.
#include <windows.h>

#include "../../src/base/handle.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string OwnPath() {
    char exe[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof(exe));
    return std::string(exe, n);
}

std::string Beside(const std::string& name) {
    const std::string path = OwnPath();
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

// The name it was copied under, in lower case and without ".exe".
std::string OwnName() {
    std::string name = OwnPath().substr(OwnPath().find_last_of('\\') + 1);
    CharLowerBuffA(name.data(), static_cast<DWORD>(name.size()));
    const size_t dot = name.rfind(".exe");
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The exit code a test asked for through IPSHIFTER_<NAME>_FAIL, 0 when none.
int RequestedFailure(const std::string& name) {
    std::string variable = "IPSHIFTER_" + name + "_FAIL";
    CharUpperBuffA(variable.data(), static_cast<DWORD>(variable.size()));
    char fail[16] = {};
    if (GetEnvironmentVariableA(variable.c_str(), fail, sizeof(fail)) == 0)
        return 0;
    std::puts("ERROR: Access is denied.");
    return std::atoi(fail);
}

// The command line after the program token and the blanks that follow it.
std::string ArgumentText(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos)
        return {};
    if (line[i] == '"') {
        size_t close = line.find('"', i + 1);
        i = close == std::string::npos ? line.size() : close + 1;
    } else {
        i = line.find_first_of(" \t", i);
        if (i == std::string::npos)
            i = line.size();
    }
    i = line.find_first_not_of(" \t", i);
    return i == std::string::npos ? std::string() : line.substr(i);
}

bool Append(const std::string& path, const std::string& text) {
    base::unique_file file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string Option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (lstrcmpiA(argv[i], name) == 0)
            return argv[i + 1];
    }
    return {};
}

bool HasFlag(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (lstrcmpiA(argv[i], name) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const std::string tool = OwnName();
    if (!Append(Beside(tool + ".log"), ArgumentText(GetCommandLineA()) + "\r\n"))
        return 2;
    if (tool != "schtasks")
        return RequestedFailure(tool);
    const std::string store = Beside("schtasks-tasks");
    const std::string name = Option(argc, argv, "/TN");
    if (name.empty()) {
        std::puts("ERROR: Invalid syntax. /TN is missing.");
        return 1;
    }
    const std::string stored = store + "\\" + name;

    if (HasFlag(argc, argv, "/Create")) {
        if (const int failure = RequestedFailure(tool))
            return failure;
        CreateDirectoryA(store.c_str(), nullptr);
        DeleteFileA((stored + ".xml").c_str());
        DeleteFileA((stored + ".args").c_str());
        const std::string xml = Option(argc, argv, "/XML");
        const bool ok = xml.empty() ? Append(stored + ".args", ArgumentText(GetCommandLineA()))
                                    : CopyFileA(xml.c_str(), (stored + ".xml").c_str(), FALSE) != 0;
        if (!ok) {
            std::puts("ERROR: The system cannot find the file specified.");
            return 1;
        }
        std::printf("SUCCESS: The scheduled task \"%s\" has successfully been created.\n",
                    name.c_str());
        return 0;
    }

    const bool exists = GetFileAttributesA((stored + ".xml").c_str()) != INVALID_FILE_ATTRIBUTES ||
                        GetFileAttributesA((stored + ".args").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (HasFlag(argc, argv, "/Query") || HasFlag(argc, argv, "/Delete")) {
        if (!exists) {
            std::puts("ERROR: The system cannot find the file specified.");
            return 1;
        }
        if (HasFlag(argc, argv, "/Delete")) {
            DeleteFileA((stored + ".xml").c_str());
            DeleteFileA((stored + ".args").c_str());
            std::printf("SUCCESS: The scheduled task \"%s\" was successfully deleted.\n",
                        name.c_str());
        }
        return 0;
    }
    std::puts("ERROR: Invalid syntax.");
    return 1;
}
