// The ASP.NET tool folder from an arbitrary version text (16-bit code units)
// behind a short install root: the result is bounded, keeps the root, and,
// when it fits, is "v<a>.<b>.<c>\" whose numbers read back the same.
#include <string>

#include "fuzz_support.h"
#include "iis/iis_state_text.h"

using namespace ondex::iis;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    std::wstring version;
    for (unsigned long i = 0; i + 1 < size; i += 2) version.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
    const std::wstring root = L"C:\\Windows\\Microsoft.NET\\Framework64\\";
    const std::wstring path = GetASPNETREGIISPath(root, version);
    Require(path.size() <= 259 && path.compare(0, root.size(), root) == 0);

    const FrameworkVersion parsed = ParseFrameworkVersion(version);
    Require(parsed.major >= 0 && parsed.minor >= 0 && parsed.build >= 0);
    const std::wstring suffix = path.substr(root.size());
    Require(suffix.size() >= 7 && suffix[0] == L'v' && suffix.back() == L'\\');
    const FrameworkVersion again = ParseFrameworkVersion(suffix.substr(1, suffix.size() - 2));
    Require(again.major == parsed.major && again.minor == parsed.minor && again.build == parsed.build);
    return 0;
}
