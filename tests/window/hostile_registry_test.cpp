// Hostile registries: values of wrong types, sizes and shapes, and generated trees.
#include "hostile_input.h"
#include "hostile_data.h"

#include <gtest/gtest.h>

#include "functions/os.h"
#include "registry/mdlRegistry.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace hostile;

std::string BinaryOf(std::size_t size, char first, char second) {
    std::string data(size, '\x7F');
    data[0] = first;
    data[1] = second;
    return data;
}

// The connection names as start-up may list them: each a "Name" value of a connection that was
// written, or the empty-list marker.
void ExpectNamesFromRegistry(const std::vector<std::string>& names,
                             const std::vector<std::string>& connectionPaths) {
    std::vector<std::string> written;
    for (const auto& path : connectionPaths)
        written.push_back(RegReadString(HKEY_LOCAL_MACHINE, path, "Name"));
    for (const auto& name : names) {
        EXPECT_TRUE(name == "_" || std::find(written.begin(), written.end(), name) != written.end())
            << name.substr(0, 80);
    }
    EXPECT_LE(names.size(), std::max<size_t>(1, connectionPaths.size()));
}

TEST_F(HostileInput, RegistryOfWrongTypesSizesAndShapesStillStarts) {
    const std::string pciClass = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
    const RawValue net = Sz("Class", "Net");
    const RawValue pci = Sz("PnpInstanceID", "PCI\\VEN_8086&DEV_100E\\1");
    const RawValue media = Dword("MediaSubType", 1);
    auto conn = [&](const std::string& key, std::vector<RawValue> values) {
        return std::make_pair(key, std::optional<std::vector<RawValue>>(std::move(values)));
    };
    struct RegistryCase {
        const char* name;
        std::vector<RawClass> classes;
        // Names listed by the discovery of Windows 2000, XP and Vista, in any order.
        std::vector<std::string> names2000, namesXP, namesVista;
    };
    const std::string longName(100000, 'n');
    std::vector<RegistryCase> cases = {
        {"names of every type",
         {{pciClass,
           {net},
           {conn("a", {Dword("Name", 7), pci, media}),
            conn("b", {{"Name", REG_MULTI_SZ, std::string("LAN\0WLAN\0\0", 10)}, pci, media}),
            conn("c", {{"Name", REG_EXPAND_SZ, std::string("%PATH%\0", 7)}, pci, media}),
            conn("d", {{"Name", REG_SZ, "no terminator"}, pci, media}),
            conn("e", {{"Name", REG_SZ, ""}, pci, media}),
            conn("f", {{"Name", REG_BINARY, BinaryOf(1 << 20, 'A', 'B')}, pci, media}),
            conn("g", {{"Name", REG_QWORD, std::string(8, '\1')}, pci, media}),
            conn("h", {Sz("Name", longName), pci, media})}}},
         {"7", "", "", "no terminator", "", "16961", "", longName},
         {"7", "", "", "no terminator", "", "16961", "", longName},
         {"7", "", "", "no terminator", "", "16961", "", longName}},
        {"filter values of the wrong type or size",
         {{pciClass,
           {net},
           {conn("a", {Sz("Name", "BinaryPnp"),
                       {"PnpInstanceID", REG_BINARY, BinaryOf(1 << 20, 'P', 'C')},
                       {"MediaSubType", REG_BINARY, BinaryOf(1 << 20, '\1', '\0')}}),
            conn("b", {Sz("Name", "MultiPnp"),
                       {"PnpInstanceID", REG_MULTI_SZ, std::string("PCI\\x\0\0", 7)},
                       Dword("MediaSubType", 65537)}),
            conn("c", {Sz("Name", "NoValues")}),
            conn("d", {Sz("Name", "EmptyBinary"),
                       {"PnpInstanceID", REG_BINARY, ""},
                       {"MediaSubType", REG_BINARY, ""}})}},
          {"{CLASS-DWORD}",
           {{"Class", REG_DWORD, std::string("\1\0\0\0", 4)}},
           {conn("a", {Sz("Name", "DwordClass"), pci, media})}}},
         // A binary "PCI\" reads as its number: not empty, but no "PCI\" either.
         {"BinaryPnp", "EmptyBinary"},
         {"BinaryPnp", "MultiPnp"},
         {"DwordClass"}},
        {"keys without the Connection key, deep and odd names",
         {{pciClass,
           {net},
           {{"no-connection", std::nullopt},
            conn("deep", {Sz("Name", "Deep"), pci, media}),
            // A chain of keys beneath a connection is never walked.
            {"deep\\Connection" +
                 [] {
                     std::string chain;
                     for (int depth = 0; depth < 60; ++depth)
                         chain += "\\d";
                     return chain;
                 }(),
             std::nullopt},
            conn(std::string(254, 'k'), {Sz("Name", "LongKey"), pci, media}),
            conn(std::string(255, 'm'), {Sz("Name", "LongestKey"), pci, media}),
            conn(std::string(256, 'o'), {Sz("Name", "LongerThanTheBuffer"), pci, media})}},
          {std::string(256, 'c'), {net}, {conn("a", {Sz("Name", "UnderLongClass"), pci, media})}}},
         {},
         {},
         {}},
    };
    // The last case's outcome for over-long key names is not fixed, only that it is sound.
    const size_t loose = cases.size() - 1;
    // Wide: many classes, many connections each.
    RegistryCase wide{"wide tree", {}, {}, {}, {}};
    for (int i = 0; i < 150; ++i) {
        RawClass c{"{WIDE-" + std::to_string(i) + "}", {net}, {}};
        for (int j = 0; j < 4; ++j) {
            const std::string name = "C" + std::to_string(i) + "-" + std::to_string(j);
            c.connections.push_back(conn("k" + std::to_string(j), {Sz("Name", name), pci, media}));
            for (auto* names : {&wide.names2000, &wide.namesXP, &wide.namesVista})
                names->push_back(name);
        }
        wide.classes.push_back(std::move(c));
    }
    cases.push_back(std::move(wide));

    const std::pair<VersionReport, int> versions[] = {
        {{2, 5, 0}, 0}, {{2, 5, 1}, 1}, {{2, 6, 1}, 2}};
    for (size_t n = 0; n < cases.size(); ++n) {
        const auto& c = cases[n];
        for (const auto& [version, which] : versions) {
            SCOPED_TRACE(std::string(c.name) + ", Windows " + std::to_string(version.major) + "." +
                         std::to_string(version.minor));
            StartWith(std::nullopt, {}, {}, version, c.classes);
            ExpectResident();
            ExpectNamesFromRegistry(InterfaceNames, connectionPaths);
            if (n != loose) {
                std::vector<std::string> expected = which == 0   ? c.names2000
                                                    : which == 1 ? c.namesXP
                                                                 : c.namesVista;
                if (expected.empty())
                    expected = {"_"};
                std::vector<std::string> got = InterfaceNames;
                std::sort(expected.begin(), expected.end());
                std::sort(got.begin(), got.end());
                EXPECT_TRUE(got == expected)
                    << got.size() << " names, " << expected.size() << " expected";
            }
            ExpectSaveLoadsAgain();
            EndCase();
        }
    }
}

