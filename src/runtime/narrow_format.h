#pragma once
// The narrow printf of the installer log, with the Windows conventions of
// the library's format texts (%s narrow, %S and %ls wide, %I64 and friends).
// Wide arguments go through `toNarrow`, so that a character the log's code
// page lacks costs one '?' instead of the whole argument. Pure logic.
#include <cstdarg>
#include <string>

namespace ondex::runtime {

using WideToNarrow = std::string (*)(const wchar_t* text, size_t length);

std::string FormatNarrowArgs(const char* format, va_list args, WideToNarrow toNarrow);

}  // namespace ondex::runtime
