// The 64-bit setup run the way an administrator runs it: a silent install, an install over an
// install whose program is running, preset profiles, the protected folder, the silent
// uninstall, the start at logon on Windows XP, and the faults that must leave nothing half
// installed. Each test starts from a machine without Ipshifter, with recording stand-ins for
// schtasks.exe and icacls.exe in the system folder (Wine's own cannot create logon tasks or show
// access lists), and leaves the machine that way.
#include "support.h"

#include "base/names.h"
#include "toolkit/app.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const char kArpKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ipshifter";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Another folder, with a character that must be escaped in the task's XML.
const char kOtherParent[] = "C:\\Tools & More";
const char kOtherDir[] = "C:\\Tools & More\\Ipshifter";
// A file where the setup is told to make a folder.
const char kBlocker[] = "C:\\ipshifter-blocker";
constexpr DWORD kSetupWaitMs = 60000;
// Where Wine is told to run the native stand-ins rather than its builtin tools.
const char kOverridesKey[] = "Software\\Wine\\DllOverrides";
const char* const kStandIns[] = {"schtasks", "icacls"};

// A profile file as the program writes it, so that reading it back changes nothing.
const char kProfiles[] = "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=Office\r\n[PROFILE1]\r\n"
                         "INTERFACE=Local Area Connection\r\nDHCP=0\r\nIPCOUNT=1\r\n"
                         "IP1=192.0.2.10\r\nSUBNET=255.255.255.0\r\nGATEWAY=192.0.2.1\r\n"
                         "METRIC=1\r\nDNSCOUNT=1\r\nDNS1=192.0.2.53\r\nSELECTED=1\r\n";
// The profiles an administrator hands every machine of a fleet.
const char kPresetProfiles[] = "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=Fleet\r\n[PROFILE1]\r\n"
                               "INTERFACE=Local Area Connection\r\nDHCP=1\r\nSELECTED=0\r\n";
// What the access list of a protected folder is made of.
const char kOwnerArgs[] = " /setowner *S-1-5-32-544";
const char kGrantArgs[] = " /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F "
                          "*S-1-5-32-545:(OI)(CI)RX";

template <typename T> class Com {
public:
    Com() = default;
    ~Com() {
        if (p_)
            p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() { return &p_; }
    void** put_void() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

struct ComInit {
    ComInit() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComInit() { CoUninitialize(); }
};

struct hmodule_traits {
    using type = HMODULE;
    static type invalid() { return nullptr; }
    static void close(type h) { FreeLibrary(h); }
};
using unique_hmodule = base::unique_any<hmodule_traits>;

std::string Narrow(const wchar_t* text) {
    if (!text || !*text)
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::wstring Widen(const std::string& text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), size);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::string VersionText() {
    const tk::FileVersion v = testsupport::ReadFileVersion(BinDir() + "\\Ipshifter.exe");
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch) +
           "." + std::to_string(v.revision);
}

// A path of the host as this program sees it (Wine's Z: is /).
std::string HostPath(const std::string& path) {
    std::string out = "Z:" + path;
    for (char& c : out) {
        if (c == '/')
            c = '\\';
    }
    return out;
}

// The release files the packaging script wrote for the tests.
std::string DistDir() {
    return HostPath(IPSHIFTER_DIST_DIR);
}

std::string SetupName() {
    return "Ipshifter-" + VersionText() + "-setup-x64.exe";
}

std::string Folder(int csidl) {
    char path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return path;
}

std::string DefaultDir() {
    return Folder(CSIDL_PROGRAM_FILES) + "\\Ipshifter";
}

std::string Shortcut() {
    return Folder(CSIDL_COMMON_PROGRAMS) + "\\Ipshifter.lnk";
}

std::string SystemDir() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, sizeof(path));
    return path;
}

std::string TaskStore() {
    return SystemDir() + "\\schtasks-tasks";
}

std::string StoredTask() {
    return TaskStore() + "\\Ipshifter.xml";
}

// The argument texts a stand-in was called with, in order.
std::vector<std::string> StandInCalls(const std::string& tool) {
    return SplitCrLf(ReadFileBytes(SystemDir() + "\\" + tool + ".log"));
}

std::vector<std::string> SchtasksCalls() {
    return StandInCalls("schtasks");
}