TEST_F(HostileInput, GeneratedRegistryTreesStartWithNamesTheyHold) {
    Dice dice(kSeed + 2);
    const std::vector<std::string> texts = {"LAN",        "WLAN",       "_",     "",
                                            "PCI\\VEN_1", "pci\\ven_1", "PCI\\", "USB\\VID_1",
                                            "Net",        "net",        "1",     "2"};
    auto randomValue = [&](const std::string& name) -> RawValue {
        switch (dice.Below(8)) {
        case 0:
            return Dword(name, dice.Pick(std::vector<DWORD>{0, 1, 2, 65537, 0xFFFFFFFF}));
        case 1:
            return {name, REG_BINARY, dice.Bytes(dice.Below(3) == 0 ? 70000 : dice.Below(9))};
        case 2:
            return {name, REG_MULTI_SZ, dice.Pick(texts) + std::string(2, '\0')};
        case 3:
            return {name, REG_EXPAND_SZ, dice.Pick(texts) + std::string(1, '\0')};
        case 4:
            return {name, REG_NONE, dice.Bytes(dice.Below(6))};
        case 5:
            return {name, REG_SZ, dice.Text(dice.Below(300))};
        default:
            return Sz(name, dice.Pick(texts));
        }
    };
    for (int i = 0; i < 24; ++i) {
        std::vector<RawClass> classes;
        const std::uint32_t classCount = dice.Below(5);
        for (std::uint32_t k = 0; k < classCount; ++k) {
            RawClass c;
            c.key = dice.OneIn(4) ? dice.Text(1 + dice.Below(20)) : "{C" + std::to_string(k) + "}";
            // Backslashes would make a path of several keys.
            std::replace(c.key.begin(), c.key.end(), '\\', '-');
            if (!dice.OneIn(4))
                c.classValues.push_back(dice.OneIn(2) ? Sz("Class", "Net") : randomValue("Class"));
            const std::uint32_t connections = dice.Below(5);
            for (std::uint32_t j = 0; j < connections; ++j) {
                const std::string key = "{K" + std::to_string(j) + "}";
                if (dice.OneIn(6)) {
                    c.connections.emplace_back(key, std::nullopt);
                    continue;
                }
                std::vector<RawValue> values;
                for (const char* name : {"Name", "PnpInstanceID", "MediaSubType"})
                    if (!dice.OneIn(5))
                        values.push_back(randomValue(name));
                c.connections.emplace_back(key, values);
            }
            classes.push_back(std::move(c));
        }
        const VersionReport version =
            dice.Pick(std::vector<VersionReport>{{2, 5, 0}, {2, 5, 1}, {2, 6, 1}});
        SCOPED_TRACE("generated registry " + std::to_string(i) + ", Windows " +
                     std::to_string(version.major) + "." + std::to_string(version.minor));
        StartWith(std::nullopt, {}, {}, version, classes);
        ExpectResident();
        ExpectNamesFromRegistry(InterfaceNames, connectionPaths);
        ExpectSaveLoadsAgain();
        EndCase();
        if (HasFatalFailure())
            return;
    }
}

} // namespace
