#pragma once
// The metabase layer's decisions on plain values: ServerBindings strings,
// port texts, certificate hashes, ';' lists for multi-string records, the
// web service extension list and the next free site number. Pure logic: no
// Windows headers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::iis {

// The three parts of one ServerBindings string "ip:port:host".
struct SiteBinding {
    std::wstring ip, port, host;
    bool operator==(const SiteBinding&) const = default;
};

// Splits at the first two ':' (the host keeps any further ones); a string
// without two ':' cannot be split.
std::optional<SiteBinding> SplitServerBinding(std::wstring_view binding);

// The value of the leading decimal digits (no digits: 0); saturates at
// 0xFFFFFFFF.
std::uint32_t ParseDecimalPrefix(std::wstring_view text);

// True when the binding carries `port` and the ip and host match, "*"
// matching any; comparisons are exact and case-sensitive.
bool BindingMatches(const SiteBinding& binding, std::wstring_view ip, std::uint32_t port, std::wstring_view host);

// The first string of a multi-string buffer of `chars` characters: up to its
// first NUL or the buffer's end.
std::wstring_view FirstString(const wchar_t* buffer, size_t chars);

// A certificate hash text as bytes: two characters a byte, high nibble first,
// '0'-'9', 'A'-'F' and 'a'-'f'; any other character counts as 0 and an odd
// last character is left out.
std::vector<std::uint8_t> HashBytes(std::wstring_view hex);

// The characters of a multi-string record built from a ';'-separated list:
// one ';' appended, every ';' replaced by NUL, and the terminating NUL, so
// the record's length is size() characters. An empty list has none.
std::optional<std::wstring> MultiStringFromList(std::wstring_view list);

// The offset of the first entry of a multi-string that contains `text`
// (case-sensitive). The walk ends at the empty string that closes the list
// or at the buffer's end.
std::optional<size_t> FindListEntry(std::wstring_view multiString, std::wstring_view text);

// The smallest positive number none of `used` is: with the numbers in
// ascending order, n starts at 1 and becomes element + 1 while n >= element.
std::uint64_t NextFreeSiteId(std::vector<std::uint32_t> used);

}  // namespace ondex::iis