// The icacls calls that give the folder dir, and then each of the files named, the access list
// of a protected folder.
std::vector<std::string> ProtectionCalls(const std::string& dir,
                                         const std::vector<std::string>& files) {
    std::vector<std::string> calls = {"\"" + dir + "\"" + kOwnerArgs,
                                      "\"" + dir + "\"" + kGrantArgs};
    for (const std::string& file : files) {
        calls.push_back("\"" + dir + "\\" + file + "\"" + kOwnerArgs);
        calls.push_back("\"" + dir + "\\" + file + "\" /reset");
    }
    return calls;
}

// The picture sizes of an executable's icon, with "png" after those stored as PNG.
std::vector<std::string> IconSizes(const std::string& path) {
    std::vector<std::string> sizes;
    for (const IconPicture& p : IconPictures(path))
        sizes.push_back(std::to_string(p.size) + (p.png ? " png" : ""));
    std::sort(sizes.begin(), sizes.end(), [](const std::string& a, const std::string& b) {
        return std::stoi(a) < std::stoi(b);
    });
    return sizes;
}

bool KeyExists(HKEY root, const char* path) {
    base::unique_hkey key;
    return RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A string value, or "(none)" when it is missing or of another type.
std::string RegText(HKEY root, const char* path, const char* name) {
    base::unique_hkey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return "(none)";
    char data[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof(data) - 1;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "(none)";
    return data;
}

// A DWORD value, or -1 when it is missing or of another type.
long long RegNumber(HKEY root, const char* path, const char* name) {
    base::unique_hkey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return -1;
    DWORD data = 0;
    DWORD type = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return data;
}

// The program a shortcut starts, as the shell reads it.
std::string ShortcutTarget(const std::string& lnk) {
    ComInit com;
    Com<IShellLinkA> link;
    Com<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.put_void())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
        FAILED(file->Load(Widen(lnk).c_str(), STGM_READ)))
        return "(no shortcut)";
    char path[MAX_PATH] = {};
    if (FAILED(link->GetPath(path, sizeof(path), nullptr, SLGP_RAWPATH)))
        return "(no target)";
    return path;
}

// A task definition as Task Scheduler reads it: element paths ("Task/Settings/Priority") to
// their text, attributes as "path@name". Empty when the file is not well-formed XML.
std::map<std::string, std::string> ReadTaskXml(const std::string& file, std::string& error) {
    std::map<std::string, std::string> values;
    const std::string bytes = ReadFileBytes(file);
    unique_hmodule lib(LoadLibraryA("xmllite.dll"));
    using Factory = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    auto create = lib ? reinterpret_cast<Factory>(
                            reinterpret_cast<void*>(GetProcAddress(lib.get(), "CreateXmlReader")))
                      : nullptr;
    Com<IXmlReader> reader;
    Com<IStream> stream;
    if (!create || FAILED(create(__uuidof(IXmlReader), reader.put_void(), nullptr))) {
        error = "no XML reader";
        return {};
    }
    *stream.put() = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                      static_cast<UINT>(bytes.size()));
    if (!stream.get() || FAILED(reader->SetInput(stream.get()))) {
        error = "cannot read " + file;
        return {};
    }
    // Wine's reader takes a bare & as text; Windows' does not.
    const std::string decoded =
        bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0
            ? Narrow(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                  (bytes.size() - 2) / 2)
                         .c_str())
            : bytes;
    for (size_t at = decoded.find('&'); at != std::string::npos; at = decoded.find('&', at + 1)) {
        static const char* const entities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#"};
        bool known = false;
        for (const char* entity : entities)
            known = known || decoded.compare(at, strlen(entity), entity) == 0;
        if (!known) {
            error = "not well-formed XML: a bare & at \"" + decoded.substr(at, 20) + "\"";
            return {};
        }
    }
    std::vector<std::string> path;
    auto joined = [&path] {
        std::string out;
        for (const auto& part : path)
            out += (out.empty() ? "" : "/") + part;
        return out;
    };
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        const wchar_t* text = nullptr;
        if (type == XmlNodeType_Element) {
            const bool empty = reader->IsEmptyElement();
            reader->GetLocalName(&text, nullptr);
            path.push_back(Narrow(text));
            const std::string here = joined();
            for (HRESULT a = reader->MoveToFirstAttribute(); a == S_OK;
                 a = reader->MoveToNextAttribute()) {
                const wchar_t* value = nullptr;
                reader->GetLocalName(&text, nullptr);
                reader->GetValue(&value, nullptr);
                values[here + "@" + Narrow(text)] = Narrow(value);
            }
            reader->MoveToElement();
            if (empty)
                path.pop_back();
        } else if (type == XmlNodeType_Text) {
            reader->GetValue(&text, nullptr);
            values[joined()] += Narrow(text);
        } else if (type == XmlNodeType_EndElement && !path.empty()) {
            path.pop_back();
        }
    }
    if (hr != S_FALSE) {
        error = "not well-formed XML (error " + std::to_string(static_cast<long>(hr)) + ")";
        return {};
    }
    return values;
}

