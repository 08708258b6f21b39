#include "iis/iis_text.h"

#include <algorithm>
#include <limits>

namespace ondex::iis {

std::optional<SiteBinding> SplitServerBinding(std::wstring_view binding) {
    const size_t first = binding.find(L':');
    if (first == std::wstring_view::npos) return std::nullopt;
    const size_t second = binding.find(L':', first + 1);
    if (second == std::wstring_view::npos) return std::nullopt;
    return SiteBinding{std::wstring(binding.substr(0, first)),
                       std::wstring(binding.substr(first + 1, second - first - 1)),
                       std::wstring(binding.substr(second + 1))};
}

std::uint32_t ParseDecimalPrefix(std::wstring_view text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') break;
        value = std::min(kMax, value * 10 + static_cast<std::uint64_t>(c - L'0'));
    }
    return static_cast<std::uint32_t>(value);
}

bool BindingMatches(const SiteBinding& binding, std::wstring_view ip, std::uint32_t port, std::wstring_view host) {
    return (ip == L"*" || ip == binding.ip) && port == ParseDecimalPrefix(binding.port) &&
           (host == L"*" || host == binding.host);
}

std::wstring_view FirstString(const wchar_t* buffer, size_t chars) {
    if (!buffer) return {};
    const std::wstring_view all(buffer, chars);
    return all.substr(0, std::min(all.find(L'\0'), all.size()));
}

namespace {
std::uint8_t Nibble(wchar_t c) {
    if (c >= L'0' && c <= L'9') return static_cast<std::uint8_t>(c - L'0');
    if (c >= L'A' && c <= L'F') return static_cast<std::uint8_t>(c - L'A' + 10);
    if (c >= L'a' && c <= L'f') return static_cast<std::uint8_t>(c - L'a' + 10);
    return 0;
}
}  // namespace

std::vector<std::uint8_t> HashBytes(std::wstring_view hex) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(Nibble(hex[i]) << 4 | Nibble(hex[i + 1])));
    return bytes;
}

std::optional<std::wstring> MultiStringFromList(std::wstring_view list) {
    if (list.empty()) return std::nullopt;
    std::wstring record(list);
    record += L';';
    std::replace(record.begin(), record.end(), L';', L'\0');
    record += L'\0';
    return record;
}

std::optional<size_t> FindListEntry(std::wstring_view multiString, std::wstring_view text) {
    size_t offset = 0;
    while (offset < multiString.size()) {
        const size_t end = std::min(multiString.find(L'\0', offset), multiString.size());
        if (end == offset) break;
        if (multiString.substr(offset, end - offset).find(text) != std::wstring_view::npos) return offset;
        offset = end + 1;
    }
    return std::nullopt;
}

std::uint64_t NextFreeSiteId(std::vector<std::uint32_t> used) {
    std::sort(used.begin(), used.end());
    std::uint64_t next = 1;
    for (std::uint32_t id : used) {
        if (next < id) break;
        next = std::uint64_t{id} + 1;
    }
    return next;
}

}  // namespace ondex::iis
