// Registry values as text, and the three ways of finding the machine's connections, over
// fixture trees that stand in for HKEY_LOCAL_MACHINE in this process.
#include "functions/connections.h"
#include "functions/tcpip.h"
#include "registry/mdlRegistry.h"
#include "base/handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kNetworkKey = "SYSTEM\\CurrentControlSet\\Control\\Network\\";

std::string Bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (unsigned v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

std::string DwordBytes(DWORD v) {
    return Bytes({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF});
}

// Deletes a key with everything below it.
void DeleteTree(HKEY parent, const std::string& name) {
    {
        base::unique_hkey key;
        if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
            return;
        for (;;) {
            char child[1024];
            DWORD length = sizeof(child);
            if (RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            const std::string childName(child, length);
            DeleteTree(key.get(), childName);
            base::unique_hkey still;
            if (RegOpenKeyExA(key.get(), childName.c_str(), 0, KEY_READ, still.put()) ==
                ERROR_SUCCESS) {
                ADD_FAILURE() << "cannot delete registry key " << childName;
                break;
            }
        }
    }
    RegDeleteKeyA(parent, name.c_str());
}

// One value (or, with no value name and type REG_NONE, just a key) below the stand-in root.
struct RegValue {
    std::string path;
    std::string name;
    DWORD type = REG_NONE;
    std::string bytes;
    bool keyOnly = false;
};

// A scratch key under HKEY_CURRENT_USER that this process sees as HKEY_LOCAL_MACHINE.
class ScratchMachine {
public:
    ScratchMachine()
        : path_("Software\\IpshifterRegistryTest_" + std::to_string(GetCurrentProcessId())) {
        DeleteTree(HKEY_CURRENT_USER, path_);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, root_.put(), nullptr) != ERROR_SUCCESS)
            ADD_FAILURE() << "cannot create " << path_;
        else if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_.get()) != ERROR_SUCCESS)
            ADD_FAILURE() << "cannot stand in for HKEY_LOCAL_MACHINE";
    }
    ~ScratchMachine() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        root_.reset();
        DeleteTree(HKEY_CURRENT_USER, path_);
    }
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    HKEY Root() const { return root_.get(); }

    // One level at a time: Wine's ANSI calls refuse whole paths longer than about 260
    // characters, but take single names of 256.
    base::unique_hkey Create(const std::string& path) {
        base::unique_hkey key;
        HKEY parent = root_.get();
        size_t start = 0;
        while (start < path.size()) {
            size_t end = path.find('\\', start);
            if (end == std::string::npos)
                end = path.size();
            if (end > start) {
                base::unique_hkey child;
                const std::string name = path.substr(start, end - start);
                if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    child.put(), nullptr) != ERROR_SUCCESS) {
                    ADD_FAILURE() << "cannot create " << path;
                    return {};
                }
                key = std::move(child);
                parent = key.get();
            }
            start = end + 1;
        }
        return key;
    }

    void Write(const RegValue& v) {
        base::unique_hkey key = Create(v.path);
        if (v.keyOnly || !key)
            return;
        EXPECT_EQ(RegSetValueExA(key.get(), v.name.c_str(), 0, v.type,
                                 reinterpret_cast<const BYTE*>(v.bytes.data()),
                                 static_cast<DWORD>(v.bytes.size())),
                  ERROR_SUCCESS)
            << v.path << " " << v.name;
    }

private:
    std::string path_;
    base::unique_hkey root_;
};

// ---------------------------------------------------------------------------------------------
// Reading one value

struct ValueCase {
    const char* what;
    DWORD type;
    std::string bytes;
    std::string expected;
};