// The components tree of the page an NSIS dialog shows, or null.
HWND ComponentsTree(HWND dialog) {
    for (HWND page = FindWindowExA(dialog, nullptr, "#32770", nullptr); page;
         page = FindWindowExA(dialog, page, "#32770", nullptr)) {
        if (HWND tree = FindWindowExA(page, nullptr, "SysTreeView32", nullptr))
            return tree;
    }
    return nullptr;
}

// The check box image of a tree item: TVM_GETITEMSTATE needs no memory in the other process.
int CheckImage(HWND tree, HTREEITEM item) {
    const LRESULT state =
        SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
}

std::string ButtonText(HWND dialog, int id) {
    char text[64] = {};
    GetWindowTextA(GetDlgItem(dialog, id), text, sizeof(text));
    return text;
}

class SetupTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(DistDir() + "\\" + SetupName()))
            << DistDir() << "\\" << SetupName() << " is missing: the Package.Build test makes it";
        // The stand-ins, and Wine told to run them instead of its builtin tools. An override
        // set in this process's environment does not reach the setup's children.
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, overrides_.put(), nullptr),
                  ERROR_SUCCESS);
        for (const char* tool : kStandIns) {
            const std::string real = SystemDir() + "\\" + tool + ".exe";
            if (!FileExists(Saved(tool))) {
                ASSERT_TRUE(MoveFileA(real.c_str(), Saved(tool).c_str()));
            }
            ASSERT_TRUE(CopyFileTo(BinDir() + "\\command_recorder.exe", real));
            ASSERT_EQ(RegSetValueExA(overrides_.get(), (std::string(tool) + ".exe").c_str(), 0,
                                     REG_SZ, reinterpret_cast<const BYTE*>("native"), 7),
                      ERROR_SUCCESS);
        }
        // Wine's menu builder would copy each new Start-menu shortcut into the desktop menus of
        // the Linux user, and holds the program file open for its icon while rollback removes it.
        ASSERT_EQ(RegSetValueExA(overrides_.get(), "winemenubuilder.exe", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(""), 1),
                  ERROR_SUCCESS);
        RemoveEverything();
    }

    void TearDown() override {
        for (Process* p : {&program_, &uninstaller_}) {
            if (IsRunning(*p)) {
                TerminateProcess(p->handle.get(), 1);
                WaitProcess(*p, 5000);
            }
        }
        RemoveEverything();
        SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", nullptr);
        SetEnvironmentVariableA("IPSHIFTER_ICACLS_FAIL", nullptr);
        if (overrides_)
            RegDeleteValueA(overrides_.get(), "winemenubuilder.exe");
        for (const char* tool : kStandIns) {
            if (overrides_)
                RegDeleteValueA(overrides_.get(), (std::string(tool) + ".exe").c_str());
            if (FileExists(Saved(tool))) {
                EXPECT_TRUE(MoveFileExA(Saved(tool).c_str(),
                                        (SystemDir() + "\\" + tool + ".exe").c_str(),
                                        MOVEFILE_REPLACE_EXISTING));
            }
        }
    }

    static std::string Saved(const std::string& tool) {
        return SystemDir() + "\\" + tool + ".exe.ipshifter-saved";
    }

    // Removal fails for as long as another process still has something in the folder open.
    static void RemoveFolder(const std::string& path) {
        for (int i = 0; i < 100 && FileExists(path); ++i) {
            RemoveTree(path);
            if (FileExists(path))
                Sleep(20);
        }
        EXPECT_FALSE(FileExists(path)) << "cannot remove " << path;
    }

    static void RemoveEverything() {
        RemoveFolder(DefaultDir());
        RemoveFolder(kOtherParent);
        DeleteFileA(kBlocker);
        DeleteFileA(Shortcut().c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kArpKey);
        base::unique_hkey run;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, run.put()) ==
            ERROR_SUCCESS)
            RegDeleteValueA(run.get(), "Ipshifter");
        RemoveFolder(TaskStore());
        for (const char* tool : kStandIns)
            DeleteFileA((SystemDir() + "\\" + tool + ".log").c_str());
    }

    // Runs the setup with the arguments; its exit code, -1 after the time-out.
    static int RunSetup(const std::string& args) {
        Process setup = StartProcess("\"" + DistDir() + "\\" + SetupName() + "\" " + args);
        return WaitProcess(setup, kSetupWaitMs);
    }

    // Runs the uninstaller of the install in dir silently and waits for it. Started as it is,
    // it copies itself away and returns at once; a copy started with _?= works in place.
    static int RunUninstall(const std::string& dir, const std::string& args = "/S") {
        ScratchDir scratch("ipun");
        const std::string copy = scratch.File("uninstall.exe");
        if (!CopyFileTo(dir + "\\uninstall.exe", copy))
            return -2;
        Process p = StartProcess("\"" + copy + "\" " + args + " _?=" + dir);
        return WaitProcess(p, kSetupWaitMs);
    }

    // What a complete install in dir consists of, apart from the start at logon.
    static void ExpectInstalledIn(const std::string& dir) {
        EXPECT_EQ(ReadFileBytes(dir + "\\Ipshifter.exe"),
                  ReadFileBytes(BinDir() + "\\Ipshifter.exe"))
            << "the installed program is not the one built (is the setup older than the build?)";
        EXPECT_TRUE(FileExists(dir + "\\Ipshifter-Guide.txt"));
        EXPECT_TRUE(FileExists(dir + "\\uninstall.exe"));
        EXPECT_EQ(ShortcutTarget(Shortcut()), dir + "\\Ipshifter.exe");
        const struct {
            const char* name;
            std::string value;
        } texts[] = {
            {"DisplayName", "Ipshifter"},
            {"DisplayVersion", VersionText()},
            {"Publisher", "Ipshifter"},
            {"DisplayIcon", dir + "\\Ipshifter.exe,0"},
            {"InstallLocation", dir},
            {"UninstallString", "\"" + dir + "\\uninstall.exe\""},
            {"QuietUninstallString", "\"" + dir + "\\uninstall.exe\" /S"},
        };
        for (const auto& t : texts)
            EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kArpKey, t.name), t.value) << t.name;
        const long long files =
            static_cast<long long>(ReadFileBytes(dir + "\\Ipshifter.exe").size() +
                                   ReadFileBytes(dir + "\\uninstall.exe").size());
        const long long kb = RegNumber(HKEY_LOCAL_MACHINE, kArpKey, "EstimatedSize");
        EXPECT_GE(kb, files / 1024) << "EstimatedSize in KB";
        EXPECT_LE(kb, files / 1024 + 64) << "EstimatedSize in KB";
        EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kArpKey, "NoModify"), 1);
    }

    // The logon task the setup registered, as Task Scheduler would read it, for the program in
    // dir: any administrator's logon, elevated, none of the defaults that stop a resident program.
    static void ExpectLogonTaskFor(const std::string& dir) {
        std::string error;
        const auto task = ReadTaskXml(StoredTask(), error);
        ASSERT_FALSE(task.empty()) << StoredTask() << ": " << error;
        EXPECT_EQ(ReadFileBytes(StoredTask()).substr(0, 2), "\xFF\xFE") << "UTF-16 LE with BOM";
        const std::map<std::string, std::string> expected = {
            {"Task@xmlns", "http://schemas.microsoft.com/windows/2004/02/mit/task"},
            {"Task@version", "1.2"},
            {"Task/Triggers/LogonTrigger/Enabled", "true"},
            {"Task/Principals/Principal@id", "Author"},
            {"Task/Principals/Principal/GroupId", "S-1-5-32-544"},
            {"Task/Principals/Principal/RunLevel", "HighestAvailable"},
            {"Task/Settings/DisallowStartIfOnBatteries", "false"},
            {"Task/Settings/StopIfGoingOnBatteries", "false"},
            {"Task/Settings/ExecutionTimeLimit", "PT0S"},
            {"Task/Settings/MultipleInstancesPolicy", "IgnoreNew"},
            {"Task/Settings/Enabled", "true"},
            {"Task/Actions@Context", "Author"},
            {"Task/Actions/Exec/Command", "\"" + dir + "\\Ipshifter.exe\""},
            {"Task/Actions/Exec/WorkingDirectory", dir},
        };
        for (const auto& [path, value] : expected) {
            auto it = task.find(path);
            EXPECT_EQ(it == task.end() ? "(missing)" : it->second, value) << path;
        }
        // A logon of one user only would leave out every other administrator.
        EXPECT_EQ(task.count("Task/Triggers/LogonTrigger/UserId"), 0u);
    }

    static void ExpectCreateCall(const std::string& call) {
        const std::string head = "/Create /F /TN \"Ipshifter\" /XML \"";
        EXPECT_EQ(call.substr(0, head.size()), head) << call;
        EXPECT_GT(call.size(), head.size() + 1);
        EXPECT_EQ(call.back(), '"') << call;
    }

    static void WriteProfiles(const std::string& dir) {
        WriteFileBytes(dir + "\\Ipshifter.ini", kProfiles);
    }

    Process program_;
    Process uninstaller_;
    base::unique_hkey overrides_;
};

