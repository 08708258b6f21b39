#pragma once
// Printf-style formatting with the Windows conventions that the library's
// format texts are written for: in a wide format %s takes a wide string and
// %S a narrow one; in a narrow format %s takes a narrow string and %S a wide
// one. Use these instead of swprintf/snprintf, whose mingw builds follow the
// C standard (%s is always narrow) and would print garbage.
#include <cstdarg>
#include <string>

namespace ondex::runtime {

std::wstring FormatWide(const wchar_t* format, ...);
std::wstring FormatWideV(const wchar_t* format, va_list args);
std::string FormatNarrow(const char* format, ...);
std::string FormatNarrowV(const char* format, va_list args);

// Formats into a fixed buffer of `capacity` characters; a text that does not
// fit is cut and terminated at the last character.
void FormatWideInto(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args);
void FormatNarrowInto(char* buffer, size_t capacity, const char* format, va_list args);

// Narrow text in the ANSI code page <-> wide text.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
std::wstring Widen(const char* ascii);

// Replaces every `from` in `text` by `to`, left to right, never inside a
// replacement; an empty `from` changes nothing.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

}  // namespace ondex::runtime