TEST(RegQueryValueText, ConvertsEachTypeOfValue) {
    const ValueCase cases[] = {
        {"sz", REG_SZ, std::string("Local Area Connection\0", 22), "Local Area Connection"},
        {"sz without terminator", REG_SZ, "abc", "abc"},
        {"sz of size 0", REG_SZ, "", ""},
        {"sz ends at its first NUL", REG_SZ, std::string("ab\0cd\0", 6), "ab"},
        {"sz of ANSI letters", REG_SZ, std::string("Verbindung \xe4\xf6\0", 14),
         "Verbindung \xe4\xf6"},
        {"sz of 3000 characters", REG_SZ, std::string(3000, 'x') + '\0', std::string(3000, 'x')},
        {"dword 2", REG_DWORD, DwordBytes(2), "2"},
        {"dword 0", REG_DWORD, DwordBytes(0), "0"},
        {"dword 65535", REG_DWORD, DwordBytes(65535), "-1"},
        {"dword 65536", REG_DWORD, DwordBytes(65536), "0"},
        {"dword 65537", REG_DWORD, DwordBytes(65537), "1"},
        {"dword 32767", REG_DWORD, DwordBytes(32767), "32767"},
        {"dword 32768", REG_DWORD, DwordBytes(32768), "-32768"},
        {"dword 0xFFFFFFFF", REG_DWORD, DwordBytes(0xFFFFFFFF), "-1"},
        {"dword stored in 8 bytes", REG_DWORD, Bytes({2, 0, 0, 0, 9, 9, 9, 9}), "2"},
        {"dword stored in 1 byte", REG_DWORD, Bytes({7}), "7"},
        // Binary data longer than four bytes is read whole; its first two bytes count.
        {"binary of 8 bytes", REG_BINARY, Bytes({0x34, 0x12, 0xFF, 0xFF, 1, 2, 3, 4}), "4660"},
        {"binary of 8 bytes, negative", REG_BINARY, Bytes({0xFE, 0xFF, 1, 2, 3, 4, 5, 6}), "-2"},
        {"binary of 4096 bytes", REG_BINARY, Bytes({0x39, 0x30}) + std::string(4094, '\x7f'),
         "12345"},
        {"binary of 2 bytes", REG_BINARY, Bytes({0x02, 0x00}), "2"},
        {"binary of 1 byte", REG_BINARY, Bytes({0x05}), "5"},
        {"binary of 0 bytes", REG_BINARY, "", "0"},
        {"expand sz", REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13), ""},
        {"multi sz", REG_MULTI_SZ, std::string("a\0b\0\0", 5), ""},
        {"qword", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), ""},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 2}), ""},
        {"none", REG_NONE, "1", ""},
    };
    ScratchMachine machine;
    const std::string path = kNetworkKey + "Values";
    for (const auto& c : cases)
        machine.Write({path, c.what, c.type, c.bytes});

    base::unique_hkey key = machine.Create(path);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RegQueryValueText(key.get(), c.what), c.expected);
        // The same through a key of its own, opened below the stand-in root.
        EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, path, c.what), c.expected);
    }
}

TEST(RegQueryValueText, MissingKeyOrValueReadsEmpty) {
    ScratchMachine machine;
    machine.Write({kNetworkKey, "Probe", REG_SZ, std::string("here\0", 5)});
    base::unique_hkey key = machine.Create(kNetworkKey);

    EXPECT_EQ(RegQueryValueText(key.get(), "Probe"), "here");
    EXPECT_EQ(RegQueryValueText(key.get(), "Absent"), "");
    EXPECT_EQ(RegQueryValueText(nullptr, "Probe"), "");
    // The network key path keeps its trailing backslash.
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kNetworkKey, "Probe"), "here");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kNetworkKey, "Absent"), "");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kNetworkKey + "Missing", "Probe"), "");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\Nowhere\\At\\All", "Probe"), "");
    // The root given is the one read: the stand-in lies under HKEY_CURRENT_USER.
    EXPECT_EQ(RegReadString(machine.Root(), kNetworkKey, "Probe"), "here");
    EXPECT_EQ(RegReadString(HKEY_CLASSES_ROOT, kNetworkKey, "Probe"), "");
}

