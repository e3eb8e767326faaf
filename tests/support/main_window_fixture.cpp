#include "main_window_fixture.h"

#include "functions/profiles.h"
#include "toolkit/app.h"

namespace testsupport {

ProfileRecord MakeProfile(const std::string& name, const std::string& connection, std::uint8_t dhcp,
                          std::vector<std::string> ip, const std::string& subnet,
                          const std::string& gateway, std::int32_t metric,
                          std::vector<std::string> dns, std::uint8_t selected) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = connection;
    p.DHCP = dhcp;
    p.IP = std::move(ip);
    p.SUBNET = subnet;
    p.GATEWAY = gateway;
    p.METRIC = metric;
    p.DNS = std::move(dns);
    p.SELECTED = selected;
    return p;
}

void MainWindowTest::Start(const std::vector<std::string>& connections,
                           const std::vector<ProfileRecord>& profiles,
                           const std::string& arguments) {
    network = std::make_unique<InProcessNetwork>(PciConnections(connections));
    if (!profiles.empty()) {
        IniPath = dir.File("Ipshifter.ini");
        Profiles = profiles;
        SaveProfiles();
        Profiles.clear();
    }
    LoadProgram(arguments);
}

void MainWindowTest::LoadProgram(const std::string& arguments, VersionReport version) {
    started_.emplace(dir.path(), arguments);
    version_.emplace(version.platformId, version.major, version.minor);
    tray_.emplace(&platform::Calls::Shell_NotifyIconA, [this](DWORD message, PNOTIFYICONDATAA) {
        trayMessages.push_back(message);
        return trayAnswer ? trayAnswer(message) : TRUE;
    });
    ResetEndProgramCalls();
    MainForm().Load();
}

void MainWindowTest::TearDown() {
    ResetMainForm();
    tray_.reset();
    version_.reset();
    started_.reset();
    network.reset();
    Profiles.clear();
    InterfaceNames.clear();
    IniPath.clear();
}

std::vector<std::string> MainWindowTest::ListTexts() {
    std::vector<std::string> out;
    for (int i = 0; i < Form().cmbProfiles.ListCount(); ++i)
        out.push_back(Form().cmbProfiles.List(i));
    return out;
}

void MainWindowTest::Choose(const std::string& entryText) {
    for (int i = 0; i < Form().cmbProfiles.ListCount(); ++i) {
        if (Form().cmbProfiles.List(i) == entryText) {
            Form().cmbProfiles.SetListIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "no list entry " << entryText;
}

} // namespace testsupport

namespace testsupport {
namespace {
std::function<void()>* g_sample = nullptr;
}

Sampler::Sampler(std::function<void()> sample, UINT periodMs) {
    g_sample = new std::function<void()>(std::move(sample));
    id_ = SetTimer(nullptr, 0, periodMs, Tick);
}

Sampler::~Sampler() {
    KillTimer(nullptr, id_);
    delete g_sample;
    g_sample = nullptr;
}

void CALLBACK Sampler::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_sample)
        (*g_sample)();
}

void InstallNetsh(const std::string& folder) {
    ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", folder + "\\netsh.exe"));
}

std::vector<std::string> NetshCalls(const std::string& folder) {
    return SplitCrLf(ReadFileBytes(folder + "\\netsh.log"));
}

} // namespace testsupport