TEST_F(SetupTest, SilentInstallPutsProgramShortcutEntryAndLogonTaskInPlace) {
    ASSERT_EQ(RunSetup("/S"), 0);
    const std::string dir = DefaultDir();
    ExpectInstalledIn(dir);
    // The program makes its profile file on its first start; the setup leaves it alone.
    EXPECT_FALSE(FileExists(dir + "\\Ipshifter.ini"));
    const auto calls = SchtasksCalls();
    ASSERT_EQ(calls.size(), 1u);
    ExpectCreateCall(calls[0]);
    ExpectLogonTaskFor(dir);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Ipshifter"), "(none)")
        << "Vista and later do not start an elevated program from the Run key";
}

TEST_F(SetupTest, InstallOverARunningInstallEndsItKeepsTheProfilesAndReplacesIt) {
    ASSERT_EQ(RunSetup("/S /D=" + std::string(kOtherDir)), 0);
    const std::string dir = kOtherDir;
    WriteProfiles(dir);
    // An older program in its place: the same one with bytes after its end, still runnable.
    const std::string exe = dir + "\\Ipshifter.exe";
    WriteFileBytes(exe, ReadFileBytes(exe) + "an older build");
    program_ = StartProcess("\"" + exe + "\"", dir);
    ASSERT_TRUE(WaitUntil(
        [this] {
            return FindProcessWindow(program_.pid, kMainWindowClass, kMainWindowTitle) != nullptr;
        },
        10000))
        << "the installed program did not start";

    // No /D=: the setup finds the earlier install itself.
    const int setup = RunSetup("/S");
    EXPECT_EQ(WaitProcess(program_, 0), 0) << "the running program was not ended by its close "
                                              "request (exit code 0), or not at all (-1)";
    ASSERT_EQ(setup, 0) << "3: the program did not end when asked to close";
    ExpectInstalledIn(dir);
    EXPECT_EQ(ReadFileBytes(dir + "\\Ipshifter.ini"), kProfiles);
    EXPECT_FALSE(FileExists(DefaultDir()));
    const auto calls = SchtasksCalls();
    ASSERT_EQ(calls.size(), 2u);
    ExpectCreateCall(calls[1]);
    ExpectLogonTaskFor(dir);
}

