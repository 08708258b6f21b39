#pragma once
// The deferred data that ConfigureWeb's immediate part hands to its deferred
// part: 18 fields in the token syntax of deferred data. Pure logic.
#include <string>

namespace ondex::iis {

inline constexpr wchar_t kConfigureWebName[] = L"ConfigureWeb";
inline constexpr wchar_t kConfigureWebDeferred[] = L"ConfigureWebDeferred";

// The session properties the data is made of.
struct ConfigureWebProperties {
    std::wstring baseWebDir, webAccessDir, siteId, siteName, virtualRoot, tcpPort, hostHeader, ipAddress;
    std::wstring readers[3], writers[3];
};

// The fields separated by the token separator, none after the last.
std::wstring WriteConfigureWebData(const ConfigureWebProperties& properties);

}  // namespace ondex::iis
