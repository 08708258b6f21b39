// InstallSSL's "|||" data: four fields or more give a request whose fields,
// joined again, are a prefix of the data, and no field holds the separator
// (the fifth may, since fields after it are ignored only when split off).
#include <string>

#include "fuzz_support.h"
#include "iis/ssl_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring data(bytes, bytes + size);
    const auto request = ondex::iis::ParseSslData(data);
    if (!request) return 0;
    std::wstring joined = request->toolFolder + L"|||" + request->sitePort + L"|||" + request->commonName + L"|||" +
                          request->sslPort;
    if (request->certificateHash) joined += L"|||" + *request->certificateHash;
    Require(data.compare(0, joined.size(), joined) == 0);
    for (const std::wstring* field : {&request->toolFolder, &request->sitePort, &request->commonName, &request->sslPort})
        Require(field->find(L"|||") == std::wstring::npos);
    Require(ondex::iis::SelfSslCommandLine(*request, L"4").size() > request->toolFolder.size());
    return 0;
}
