#pragma once
// Version texts of the .NET Framework check: the two leading components of a
// version such as "2.0.50727", and how a found version compares with the
// required one. Pure logic: no Windows headers.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ondex::prereq {

// VersionInfo::flags
inline constexpr std::uint32_t kVersionHasMajor = 0x1;
inline constexpr std::uint32_t kVersionHasMinor = 0x2;

// The kept text: at most 23 characters of the source and a terminator.
inline constexpr std::size_t kVersionTextChars = 24;

struct VersionInfo {
    std::uint32_t flags = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    wchar_t text[kVersionTextChars] = {};
};

// Outcomes of comparing a found version with a required one.
inline constexpr std::uint32_t kVersionOlder = 1;      // lower major, or same major and lower minor
inline constexpr std::uint32_t kVersionSameMajor = 2;  // same major, no minor required, same parts present
inline constexpr std::uint32_t kVersionNewerMajor = 4;
inline constexpr std::uint32_t kVersionNotComparable = 128;  // no major required, or parts present differ
inline constexpr std::uint32_t kVersionSameMinor = 130;      // same major and same minor
inline constexpr std::uint32_t kVersionNewerMinor = 132;     // same major, higher minor

// Keeps the text up to its first terminator, cut to 23 characters; the major
// part is the decimal number at its start, the minor part (present when the
// kept text holds a '.') the number after the first '.'. Numbers are taken
// modulo 2^16. Returns 1, or 0 when `version` is missing.
int ParseVersionString(std::wstring_view text, VersionInfo* version);

// One of the outcomes above; a missing part of the found version counts as 0.
std::uint32_t VersionComparison(const VersionInfo& found, const VersionInfo& required);

}  // namespace ondex::prereq
