// The port texts a user types into the web-site dialog: a text either gets a
// verdict or goes on as a number in range, in its decimal form.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "iis/web_dialog_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring text(bytes, bytes + size);
    std::wstring rewritten;
    if (ondex::iis::WebPortVerdict(text, rewritten).empty())
        Require(!rewritten.empty() && rewritten.size() < 6 && (rewritten == L"0" || rewritten[0] != L'0'));
    std::uint16_t port = 0;
    if (ondex::iis::LocalPortVerdict(text, rewritten, port).empty()) Require(port != 0 && std::to_wstring(port) == rewritten);
    return 0;
}
