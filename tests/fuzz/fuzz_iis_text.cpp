// The metabase layer's parsers on arbitrary text: a split binding joins back
// to its string, the port parse never fails, a hash has half as many bytes
// as characters, a multi-string record keeps its length rule, and a found
// extension entry lies inside the buffer and holds the text.
#include <string>

#include "iis/iis_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    using namespace ondex::iis;
    const std::wstring data(bytes, bytes + size);
    if (auto binding = SplitServerBinding(data)) {
        Require(binding->ip + L":" + binding->port + L":" + binding->host == data);
        Require(binding->ip.find(L':') == std::wstring::npos && binding->port.find(L':') == std::wstring::npos);
        (void)BindingMatches(*binding, L"*", ParseDecimalPrefix(binding->port), L"*");
    }
    Require(HashBytes(data).size() == data.size() / 2);
    if (auto record = MultiStringFromList(data)) {
        Require(record->size() == data.size() + 2 && record->back() == L'\0');
        Require(record->find(L';') == std::wstring::npos);
    } else {
        Require(data.empty());
    }
    const size_t split = data.empty() ? 0 : bytes[0] % (data.size() + 1);
    const std::wstring_view list(data.data(), split), text(data.data() + split, data.size() - split);
    if (auto entry = FindListEntry(list, text)) {
        Require(*entry < list.size());
        Require(FirstString(list.data() + *entry, list.size() - *entry).find(text) != std::wstring_view::npos);
    }
    std::vector<std::uint32_t> ids;
    for (size_t i = 0; i + 1 < size; i += 2) ids.push_back(bytes[i] % 8);
    const auto next = NextFreeSiteId(ids);
    Require(next >= 1);
    for (auto id : ids) Require(id != next);
    return 0;
}
