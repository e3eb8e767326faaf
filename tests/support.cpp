#include "support.h"

#include "toolkit/app.h"

#include <fstream>
#include <map>
#include <sstream>

namespace testsupport {
namespace {

int g_endProgramCalls = 0;

tk::MsgResult UnexpectedMessageBox(const tk::MessageBoxRequest& request) {
    ADD_FAILURE() << "unanswered message box: " << request.prompt;
    return request.buttons == tk::MsgButtons::YesNo ? tk::MsgResult::No : tk::MsgResult::Ok;
}

std::string UnexpectedInputBox(const std::string& prompt, const std::string&) {
    ADD_FAILURE() << "unanswered input box: " << prompt;
    return {};
}

UINT UnexpectedPopup(HMENU, HWND, POINT) {
    ADD_FAILURE() << "unanswered popup menu";
    return 0;
}

std::map<std::string, ChildMain>& Children() {
    static std::map<std::string, ChildMain> children;
    return children;
}

} // namespace

void NoRealDialogs::SetUp() {
    tk::SetMessageBoxHandler(UnexpectedMessageBox);
    tk::SetInputBoxHandler(UnexpectedInputBox);
    tk::SetPopupHandler(UnexpectedPopup);
    tk::SetEndProgramHandler([] { ++g_endProgramCalls; });
}

int EndProgramCalls() {
    return g_endProgramCalls;
}
void ResetEndProgramCalls() {
    g_endProgramCalls = 0;
}

DialogRecorder::DialogRecorder() {
    tk::SetMessageBoxHandler([this](const tk::MessageBoxRequest& request) {
        messages.push_back(request);
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return request.buttons == tk::MsgButtons::YesNo ? tk::MsgResult::No : tk::MsgResult::Ok;
    });
    tk::SetInputBoxHandler([this](const std::string& prompt, const std::string& def) {
        inputs.emplace_back(prompt, def);
        if (inputAnswers.empty()) {
            ADD_FAILURE() << "input box without a scripted answer: " << prompt;
            return std::string();
        }
        auto a = inputAnswers.front();
        inputAnswers.pop_front();
        return a;
    });
}

DialogRecorder::~DialogRecorder() {
    tk::SetMessageBoxHandler(UnexpectedMessageBox);
    tk::SetInputBoxHandler(UnexpectedInputBox);
}

std::vector<std::string> DialogRecorder::Prompts() const {
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.prompt);
    return out;
}

ScratchDir::ScratchDir(const std::string& hint) {
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, temp);
    std::string base(temp, n);
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    static int counter = 0;
    for (;;) {
        path_ = base + "\\" + hint + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create scratch folder " + path_);
    }
}

ScratchDir::~ScratchDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    if (start < text.size())
        out.push_back(text.substr(start));
    return out;
}

std::string BinDir() {
    std::string exe = tk::AppExePath();
    return exe.substr(0, exe.find_last_of('\\'));
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            out.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

Process StartProcess(const std::string& commandLine, const std::string& workingDir) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    Process p;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << commandLine << " (error " << GetLastError() << ")";
        return p;
    }
    CloseHandle(pi.hThread);
    p.handle.reset(pi.hProcess);
    p.pid = pi.dwProcessId;
    return p;
}

int WaitProcess(const Process& p, DWORD timeoutMs) {
    if (!p.handle)
        return -1;
    if (WaitForSingleObject(p.handle.get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(p.handle.get(), &code);
    return static_cast<int>(code);
}

bool IsRunning(const Process& p) {
    return p.handle && WaitForSingleObject(p.handle.get(), 0) == WAIT_TIMEOUT;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        tk::DoEvents();
        Sleep(20);
    }
}

namespace {
struct FindData {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND found;
};
BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != d->pid)
        return TRUE;
    char buf[256] = {};
    if (d->cls) {
        GetClassNameA(hwnd, buf, sizeof(buf));
        if (lstrcmpiA(buf, d->cls) != 0)
            return TRUE;
    }
    if (d->title) {
        GetWindowTextA(hwnd, buf, sizeof(buf));
        if (lstrcmpA(buf, d->title) != 0)
            return TRUE;
    }
    d->found = hwnd;
    return FALSE;
}
BOOL CALLBACK StaticTextProc(HWND hwnd, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    if (!text[0])
        return TRUE;
    *reinterpret_cast<std::string*>(lp) = text;
    return FALSE;
}
} // namespace

HWND FindProcessWindow(DWORD pid, const char* className, const char* title) {
    FindData d{pid, className, title, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

std::string MessageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, StaticTextProc, reinterpret_cast<LPARAM>(&text));
    return text;
}

WineVersionFor::WineVersionFor(const std::string& exeName, const std::string& version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName) {
    tk::unique_hkey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create " << key_;
        return;
    }
    RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
}

WineVersionFor::~WineVersionFor() {
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
}

ChildRegistrar::ChildRegistrar(const std::string& name, ChildMain main) {
    Children()[name] = std::move(main);
}

bool RunChildMode(int argc, char** argv, int& exitCode) {
    if (argc < 3 || std::string(argv[1]) != "--child")
        return false;
    auto it = Children().find(argv[2]);
    if (it == Children().end()) {
        exitCode = 2;
        return true;
    }
    std::vector<std::string> args(argv + 3, argv + argc);
    exitCode = it->second(args);
    return true;
}

std::string ChildCommandLine(const std::string& name, const std::vector<std::string>& args) {
    std::string cmd = "\"";
    cmd += tk::AppExePath();
    cmd += "\" --child ";
    cmd += name;
    for (const auto& a : args)
        cmd += " \"" + a + "\"";
    return cmd;
}

} // namespace testsupport