TEST_F(SetupTest, SilentUninstallRemovesEverythingButTheProfileFile) {
    ASSERT_EQ(RunSetup("/S /D=" + std::string(kOtherDir)), 0);
    const std::string dir = kOtherDir;
    ExpectInstalledIn(dir);
    ExpectLogonTaskFor(dir);
    WriteProfiles(dir);
    // What the program leaves beside itself after applying a profile.
    WriteFileBytes(dir + "\\" + kScriptFileName, "@echo off\r\n");
    WriteFileBytes(dir + "\\" + kProgressFileName, "1/1\r\n");
    WriteFileBytes(dir + "\\" + kProfileFileName + kProfileSaveSuffix, "[PROFILES]\r\n");

    ASSERT_EQ(RunUninstall(dir), 0);
    EXPECT_EQ(ListFiles(dir), std::vector<std::string>{"Ipshifter.ini"});
    EXPECT_EQ(ReadFileBytes(dir + "\\Ipshifter.ini"), kProfiles);
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kArpKey));
    EXPECT_FALSE(FileExists(StoredTask())) << "the logon task is still registered";
    const auto calls = SchtasksCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], "/Delete /F /TN \"Ipshifter\"");
}

TEST_F(SetupTest, UninstallWithTheBoxTickedRemovesTheProfilesToo) {
    ASSERT_EQ(RunSetup("/S"), 0);
    const std::string dir = DefaultDir();
    WriteProfiles(dir);
    ScratchDir scratch("ipun");
    const std::string copy = scratch.File("uninstall.exe");
    ASSERT_TRUE(CopyFileTo(dir + "\\uninstall.exe", copy));
    uninstaller_ = StartProcess("\"" + copy + "\" _?=" + dir);
    const Process& un = uninstaller_;
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            dialog = FindProcessWindow(un.pid, "#32770", nullptr);
            return dialog && IsWindowVisible(dialog) && ButtonText(dialog, IDOK) == "&Next >";
        },
        10000))
        << "no confirmation page";
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    HWND tree = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tree = ComponentsTree(dialog)) != nullptr; }, 10000))
        << "no components page";
    const auto root =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    const auto profiles = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)));
    ASSERT_NE(profiles, nullptr) << "no box for the profile file";
    const int unticked = CheckImage(tree, profiles);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(profiles));
    PostMessageA(tree, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_TRUE(WaitUntil([&] { return CheckImage(tree, profiles) != unticked; }, 5000))
        << "the box did not take the tick";
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ButtonText(dialog, IDOK) == "&Close" &&
                   IsWindowEnabled(GetDlgItem(dialog, IDOK));
        },
        20000))
        << "the uninstall did not finish";
    // Clicked again until it ends: under load a click that comes while the page is still
    // settling is sometimes lost, and a second click on Close is harmless.
    int exitCode = -1;
    EXPECT_TRUE(WaitUntil(
        [&] {
            PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            exitCode = WaitProcess(un, 2000);
            return exitCode != -1;
        },
        30000))
        << "the uninstaller did not end after its Close button";
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(FileExists(dir)) << "the profile file or the folder stayed";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kArpKey));
}

