#include "system/item_list.h"

namespace ondex::system {

std::vector<std::wstring> SplitItems(std::wstring_view data) {
    std::vector<std::wstring> items;
    if (data.empty()) return items;
    size_t start = 0;
    for (size_t bar; (bar = data.find(L'|', start)) != std::wstring_view::npos; start = bar + 1)
        items.emplace_back(data.substr(start, bar - start));
    items.emplace_back(data.substr(start));
    return items;
}

}  // namespace ondex::system
