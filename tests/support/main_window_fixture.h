#pragma once
// The main window loaded in this test process: a scratch program folder, connections standing in
// for the machine's, a recorded tray and a chosen profile file.
#include "fixtures.h"
#include "support.h"

#include "globals/mdlGVars.h"
#include "main_window/frmMain.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

ProfileRecord MakeProfile(const std::string& name, const std::string& connection,
                          std::uint8_t dhcp = 1, std::vector<std::string> ip = {""},
                          const std::string& subnet = "", const std::string& gateway = "none",
                          std::int32_t metric = 1, std::vector<std::string> dns = {""},
                          std::uint8_t selected = 0);

// A version as Windows reports it to the program.
struct VersionReport {
    DWORD platformId, major, minor;
};

class MainWindowTest : public testing::Test {
protected:
    // Loads the main window as the program starting from the scratch folder with the argument
    // text, on the given Windows, with a recorded tray.
    void LoadProgram(const std::string& arguments, VersionReport version = {2, 6, 1});
    // Writes the profiles into the program folder's profile file and runs start-up.
    void Start(const std::vector<std::string>& connections,
               const std::vector<ProfileRecord>& profiles, const std::string& arguments = {});
    void TearDown() override;
    frmMain& Form() { return MainForm(); }
    std::string Ini() const { return ReadFileBytes(dir.File("Ipshifter.ini")); }
    // The texts of the profile list, in order.
    std::vector<std::string> ListTexts();
    // Selects the list entry that shows the given text.
    void Choose(const std::string& entryText);

    ScratchDir dir{"main"};
    std::unique_ptr<InProcessNetwork> network;
    // Shell calls of the tray icon, by their message.
    std::vector<DWORD> trayMessages;
    // The shell's answer to each call (when unset, every call succeeds); a refusal sets the last
    // error itself.
    std::function<BOOL(DWORD message)> trayAnswer;

private:
    std::optional<ProgramStartedIn> started_;
    std::optional<VersionReported> version_;
    std::optional<platform::Override<decltype(platform::Calls::Shell_NotifyIconA)>> tray_;
};

} // namespace testsupport

namespace testsupport {

// Calls a function every few milliseconds while this thread handles window events, e.g. inside
// the wait of an apply, to watch the window from within.
class Sampler {
public:
    Sampler(std::function<void()> sample, UINT periodMs = 30);
    ~Sampler();

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR id_;
};

// The recording netsh in the main window's program folder, and the argument lines it saw.
void InstallNetsh(const std::string& folder);
std::vector<std::string> NetshCalls(const std::string& folder);

} // namespace testsupport
