// How long the profile file takes to load and save as the table grows, against their targets,
// and what the platform's INI writer does to text it did not write itself. Exits with 1 when a
// target is missed or a save fails.
#include "functions/profiles.h"
#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "bench_files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Seconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<ProfileRecord> Table(int count) {
    std::vector<ProfileRecord> table;
    for (int i = 0; i < count; ++i) {
        ProfileRecord p;
        p.NAME = "Profile " + std::to_string(i + 1);
        p.INTERFACE = i % 2 ? "Local Area Connection" : "Wireless Network Connection";
        p.DHCP = 0;
        p.IP = {"192.168." + std::to_string(i % 250) + ".10",
                "192.168." + std::to_string(i % 250) + ".11"};
        p.SUBNET = "255.255.255.0";
        p.GATEWAY = "192.168." + std::to_string(i % 250) + ".1";
        p.METRIC = 1;
        p.DNS = {"192.168." + std::to_string(i % 250) + ".1"};
        p.SELECTED = i == 0;
        table.push_back(p);
    }
    return table;
}

// Line ends and control characters made visible.
std::string Visible(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n\n    ";
        else
            out += c;
    }
    return out;
}

struct Timing {
    double save, load, loadJustSaved, loadKeyByKey;
    bool ok;
};

// Saves are quick enough for a few repeats: the median of five, each replacing the last file.
// The load is timed once right after the last save, then five times with the file as old as a
// user's file is at start-up (the median; a load of a complete file writes nothing, so the file
// stays that old), and once on that file the load that reads every key on its own.
Timing Measure(const std::string& folder, int count) {
    IniPath = folder + "\\Ipshifter.ini";
    DeleteFileA(IniPath.c_str());
    const std::vector<ProfileRecord> table = Table(count);
    Profiles = table;
    std::vector<double> saves;
    bool ok = true;
    for (int run = 0; run < 5; ++run) {
        const double start = Seconds();
        const SaveResult result = SaveProfiles();
        saves.push_back(Seconds() - start);
        if (!result.ok) {
            std::printf("  (save of %d profiles failed with error %lu)\n", count, result.error);
            ok = false;
        }
    }
    std::sort(saves.begin(), saves.end());
    auto timedLoad = [&](void (*load)()) {
        Profiles.clear();
        const double start = Seconds();
        load();
        const double seconds = Seconds() - start;
        if (Profiles != table) {
            std::printf("  (loaded %zu profiles, not the %d saved)\n", Profiles.size(), count);
            ok = false;
        }
        return seconds;
    };
    const double justSaved = timedLoad(LoadProfiles);
    bench::AgeFile(IniPath);
    std::vector<double> loads;
    for (int run = 0; run < 5; ++run)
        loads.push_back(timedLoad(LoadProfiles));
    std::sort(loads.begin(), loads.end());
    const double load = loads[loads.size() / 2];
    const double keyByKey = timedLoad(LoadProfilesKeyByKey);
    DeleteFileA(IniPath.c_str());
    return {saves[saves.size() / 2], load, justSaved, keyByKey, ok};
}

bool Figure(const char* what, double value, const char* unit, const char* target, bool met) {
    std::printf("%-40s %10.3f%-3s %-14s %s\n", what, value, unit, target, met ? "met" : "NOT MET");
    return met;
}

// A hand-edited count over an empty file: every profile is made up and written key by key.
double MeasureCompletion(const std::string& folder, int count) {
    IniPath = folder + "\\Ipshifter.ini";
    bench::WriteAll(IniPath, "[PROFILES]\r\nCOUNT=" + std::to_string(count) + "\r\n");
    const double start = Seconds();
    LoadProfiles();
    const double seconds = Seconds() - start;
    std::printf("  (%zu profiles loaded, file of %zu bytes)\n", Profiles.size(),
                bench::ReadAll(IniPath).size());
    DeleteFileA(IniPath.c_str());
    return seconds;
}

void ShowWriter(const std::string& folder) {
    const std::string path = folder + "\\writer.ini";
    const std::string before =
        "; comment\n\n[A]\n  key  =  value  \n\nq=\"quoted\"\n\n\n[B]\nx=1\n";
    bench::WriteAll(path, before);
    std::printf("INI writer, file before one write:\n    %s\n", Visible(before).c_str());
    IniWriteString("A", "new", "  padded  ", path);
    std::printf("after writing A/new = \"  padded  \":\n    %s\n",
                Visible(bench::ReadAll(path)).c_str());
    IniWriteString("C", "empty", "", path);
    std::printf("after writing C/empty = \"\":\n    %s\n", Visible(bench::ReadAll(path)).c_str());
    std::printf(
        "read back: key=[%s] q=[%s] new=[%s]\n\n", IniReadString("A", "key", "", path).c_str(),
        IniReadString("A", "q", "", path).c_str(), IniReadString("A", "new", "", path).c_str());
    DeleteFileA(path.c_str());
}

} // namespace

int main() {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp, length) + "ipshifter_store_bench_" +
                               std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    InterfaceNames = {"Local Area Connection"};

    ShowWriter(folder);

    std::printf("%10s %12s %12s %22s %22s\n", "profiles", "save (s)", "load (s)",
                "load just saved (s)", "load key by key (s)");
    Timing at100{}, at1000{};
    bool ok = true;
    for (int count : {10, 100, 1000}) {
        const Timing t = Measure(folder, count);
        std::printf("%10d %12.4f %12.3f %22.3f %22.3f\n", count, t.save, t.load, t.loadJustSaved,
                    t.loadKeyByKey);
        std::fflush(stdout);
        ok = ok && t.ok;
        if (count == 100)
            at100 = t;
        if (count == 1000)
            at1000 = t;
    }
    const double saveGrowth = at1000.save / at100.save;
    const double loadGrowth = at1000.load / at100.load;
    std::printf("growth 100 -> 1000: save x%.1f, load x%.1f, load key by key x%.1f\n", saveGrowth,
                loadGrowth, at1000.loadKeyByKey / at100.loadKeyByKey);
    ok = Figure("save of 1000 profiles", at1000.save, " s", "< 0.200 s", at1000.save < 0.2) && ok;
    ok = Figure("growth of the save from 100 to 1000", saveGrowth, " x", "<= 15 x",
                saveGrowth <= 15) &&
         ok;
    // The file dated a minute back, as a user's file is when the program starts.
    ok = Figure("load of 1000 profiles", at1000.load, " s", "< 0.500 s", at1000.load < 0.5) && ok;
    ok = Figure("growth of the load from 100 to 1000", loadGrowth, " x", "<= 12 x",
                loadGrowth <= 12) &&
         ok;
    std::fflush(stdout);

    for (int count : {10, 100}) {
        const double seconds = MeasureCompletion(folder, count);
        std::printf("load completing a count of %d over an empty file: %.3f s\n", count, seconds);
        std::fflush(stdout);
    }
    RemoveDirectoryA(folder.c_str());
    return ok ? 0 : 1;
}
