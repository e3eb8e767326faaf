#include "functions/tcpip.h"

#include "base/handle.h"
#include "base/platform.h"
#include "functions/address_text.h"
#include "registry/mdlRegistry.h"

#include <windows.h>
#include <iphlpapi.h>

#include <vector>

namespace {

std::vector<std::string> ListValue(HKEY key, const char* name) {
    return RegQueryValueList(key, name).value_or(std::vector<std::string>{});
}

// An address list of IP Helper; "0.0.0.0" stands for an empty slot.
void AppendAddresses(const IP_ADDR_STRING* item, std::vector<std::string>* addresses,
                     std::vector<std::string>* masks) {
    for (; item; item = item->Next) {
        const std::string address(item->IpAddress.String,
                                  strnlen(item->IpAddress.String, sizeof(item->IpAddress.String)));
        if (address.empty() || address == "0.0.0.0")
            continue;
        addresses->push_back(address);
        if (masks)
            masks->emplace_back(item->IpMask.String,
                                strnlen(item->IpMask.String, sizeof(item->IpMask.String)));
    }
}

// IP Helper's grow-the-buffer call: the data, or empty when it fails.
template <typename Call> std::vector<char> GrowingCall(Call call) {
    std::vector<char> buffer(16 * 1024);
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto size = static_cast<ULONG>(buffer.size());
        const DWORD rc = call(buffer.data(), &size);
        if (rc == ERROR_SUCCESS)
            return buffer;
        if (rc != ERROR_BUFFER_OVERFLOW || size <= buffer.size())
            break;
        buffer.resize(size);
    }
    return {};
}

} // namespace

namespace {

// A list without the empty slots Windows writes ("0.0.0.0", or nothing at all).
std::vector<std::string> Assigned(const std::vector<std::string>& list) {
    std::vector<std::string> out;
    for (const auto& item : list) {
        if (!item.empty() && item != "0.0.0.0")
            out.push_back(item);
    }
    return out;
}

std::string FirstOr(const std::vector<std::string>& list, const std::string& fallback) {
    return list.empty() ? fallback : list.front();
}

} // namespace

ProfileFields FieldsFromSettings(const IpSettings& kept) {
    ProfileFields f;
    const auto addresses = Assigned(kept.addresses);
    // Without the flag, the addresses tell.
    const bool dhcp = kept.dhcp.value_or(addresses.empty());
    f.dhcp = dhcp ? 1 : 0;
    f.dns = TextFromAddresses(Assigned(kept.dnsServers));
    if (!dhcp) {
        f.ip = TextFromAddresses(addresses);
        f.subnet = kept.masks.empty() ? std::string() : kept.masks.front();
        const auto gateways = Assigned(kept.gateways);
        f.gateway = FirstOr(gateways, "none");
        // The metric kept beside the gateway; where none is kept the field stays.
        if (!gateways.empty() && !kept.gatewayMetrics.empty() &&
            !kept.gatewayMetrics.front().empty() &&
            kept.gatewayMetrics.front().find_first_not_of("0123456789") == std::string::npos)
            f.metric = kept.gatewayMetrics.front();
        return f;
    }
    const auto lease = Assigned(kept.leaseAddresses);
    if (!lease.empty()) {
        f.ip = lease.front();
        f.subnet = FirstOr(kept.leaseMasks, "");
        f.gateway = FirstOr(Assigned(kept.leaseGateways), "none");
    }
    return f;
}

std::string TcpipInterfacePath(const std::string& connectionKey) {
    return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + connectionKey;
}

std::optional<IpSettings> ReadStoredIpSettings(const std::string& connectionKey) {
    // An empty key would name the parent, which holds every connection's settings.
    if (connectionKey.empty())
        return std::nullopt;
    base::unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TcpipInterfacePath(connectionKey).c_str(), 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    IpSettings s;
    if (const auto dhcp = RegQueryValueDword(key.get(), "EnableDHCP"))
        s.dhcp = *dhcp != 0;
    s.addresses = ListValue(key.get(), "IPAddress");
    s.masks = ListValue(key.get(), "SubnetMask");
    s.gateways = ListValue(key.get(), "DefaultGateway");
    s.gatewayMetrics = ListValue(key.get(), "DefaultGatewayMetric");
    s.dnsServers = ListValue(key.get(), "NameServer");
    s.leaseAddresses = ListValue(key.get(), "DhcpIPAddress");
    s.leaseMasks = ListValue(key.get(), "DhcpSubnetMask");
    s.leaseGateways = ListValue(key.get(), "DhcpDefaultGateway");
    s.leaseDnsServers = ListValue(key.get(), "DhcpNameServer");
    return s;
}

std::optional<IpSettings> ReadLiveIpSettings(const std::string& connectionKey) {
    if (connectionKey.empty())
        return std::nullopt;
    auto& calls = platform::Current();
    const std::vector<char> adapters = GrowingCall([&](char* data, PULONG size) {
        return calls.GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(data), size);
    });
    // Only the fields before the lease times are read: their size differs between compilers.
    for (auto* a = adapters.empty() ? nullptr
                                    : reinterpret_cast<const IP_ADAPTER_INFO*>(adapters.data());
         a; a = a->Next) {
        if (lstrcmpiA(a->AdapterName, connectionKey.c_str()) != 0)
            continue;
        IpSettings s;
        s.dhcp = a->DhcpEnabled != 0;
        AppendAddresses(&a->IpAddressList, &s.addresses, &s.masks);
        AppendAddresses(&a->GatewayList, &s.gateways, nullptr);
        const std::vector<char> perAdapter = GrowingCall([&](char* data, PULONG size) {
            return calls.GetPerAdapterInfo(a->Index, reinterpret_cast<PIP_PER_ADAPTER_INFO>(data),
                                           size);
        });
        if (!perAdapter.empty())
            AppendAddresses(
                &reinterpret_cast<const IP_PER_ADAPTER_INFO*>(perAdapter.data())->DnsServerList,
                &s.dnsServers, nullptr);
        return s;
    }
    return std::nullopt;
}
