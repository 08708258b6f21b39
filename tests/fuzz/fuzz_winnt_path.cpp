// ADsPaths from the object picker: the split keeps what it was made from and
// the fallback name stays within its buffer.
#include <string>

#include "accounts/account_select_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring path(bytes, bytes + size);
    const auto parts = ondex::accounts::ParseWinNTPath(path);
    Require(parts.user.find(L'/') == std::wstring::npos && parts.container.find(L'/') == std::wstring::npos);
    const size_t slashes = path.find(L'/') == std::wstring::npos ? 0 : 1;
    Require(parts.user.size() + parts.container.size() + slashes <= path.size());
    Require(path.size() >= parts.user.size() &&
            path.compare(path.size() - parts.user.size(), std::wstring::npos, parts.user) == 0);
    const std::wstring name = ondex::accounts::UntranslatedAccountName(path);
    Require(name.size() <= ondex::accounts::kPickedNameChars);
    Require(ondex::accounts::IsWinNTPath(path) || path.compare(0, name.size(), name) == 0);
    return 0;
}
