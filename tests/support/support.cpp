#include "support.h"

#include "toolkit/app.h"

#include <cstring>
#include <fstream>
#include <vector>
#include <map>
#include <sstream>

namespace testsupport {
namespace {

int g_endProgramCalls = 0;
UINT g_lastExitCode = 0;

int UnexpectedMessageBox(HWND, LPCSTR text, LPCSTR, UINT type) {
    ADD_FAILURE() << "unanswered message box: " << (text ? text : "");
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

INT_PTR UnexpectedDialog(HINSTANCE, LPCDLGTEMPLATEA, HWND, DLGPROC, LPARAM) {
    ADD_FAILURE() << "unanswered input box";
    return IDCANCEL;
}

BOOL UnexpectedPopup(HMENU, UINT, int, int, int, HWND, const RECT*) {
    ADD_FAILURE() << "unanswered popup menu";
    return 0;
}

std::map<std::string, ChildMain>& Children() {
    static std::map<std::string, ChildMain> children;
    return children;
}

} // namespace

void NoRealDialogs::SetUp() {
    platform::Calls& calls = platform::Current();
    calls.MessageBoxA = UnexpectedMessageBox;
    calls.DialogBoxIndirectParamA = UnexpectedDialog;
    calls.TrackPopupMenu = UnexpectedPopup;
    calls.ExitProcess = [](UINT code) {
        ++g_endProgramCalls;
        g_lastExitCode = code;
    };
}

int EndProgramCalls() {
    return g_endProgramCalls;
}
void ResetEndProgramCalls() {
    g_endProgramCalls = 0;
    g_lastExitCode = 0;
}
int LastExitCode() {
    return static_cast<int>(g_lastExitCode);
}

MessageBoxRecord DecodeMessageBox(LPCSTR text, UINT type) {
    MessageBoxRecord r;
    r.prompt = text ? text : "";
    r.buttons = (type & MB_TYPEMASK) == MB_YESNO ? tk::MsgButtons::YesNo : tk::MsgButtons::Ok;
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        r.icon = tk::MsgIcon::Critical;
        break;
    case MB_ICONEXCLAMATION:
        r.icon = tk::MsgIcon::Exclamation;
        break;
    case MB_ICONQUESTION:
        r.icon = tk::MsgIcon::Question;
        break;
    default:
        r.icon = tk::MsgIcon::None;
        break;
    }
    return r;
}

int ButtonOf(tk::MsgResult answer) {
    switch (answer) {
    case tk::MsgResult::Yes:
        return IDYES;
    case tk::MsgResult::No:
        return IDNO;
    default:
        return IDOK;
    }
}

INT_PTR AnswerInputDialog(HINSTANCE instance, LPCDLGTEMPLATEA dialog, HWND owner, DLGPROC proc,
                          LPARAM param, const std::string* answer, std::string& prompt,
                          std::string& defaultText) {
    HWND box = CreateDialogIndirectParamA(instance, dialog, owner, proc, param);
    if (!box) {
        ADD_FAILURE() << "the input dialog could not be made";
        return -1;
    }
    char text[1024] = {};
    GetDlgItemTextA(box, tk::kInputBoxPromptId, text, sizeof(text));
    prompt = text;
    GetDlgItemTextA(box, tk::kInputBoxTextId, text, sizeof(text));
    defaultText = text;
    if (answer)
        SetDlgItemTextA(box, tk::kInputBoxTextId, answer->c_str());
    const int button = answer ? IDOK : IDCANCEL;
    SendMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    DestroyWindow(box);
    return button;
}

DialogRecorder::DialogRecorder()
    : box_(&platform::Calls::MessageBoxA,
           [this](HWND, LPCSTR text, LPCSTR, UINT type) {
               const MessageBoxRecord record = DecodeMessageBox(text, type);
               messages.push_back(record);
               if (onMessage)
                   return ButtonOf(onMessage(record));
               if (!answers.empty()) {
                   const auto a = answers.front();
                   answers.pop_front();
                   return ButtonOf(a);
               }
               return record.buttons == tk::MsgButtons::YesNo ? IDNO : IDOK;
           }),
      input_(&platform::Calls::DialogBoxIndirectParamA,
             [this](HINSTANCE instance, LPCDLGTEMPLATEA dialog, HWND owner, DLGPROC proc,
                    LPARAM param) -> INT_PTR {
                 std::string prompt, defaultText;
                 if (inputAnswers.empty()) {
                     const INT_PTR r = AnswerInputDialog(instance, dialog, owner, proc, param,
                                                         nullptr, prompt, defaultText);
                     ADD_FAILURE() << "input box without a scripted answer: " << prompt;
                     inputs.emplace_back(prompt, defaultText);
                     return r;
                 }
                 const std::string answer = inputAnswers.front();
                 inputAnswers.pop_front();
                 const INT_PTR r = AnswerInputDialog(instance, dialog, owner, proc, param, &answer,
                                                     prompt, defaultText);
                 inputs.emplace_back(prompt, defaultText);
                 return r;
             }) {}

DialogRecorder::~DialogRecorder() = default;

ProgramStartedIn::ProgramStartedIn(const std::string& folder, const std::string& arguments)
    : exe_(folder + "\\Ipshifter.exe"),
      commandLine_("\"" + exe_ + "\"" + (arguments.empty() ? "" : " " + arguments)),
      module_(&platform::Calls::GetModuleFileNameA,
              [this](HMODULE module, LPSTR buffer, DWORD size) -> DWORD {
                  if (module != nullptr)
                      return ::GetModuleFileNameA(module, buffer, size);
                  if (size <= exe_.size())
                      return 0;
                  lstrcpynA(buffer, exe_.c_str(), static_cast<int>(size));
                  return static_cast<DWORD>(exe_.size());
              }),
      commandLineCall_(&platform::Calls::GetCommandLineA, [this] { return commandLine_.data(); }) {}

VersionReported::VersionReported(DWORD platformId, DWORD major, DWORD minor)
    : call_(&platform::Calls::GetVersionExA, [=](LPOSVERSIONINFOA info) {
          info->dwPlatformId = platformId;
          info->dwMajorVersion = major;
          info->dwMinorVersion = minor;
          return TRUE;
      }) {}

TrayRecorder::TrayRecorder()
    : call_(&platform::Calls::Shell_NotifyIconA, [this](DWORD message, PNOTIFYICONDATAA data) {
          messages.push_back(message);
          records.push_back(*data);
          return TRUE;
      }) {}

ProcessStarts::ProcessStarts(StartFn start)
    : call_(&platform::Calls::CreateProcessA,
            [start = std::move(start)](LPCSTR, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                                       LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR,
                                       LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info) {
                return start(commandLine ? commandLine : "", startup ? startup->wShowWindow : 0,
                             *info);
            }) {}

BOOL StartForReal(const std::string& commandLine, PROCESS_INFORMATION& info) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &info);
}

