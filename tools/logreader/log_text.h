#pragma once
// Turns the bytes of an installer log into UTF-8 lines: UTF-16 (with a byte
// order mark, or little-endian without one), UTF-8, or CP1252 line by line.
#include <string>
#include <string_view>
#include <vector>

namespace ondex::logreader {

std::vector<std::string> DecodeLogLines(std::string_view bytes);

// The line with control characters other than tab shown as "\xNN".
std::string Printable(std::string_view line);

}  // namespace ondex::logreader
