// The "|" list of the share actions' deferred data on arbitrary text: the
// items, joined again by "|", give back the text, and no item holds a "|".
#include <cstdlib>
#include <string>

#include "system/shares_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring data(bytes, bytes + size);
    const auto items = ondex::system::SplitItems(data);
    bool holds = items.empty() == data.empty();
    std::wstring joined;
    for (size_t i = 0; i < items.size(); ++i) {
        holds = holds && items[i].find(L'|') == std::wstring::npos;
        if (i) joined += L'|';
        joined += items[i];
    }
    holds = holds && joined == data;
    // At most one trailing backslash goes, nothing else changes.
    const auto trimmed = ondex::system::WithoutTrailingBackslash(data);
    holds = holds && data.compare(0, trimmed.size(), trimmed) == 0 && data.size() - trimmed.size() <= 1;
    if (!holds) std::abort();
    return 0;
}