// A value rewritten between the size query and the read gives either text whole, or nothing.
TEST(RegQueryValueText, ValueChangingSizeWhileReadIsNeverCutOrPadded) {
    ScratchMachine machine;
    const std::string path = kNetworkKey + "Racing";
    const std::string shortText = "x";
    const std::string longText(3000, 'y');
    machine.Write({path, "Name", REG_SZ, shortText + '\0'});

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        base::unique_hkey key;
        if (RegOpenKeyExA(machine.Root(), path.c_str(), 0, KEY_SET_VALUE, key.put()) !=
            ERROR_SUCCESS)
            return;
        for (bool useLong = true; !stop; useLong = !useLong) {
            const std::string& text = useLong ? longText : shortText;
            RegSetValueExA(key.get(), "Name", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1));
        }
    });

    int shortSeen = 0, longSeen = 0, emptySeen = 0, otherSeen = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::string text = RegReadString(HKEY_LOCAL_MACHINE, path, "Name");
        if (text == shortText)
            ++shortSeen;
        else if (text == longText)
            ++longSeen;
        else if (text.empty())
            ++emptySeen;
        else
            ++otherSeen;
    }
    stop = true;
    writer.join();

    EXPECT_EQ(otherSeen, 0) << "whole short " << shortSeen << ", whole long " << longSeen
                            << ", empty " << emptySeen;
    EXPECT_GT(shortSeen + longSeen, 0);
}

// ---------------------------------------------------------------------------------------------
// The three enumerations

std::string ConnectionPath(const std::string& classKey, const std::string& key) {
    return kNetworkKey + classKey + "\\" + key + "\\Connection";
}

using Tree = std::vector<RegValue>;

