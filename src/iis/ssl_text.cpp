#include "iis/ssl_text.h"

#include <vector>

namespace ondex::iis {

namespace {

constexpr std::wstring_view kSslSeparator = L"|||";

std::vector<std::wstring> SplitFields(std::wstring_view data) {
    std::vector<std::wstring> fields;
    for (size_t start = 0;;) {
        const size_t end = data.find(kSslSeparator, start);
        fields.emplace_back(data.substr(start, end - start));
        if (end == std::wstring_view::npos) return fields;
        start = end + kSslSeparator.size();
    }
}

}  // namespace

std::optional<SslRequest> ParseSslData(std::wstring_view data) {
    std::vector<std::wstring> fields = SplitFields(data);
    if (fields.size() < 4) return std::nullopt;
    SslRequest request{fields[0], fields[1], fields[2], fields[3], std::nullopt};
    if (fields.size() > 4) request.certificateHash = fields[4];
    return request;
}

std::wstring SelfSslCommandLine(const SslRequest& request, std::wstring_view site) {
    return L"\"" + request.toolFolder + L"\\selfssl.exe\" /T /N:CN=" + request.commonName + L" /V:3650 /S:" +
           std::wstring(site) + L" /P:" + request.sslPort + L" /Q";
}

}  // namespace ondex::iis
