#pragma once
// Comparisons that ignore the case of ASCII letters only, as the installer's
// own conventions do (no locale, no case folding beyond A-Z). Pure logic.
#include <algorithm>
#include <string_view>

namespace ondex::runtime {

constexpr wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

constexpr bool EqualsAsciiNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

constexpr bool StartsWithAsciiNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace ondex::runtime