Tree Join(std::initializer_list<Tree> parts) {
    Tree out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

RegValue Text(const std::string& path, const std::string& name, const std::string& text) {
    return {path, name, REG_SZ, text + '\0'};
}

Tree ClassKey(const std::string& classKey, std::optional<std::string> classValue = "Net") {
    if (!classValue)
        return {RegValue{kNetworkKey + classKey, "", REG_NONE, "", true}};
    return {Text(kNetworkKey + classKey, "Class", *classValue)};
}

// A connection key with its Connection subkey and the values given.
Tree Adapter(const std::string& classKey, const std::string& key, std::optional<std::string> name,
             std::optional<std::string> pnpId, std::optional<DWORD> mediaSubType = std::nullopt) {
    const std::string path = ConnectionPath(classKey, key);
    Tree out{RegValue{path, "", REG_NONE, "", true}};
    if (name)
        out.push_back(Text(path, "Name", *name));
    if (pnpId)
        out.push_back(Text(path, "PnpInstanceID", *pnpId));
    if (mediaSubType)
        out.push_back({path, "MediaSubType", REG_DWORD, DwordBytes(*mediaSubType)});
    return out;
}

// A connection that passes every connection filter.
Tree Pci(const std::string& classKey, const std::string& key, std::optional<std::string> name) {
    return Adapter(classKey, key, std::move(name), "PCI\\VEN_8086&DEV_100E\\1", 1);
}

Tree Media(const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    const std::string path = ConnectionPath("c1", key);
    return {Text(path, "Name", name), {path, "MediaSubType", type, bytes}};
}

using Names = std::vector<std::string>;

struct ListCase {
    const char* what;
    bool networkKey;
    Tree tree;
    Names withPnpId;
    Names byMediaSubType;
    Names pci;
};

TEST(ConnectionLists, FiltersOrderAndTheEmptyListMarker) {
    const std::string long255(255, 'a');
    const std::string long256(256, 'b');
    const ListCase cases[] = {
        {"no network key", false, {}, {"_"}, {"_"}, {"_"}},
        {"network key without classes", true, {}, {"_"}, {"_"}, {"_"}},
        {"class filter",
         true,
         Join({ClassKey("c1", "Net"),
               Pci("c1", "k1", "Net LAN"),
               ClassKey("c2", "net"),
               Pci("c2", "k1", "Lower-case class"),
               ClassKey("c3", std::nullopt),
               Pci("c3", "k1", "No class"),
               {{kNetworkKey + "c4", "Class", REG_EXPAND_SZ, std::string("Net\0", 4)}},
               Pci("c4", "k1", "Expandable class"),
               ClassKey("c5", "NetService"),
               Pci("c5", "k1", "Other class"),
               ClassKey("c6", "Net"),
               Adapter("c6", "k1", "Second", "PCI\\VEN_10EC", 2)}),
         {"Net LAN", "Second"},
         {"Net LAN", "Second"},
         {"Net LAN", "Lower-case class", "No class", "Expandable class", "Other class", "Second"}},
        {"PnpInstanceID",
         true,
         Join({ClassKey("c1"), Adapter("c1", "k1", "Pci", "PCI\\VEN_8086&DEV_100E"),
               Adapter("c1", "k2", "LowerPci", "pci\\ven_8086&dev_100e"),
               Adapter("c1", "k3", "Usb", "USB\\VID_0B95&PID_7720"),
               Adapter("c1", "k4", "BarePci", "PCI\\"), Adapter("c1", "k5", "NoPnp", std::nullopt),
               Adapter("c1", "k6", "EmptyPnp", ""), Adapter("c1", "k7", "ThreeChars", "PCI"),
               Adapter("c1", "k8", "RootPci", "ROOT\\PCI\\0000"),
               Adapter("c1", "k9", "SlashPci", "PCI/VEN_1")}),
         {"Pci", "LowerPci", "Usb", "BarePci", "ThreeChars", "RootPci", "SlashPci"},
         {"_"},
         {"Pci", "Usb", "BarePci"}},
        {"MediaSubType",
         true,
         Join({ClassKey("c1"), Media("k01", "Dword1", REG_DWORD, DwordBytes(1)),
               Media("k02", "Dword2", REG_DWORD, DwordBytes(2)),
               Media("k03", "Dword0", REG_DWORD, DwordBytes(0)),
               Media("k04", "Dword65537", REG_DWORD, DwordBytes(65537)),
               Media("k05", "Dword3", REG_DWORD, DwordBytes(3)),
               Media("k06", "Dword131074", REG_DWORD, DwordBytes(131074)),
               Media("k07", "Text1", REG_SZ, std::string("1\0", 2)),
               Media("k08", "Text2", REG_SZ, std::string("2\0", 2)),
               Media("k09", "Text01", REG_SZ, std::string("01\0", 3)),
               Media("k10", "Text1Blank", REG_SZ, std::string("1 \0", 3)),
               Media("k11", "Binary1", REG_BINARY, Bytes({1, 0, 0, 0, 0, 0, 0, 0})),
               Media("k12", "Expand1", REG_EXPAND_SZ, std::string("1\0", 2)),
               Adapter("c1", "k13", "Missing", std::nullopt)}),
         {"_"},
         {"Dword1", "Dword2", "Dword65537", "Dword131074", "Text1", "Text2", "Binary1"},
         {"_"}},
        {"values outside a Connection subkey",
         true,
         Join({ClassKey("c1"),
               {Text(kNetworkKey + "c1\\k1", "Name", "Direct"),
                Text(kNetworkKey + "c1\\k1", "PnpInstanceID", "PCI\\VEN_1"),
                {kNetworkKey + "c1\\k1", "MediaSubType", REG_DWORD, DwordBytes(1)}},
               Pci("c1", "k2", "Normal"),
               Adapter("c1", "k3", std::nullopt, std::nullopt)}),
         {"Normal"},
         {"Normal"},
         {"Normal"}},
        {"marker name alone",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", "_")}),
         {"_"},
         {"_"},
         {"_"}},
        {"marker name followed by a name",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", "_"), Pci("c1", "k2", "After")}),
         {"After"},
         {"After"},
         {"After"}},
        {"marker name last",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", "Before"), Pci("c1", "k2", "_")}),
         {"Before", "_"},
         {"Before", "_"},
         {"Before", "_"}},
        {"marker name between names and across classes",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", "A"), Pci("c1", "k2", "_"), Pci("c1", "k3", "C"),
               ClassKey("c2"), Pci("c2", "k1", "_"), ClassKey("c3"), Pci("c3", "k1", "E")}),
         {"A", "C", "E"},
         {"A", "C", "E"},
         {"A", "C", "E"}},
        {"duplicates",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", "LAN"), Pci("c1", "k2", "LAN"), ClassKey("c2"),
               Pci("c2", "k1", "LAN")}),
         {"LAN", "LAN", "LAN"},
         {"LAN", "LAN", "LAN"},
         {"LAN", "LAN", "LAN"}},
        {"empty and missing names",
         true,
         Join({ClassKey("c1"), Pci("c1", "k1", ""), Pci("c1", "k2", std::nullopt),
               Pci("c1", "k3", "Wifi"), Pci("c1", "k4", std::nullopt)}),
         {"", "", "Wifi", ""},
         {"", "", "Wifi", ""},
         {"", "", "Wifi", ""}},
        // Names that do not fit the 255-character buffer are passed over, never taken for
        // their parent key (here a bait that passes every filter); the walk goes on.
        {"key names of 255 and 256 characters",
         true,
         Join({{Text(kNetworkKey, "Class", "Net"),
                Text(kNetworkKey, "Name", "Parent key"),
                Text(kNetworkKey, "PnpInstanceID", "PCI\\VEN_1"),
                {kNetworkKey, "MediaSubType", REG_DWORD, DwordBytes(1)}},
               ClassKey(long255),
               Pci(long255, "k1", "In long class"),
               ClassKey("c1"),
               Pci("c1", long255, "Long255"),
               Pci("c1", long256, "Long256"),
               Pci("c1", "c", "Short"),
               ClassKey("c2"),
               Pci("c2", "k1", "Next class")}),
         {"Short", "Next class"},
         {"Short", "Next class"},
         {"Short", "Next class"}},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchMachine machine;
        if (c.networkKey)
            machine.Create(kNetworkKey);
        for (const auto& v : c.tree)
            machine.Write(v);
        EXPECT_EQ(ListConnectionsWithPnpId(), c.withPnpId);
        EXPECT_EQ(ListConnectionsByMediaSubType(), c.byMediaSubType);
        EXPECT_EQ(ListPciConnections(), c.pci);
    }
}

