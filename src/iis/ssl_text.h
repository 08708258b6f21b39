#pragma once
// InstallSSL's deferred data, fields separated by "|||": tool folder, plain
// site port, common name, SSL port and, optionally, a certificate hash; and
// the selfssl.exe command line made from them. Pure logic.
#include <optional>
#include <string>
#include <string_view>

namespace ondex::iis {

struct SslRequest {
    std::wstring toolFolder, sitePort, commonName, sslPort;
    std::optional<std::wstring> certificateHash;  // present from the fifth field on
};

// Nothing for fewer than four fields; fields after the fifth are ignored.
std::optional<SslRequest> ParseSslData(std::wstring_view data);

// "<folder>\selfssl.exe" /T /N:CN=<name> /V:3650 /S:<site> /P:<port> /Q
std::wstring SelfSslCommandLine(const SslRequest& request, std::wstring_view site);

}  // namespace ondex::iis