tk::FileVersion ReadFileVersion(const std::string& path) {
    tk::FileVersion v;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return v;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        return v;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!VerQueryValueA(data.data(), root, reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return v;
    v.major = HIWORD(info->dwFileVersionMS);
    v.minor = LOWORD(info->dwFileVersionMS);
    v.patch = HIWORD(info->dwFileVersionLS);
    v.revision = LOWORD(info->dwFileVersionLS);
    return v;
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

std::string CrLfText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
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

// The test program's own path, whatever the program under test is made to see as its own.
std::string TestProgramPath() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n < MAX_PATH ? n : 0);
}

std::vector<IconPicture> IconPictures(HMODULE module, LPCSTR group) {
    auto resource = [module](LPCSTR name, LPCSTR type) {
        HRSRC found = FindResourceA(module, name, type);
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found))
                    : std::string();
    };
    const std::string directory = resource(group, MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    // The group's head (3 WORDs), then 14-byte entries: width, height, colours, reserved,
    // planes, bits, size, ID.
    std::vector<IconPicture> pictures;
    if (directory.size() < 6)
        return pictures;
    WORD count = 0;
    memcpy(&count, directory.data() + 4, sizeof(count));
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= directory.size(); ++i) {
        const char* entry = directory.data() + 6 + 14 * i;
        WORD id = 0;
        memcpy(&id, entry + 12, sizeof(id));
        IconPicture picture;
        const int width = static_cast<unsigned char>(entry[0]);
        picture.size = width == 0 ? 256 : width;
        picture.bytes = resource(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3)); // RT_ICON
        picture.png = picture.bytes.compare(0, 4, "\x89PNG") == 0;
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

namespace {

// The first name an enumeration meets: an ID, or a copy of a name given as text.
struct FirstName {
    LPCSTR id = nullptr;
    std::string text;
};

BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    auto* first = reinterpret_cast<FirstName*>(found);
    if (IS_INTRESOURCE(name))
        first->id = name;
    else
        first->text = name;
    return FALSE;
}

} // namespace

std::vector<IconPicture> IconPictures(const std::string& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return {};
    FirstName first;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(14), TakeFirstName,
                       reinterpret_cast<LONG_PTR>(&first));
    std::vector<IconPicture> pictures;
    if (first.id || !first.text.empty())
        pictures = IconPictures(module, first.id ? first.id : first.text.c_str());
    FreeLibrary(module);
    return pictures;
}

std::string BinDir() {
    std::string exe = TestProgramPath();
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
    base::unique_hkey key;
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
    cmd += TestProgramPath();
    cmd += "\" --child ";
    cmd += name;
    for (const auto& a : args)
        cmd += " \"" + a + "\"";
    return cmd;
}

} // namespace testsupport
