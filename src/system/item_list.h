#pragma once
// The "|" lists that the firewall and share actions get as deferred data.
// Pure logic: no Windows headers.
#include <string>
#include <string_view>
#include <vector>

namespace ondex::system {

// Splits at every "|"; each "|" ends an item and the text after the last one
// is the last item, so empty items count too. An empty text gives no items.
// There is no escape: every "|" separates.
std::vector<std::wstring> SplitItems(std::wstring_view data);

}  // namespace ondex::system