// The registry of the test process is its own again once a fixture ends.
TEST(ConnectionLists, StandInEndsWithItsFixture) {
    {
        ScratchMachine machine;
        for (const auto& v : Join({ClassKey("c1"), Pci("c1", "k1", "Fixture LAN")}))
            machine.Write(v);
        ASSERT_EQ(ListPciConnections(), Names{"Fixture LAN"});
    }
    EXPECT_NE(ListPciConnections(), Names{"Fixture LAN"});
    base::unique_hkey scratch;
    EXPECT_NE(
        RegOpenKeyA(
            HKEY_CURRENT_USER,
            ("Software\\IpshifterRegistryTest_" + std::to_string(GetCurrentProcessId())).c_str(),
            scratch.put()),
        ERROR_SUCCESS);
}

// ---------------------------------------------------------------------------------------------
// The TCP/IP settings Windows keeps for a connection, in the forms its versions write

std::string Multi(std::initializer_list<std::string> items) {
    std::string out;
    for (const auto& i : items)
        out += i + '\0';
    return out + '\0';
}

TEST(StoredIpSettings, ReadsBothStringTypesAndBothSeparators) {
    ScratchMachine machine;
    const std::string multi = TcpipInterfacePath("{MULTI}");
    const std::string text = TcpipInterfacePath("{TEXT}");
    const std::string bare = TcpipInterfacePath("{BARE}");
    for (const auto& v : std::vector<RegValue>{
             {multi, "EnableDHCP", REG_DWORD, DwordBytes(0)},
             {multi, "IPAddress", REG_MULTI_SZ, Multi({"192.0.2.10", "192.0.2.11"})},
             {multi, "SubnetMask", REG_MULTI_SZ, Multi({"255.255.255.0", "255.255.255.0"})},
             {multi, "DefaultGateway", REG_MULTI_SZ, Multi({"192.0.2.1"})},
             {multi, "DefaultGatewayMetric", REG_MULTI_SZ, Multi({"5"})},
             {multi, "NameServer", REG_SZ, std::string("192.0.2.53,192.0.2.54\0", 22)},
             {multi, "DhcpIPAddress", REG_SZ, std::string("10.0.0.7\0", 9)},
             {multi, "DhcpDefaultGateway", REG_MULTI_SZ, Multi({"10.0.0.1"})},
             {multi, "DhcpNameServer", REG_SZ, std::string("10.0.0.53 10.0.0.54\0", 20)},
             // Older versions: REG_SZ lists with blanks, a DWORD of 1 for DHCP.
             {text, "EnableDHCP", REG_DWORD, DwordBytes(1)},
             {text, "IPAddress", REG_SZ, std::string("0.0.0.0\0", 8)},
             {text, "SubnetMask", REG_SZ, std::string("0.0.0.0\0", 8)},
             {text, "DefaultGateway", REG_SZ, std::string(" 192.0.2.1  192.0.2.2 \0", 24)},
             {text, "NameServer", REG_SZ, std::string("192.0.2.53 192.0.2.54,\0", 23)},
             // A key without values, and a DHCP flag of the wrong type.
             {bare, "EnableDHCP", REG_SZ, std::string("1\0", 2)},
         })
        machine.Write(v);

    const auto m = ReadStoredIpSettings("{MULTI}");
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->dhcp, false);
    EXPECT_EQ(m->addresses, (Names{"192.0.2.10", "192.0.2.11"}));
    EXPECT_EQ(m->masks, (Names{"255.255.255.0", "255.255.255.0"}));
    EXPECT_EQ(m->gateways, Names{"192.0.2.1"});
    EXPECT_EQ(m->gatewayMetrics, Names{"5"});
    EXPECT_EQ(m->dnsServers, (Names{"192.0.2.53", "192.0.2.54"}));
    EXPECT_EQ(m->leaseAddresses, Names{"10.0.0.7"});
    EXPECT_EQ(m->leaseGateways, Names{"10.0.0.1"});
    EXPECT_EQ(m->leaseDnsServers, (Names{"10.0.0.53", "10.0.0.54"}));
    EXPECT_TRUE(m->leaseMasks.empty());

    const auto t = ReadStoredIpSettings("{TEXT}");
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->dhcp, true);
    EXPECT_EQ(t->addresses, Names{"0.0.0.0"});
    EXPECT_EQ(t->gateways, (Names{"192.0.2.1", "192.0.2.2"}));
    EXPECT_EQ(t->dnsServers, (Names{"192.0.2.53", "192.0.2.54"}));

    const auto b = ReadStoredIpSettings("{BARE}");
    ASSERT_TRUE(b.has_value());
    EXPECT_FALSE(b->dhcp.has_value());
    EXPECT_TRUE(b->addresses.empty() && b->dnsServers.empty() && b->gateways.empty());

    // No key for the connection, and no key at all: nothing kept. An empty key never reads the
    // parent, which holds every connection's settings.
    EXPECT_FALSE(ReadStoredIpSettings("{NONE}").has_value());
    EXPECT_FALSE(ReadStoredIpSettings("").has_value());
}

// Discovery hands each connection's key on, for its kept settings to be found.
TEST(StoredIpSettings, DiscoveryGivesTheKeyOfEachConnection) {
    ScratchMachine machine;
    for (const auto& v : Join({ClassKey("c1"), Pci("c1", "{K1}", "LAN"), Pci("c1", "{K2}", "_"),
                               Adapter("c1", "{K3}", "Dock", "USB\\VID_0B95&PID_1790\\1")}))
        machine.Write(v);
    // A connection named like the marker is replaced, key and all, by the next one.
    EXPECT_EQ(FindConnections(ConnectionFilter::PciOrUsb),
              (std::vector<FoundConnection>{{"LAN", "{K1}"}, {"Dock", "{K3}"}}));
    EXPECT_EQ(FindConnections(ConnectionFilter::ByMediaSubType),
              (std::vector<FoundConnection>{{"LAN", "{K1}"}, {"_", "{K2}"}}));
}

} // namespace
