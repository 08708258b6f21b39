#pragma once
// Trace-flags word of an action or internal operation, and the text rules
// that read it. Pure logic: no Windows headers.
#include <cstdint>
#include <optional>
#include <string_view>

namespace ondex::runtime {

using TracerFlags = std::uint32_t;

// Level bits.
inline constexpr TracerFlags TF_ASSERT = 0x1;
inline constexpr TracerFlags TF_ERROR = 0x2;
inline constexpr TracerFlags TF_TRACE = 0x4;
// Channel bits.
inline constexpr TracerFlags TF_MESSAGEBOX = 0x100;
inline constexpr TracerFlags TF_LOGFILE = 0x200;
inline constexpr TracerFlags TF_MSILOG = 0x400;
inline constexpr TracerFlags TF_CHANNELS = 0x3f00;
inline constexpr TracerFlags TF_DEFAULT = 0x101;

// Signed decimal parse with C library semantics: leading blanks and a sign
// allowed, stops at the first non-digit, no digits give 0. The 32-bit pattern
// of the number is returned (so "-1" gives 0xFFFFFFFF).
std::uint32_t ParseDecimal(std::wstring_view text);

// (A AND base) XOR X, where a missing A is 0 and a missing X is A XOR base.
TracerFlags CombineTracerFlags(TracerFlags base, std::optional<TracerFlags> andOrMask,
                               std::optional<TracerFlags> xorMask);

// The level bit an event carries: 0x4 before 0x2 before 0x1, 0 when none.
TracerFlags EventLevel(TracerFlags flags);

}  // namespace ondex::runtime