TEST_F(SetupTest, WindowsXpStartsItFromTheRunKey) {
    const std::string dir = DefaultDir();
    {
        WineVersionFor xp(SetupName(), "winxp");
        ASSERT_EQ(RunSetup("/S"), 0);
    }
    ExpectInstalledIn(dir);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Ipshifter"), "\"" + dir + "\\Ipshifter.exe\"");
    EXPECT_EQ(SchtasksCalls(), std::vector<std::string>{}) << "XP has no logon task to make";
    {
        WineVersionFor xp("uninstall.exe", "winxp");
        ASSERT_EQ(RunUninstall(dir), 0);
    }
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kRunKey, "Ipshifter"), "(none)");
    EXPECT_FALSE(FileExists(dir));
}

TEST_F(SetupTest, FailedInstallLeavesNothingBehind) {
    // Held open the way a running program holds its file: no other writer.
    base::unique_file held;
    ScratchDir scratch("ipini");
    const std::string preset = scratch.File("fleet.ini");
    const std::string portable = DefaultDir() + "\\Ipshifter.exe";
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::string args;
        int exitCode;
        std::string dir;
        std::vector<std::string> left; // what stays in dir; nothing: no dir either
    } cases[] = {
        {"folder under a file",
         [] { WriteFileBytes(kBlocker, "a file"); },
         "/S /D=" + std::string(kBlocker) + "\\Ipshifter",
         4,
         std::string(kBlocker) + "\\Ipshifter",
         {}},
        {"program file in use",
         [&] {
             CreateDirectoryA(DefaultDir().c_str(), nullptr);
             WriteFileBytes(portable, "a copy in use");
             held.reset(CreateFileA(portable.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(held);
         },
         "/S",
         4,
         DefaultDir(),
         {"Ipshifter.exe"}},
        {"task refused, preset profiles copied before",
         [&] {
             SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", "1");
             WriteFileBytes(preset, kPresetProfiles);
         },
         "/S /INI=" + preset,
         5,
         DefaultDir(),
         {}},
        {"access list refused",
         [] { SetEnvironmentVariableA("IPSHIFTER_ICACLS_FAIL", "5"); },
         "/S /D=" + std::string(kOtherDir),
         7,
         kOtherDir,
         {}},
        {"task refused, two folders made for it",
         [] { SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", "1"); },
         "/S /D=" + std::string(kOtherDir),
         5,
         kOtherDir,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        EXPECT_EQ(RunSetup(c.args), c.exitCode);
        held.reset();
        if (c.left.empty())
            EXPECT_FALSE(FileExists(c.dir));
        else
            EXPECT_EQ(ListFiles(c.dir), c.left);
        EXPECT_FALSE(FileExists(kOtherParent)) << "a folder the setup made stayed";
        EXPECT_FALSE(FileExists(DefaultDir() + "\\uninstall.exe")) << "installed elsewhere";
        EXPECT_FALSE(FileExists(Shortcut()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kArpKey));
        EXPECT_FALSE(FileExists(StoredTask()));
        if (!c.left.empty()) {
            EXPECT_EQ(ReadFileBytes(portable), "a copy in use");
        }
        SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", nullptr);
        SetEnvironmentVariableA("IPSHIFTER_ICACLS_FAIL", nullptr);
        RemoveEverything();
    }
}

TEST_F(SetupTest, FailedUpgradeLeavesTheEarlierInstallRemovable) {
    ASSERT_EQ(RunSetup("/S"), 0);
    const std::string dir = DefaultDir();
    WriteProfiles(dir);

    SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", "1");
    EXPECT_EQ(RunSetup("/S"), 5);
    SetEnvironmentVariableA("IPSHIFTER_SCHTASKS_FAIL", nullptr);
    // Still registered, with an uninstaller that works.
    ExpectInstalledIn(dir);
    EXPECT_EQ(ReadFileBytes(dir + "\\Ipshifter.ini"), kProfiles);
    ASSERT_EQ(RunUninstall(dir), 0);
    EXPECT_EQ(ListFiles(dir), std::vector<std::string>{"Ipshifter.ini"});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kArpKey));
    EXPECT_FALSE(FileExists(StoredTask()));
}

TEST_F(SetupTest, PresetProfilesSeedAFirstInstallAndNeverReplaceTheUsersProfiles) {
    // A path with blanks, quoted as an administrator would.
    ScratchDir scratch("ipini");
    const std::string folder = scratch.File("fleet profiles");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string preset = folder + "\\fleet.ini";
    WriteFileBytes(preset, kPresetProfiles);
    const std::string dir = DefaultDir();
    const std::string ini = dir + "\\" + kProfileFileName;

    ASSERT_EQ(RunSetup("/S /INI=\"" + preset + "\""), 0);
    ExpectInstalledIn(dir);
    EXPECT_EQ(ReadFileBytes(ini), kPresetProfiles) << "the first install is not seeded";

    // The user's own profiles by the time of the upgrade.
    WriteProfiles(dir);
    ASSERT_EQ(RunSetup("/S /INI=\"" + preset + "\""), 0);
    ExpectInstalledIn(dir);
    EXPECT_EQ(ReadFileBytes(ini), kProfiles) << "an upgrade replaced the user's profiles";
    EXPECT_EQ(ReadFileBytes(preset), kPresetProfiles);
}

TEST_F(SetupTest, AnUnreadablePresetFileStopsTheSetupBeforeAnythingChanges) {
    ScratchDir scratch("ipini");
    const std::string held = scratch.File("held.ini");
    WriteFileBytes(held, kPresetProfiles);
    // Opened by another program that lets nobody else read it.
    base::unique_file lock(
        CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    const struct {
        const char* name;
        std::string option;
    } cases[] = {
        {"missing file", "/INI=" + scratch.File("missing.ini")},
        {"a folder", "/INI=" + scratch.path()},
        {"no path", "/INI="},
        {"a file nobody else may read", "/INI=" + held},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Silent: only the exit code, no message box to wait on.
        EXPECT_EQ(RunSetup("/S " + c.option), 6);
        EXPECT_FALSE(FileExists(DefaultDir()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kArpKey));
        EXPECT_EQ(SchtasksCalls(), std::vector<std::string>{});
    }

    // With its pages, the setup says why before it ends.
    Process setup = StartProcess("\"" + DistDir() + "\\" + SetupName() + "\" " + cases[0].option);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            box = FindProcessWindow(setup.pid, "#32770", nullptr);
            return box && !MessageBoxText(box).empty();
        },
        20000))
        << "no message";
    EXPECT_NE(MessageBoxText(box).find("cannot read the preset profiles"), std::string::npos)
        << MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitProcess(setup, kSetupWaitMs), 6);
    EXPECT_FALSE(FileExists(DefaultDir()));
}

