// The firewall item splitter and port parser on arbitrary data: the items,
// joined again by "|", give back the data; no item holds a "|"; records never
// reach past the items; ports parse without overflow.
#include <cstdlib>
#include <string>

#include "system/firewall_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring data(bytes, bytes + size);
    const auto items = ondex::system::SplitItems(data);
    Require(items.empty() == data.empty());
    std::wstring joined;
    for (size_t i = 0; i < items.size(); ++i) {
        Require(items[i].find(L'|') == std::wstring::npos);
        if (i) joined += L'|';
        joined += items[i];
    }
    Require(joined == data);

    const auto add = ondex::system::AddRecords(items);
    Require(add.size() == (items.empty() ? 0 : (items.size() - 1) / ondex::system::kAddRecordItems));
    const auto remove = ondex::system::RemoveRecords(items);
    Require(remove.size() == (items.empty() ? 0 : (items.size() - 1) / ondex::system::kRemoveRecordItems));
    for (const auto& record : remove)
        for (auto port : ondex::system::ParsePorts(record.ports)) Require(port >= 0);
    return 0;
}