// Ipshifter runs elevated: a folder that others may change would let them run programs as an
// administrator. Program Files of the setup's bitness gives every folder under it the right
// access list; anywhere else the setup gives the folder its own.
TEST_F(SetupTest, AFolderOutsideProgramFilesGetsAnAccessListOnlyAdministratorsMayChange) {
    const std::string programFiles = Folder(CSIDL_PROGRAM_FILES);
    const std::vector<std::string> installed = {"Ipshifter.exe", "Ipshifter-Guide.txt",
                                                "uninstall.exe"};
    const struct {
        const char* name;
        std::string dir;
        bool protectedFolder;
    } cases[] = {
        {"Program Files", DefaultDir(), false},
        {"a folder below Program Files", programFiles + "\\Tools\\Ipshifter", false},
        {"another folder", kOtherDir, true},
        {"Program Files of the other bitness", Folder(CSIDL_PROGRAM_FILESX86) + "\\Ipshifter",
         true},
        {"out of Program Files by ..", programFiles + "\\..\\Tools & More\\Ipshifter", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RunSetup("/S /D=" + c.dir), 0);
        EXPECT_EQ(StandInCalls("icacls"), c.protectedFolder ? ProtectionCalls(c.dir, installed)
                                                            : std::vector<std::string>{});
        ASSERT_EQ(RunUninstall(c.dir), 0);
        RemoveEverything();
        if (!c.protectedFolder)
            RemoveFolder(programFiles + "\\Tools");
    }

    // Windows XP has no icacls: the setup puts the same list on through the platform, which
    // takes it (a list it could not read or set would stop the setup with 7). Wine does not
    // keep it, so what it is cannot be read back here.
    {
        WineVersionFor xp(SetupName(), "winxp");
        ASSERT_EQ(RunSetup("/S /D=" + std::string(kOtherDir)), 0);
    }
    ExpectInstalledIn(kOtherDir);
    EXPECT_EQ(StandInCalls("icacls"), std::vector<std::string>{});
    RemoveEverything();

    // An upgrade over a folder with the user's profiles: the files that were there take the
    // folder's access list too.
    ASSERT_EQ(RunSetup("/S /D=" + std::string(kOtherDir)), 0);
    WriteProfiles(kOtherDir);
    DeleteFileA((SystemDir() + "\\icacls.log").c_str());
    ASSERT_EQ(RunSetup("/S"), 0);
    std::vector<std::string> withProfiles = installed;
    withProfiles.push_back(kProfileFileName);
    EXPECT_EQ(StandInCalls("icacls"), ProtectionCalls(kOtherDir, withProfiles));
}

TEST_F(SetupTest, EveryProgramOfTheReleaseCarriesTheIconInEverySize) {
    const std::vector<std::string> sizes = {"16", "20", "24", "32", "40", "48", "256 png"};
    std::vector<std::string> programs = {
        BinDir() + "\\Ipshifter.exe", DistDir() + "\\Ipshifter-" + VersionText() + "-setup-x64.exe",
        DistDir() + "\\Ipshifter-" + VersionText() + "-setup-x86.exe"};
    if (std::string(IPSHIFTER_OTHER_EXE_PATH).empty())
        ADD_FAILURE() << "the build was not told where the 32-bit Ipshifter.exe is";
    else
        programs.push_back(HostPath(IPSHIFTER_OTHER_EXE_PATH));
    ASSERT_EQ(RunSetup("/S"), 0);
    programs.push_back(DefaultDir() + "\\uninstall.exe");
    for (const std::string& program : programs)
        EXPECT_EQ(IconSizes(program), sizes) << program;
}

} // namespace
