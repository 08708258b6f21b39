#include "runtime/text_format.h"
#include "runtime/narrow_format.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ondex::runtime {

namespace {

// Doubles the buffer from 256 characters until the text fits.
template <typename Char, typename Formatter>
std::basic_string<Char> FormatGrowing(const Char* format, va_list args, Formatter formatter) {
    std::vector<Char> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = formatter(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) return {buffer.data(), size_t(written)};
        if (buffer.size() >= 0x4000000) return {buffer.data(), buffer.size() - 1};
        buffer.resize(buffer.size() * 2);
    }
}

int WideFormatter(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
    return _vsnwprintf(buffer, capacity, format, args);
}

std::string AnsiOf(const wchar_t* text, size_t length) { return ToAnsi(std::wstring(text, length)); }

}  // namespace

std::wstring FormatWideV(const wchar_t* format, va_list args) { return FormatGrowing(format, args, WideFormatter); }

std::string FormatNarrowV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    std::string text = FormatNarrowArgs(format, copy, AnsiOf);
    va_end(copy);
    return text;
}

std::wstring FormatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWideV(format, args);
    va_end(args);
    return text;
}

std::string FormatNarrow(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatNarrowV(format, args);
    va_end(args);
    return text;
}

void FormatWideInto(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
    if (capacity == 0) return;
    _vsnwprintf(buffer, capacity, format, args);
    buffer[capacity - 1] = L'\0';
}

void FormatNarrowInto(char* buffer, size_t capacity, const char* format, va_list args) {
    if (capacity == 0) return;
    const std::string text = FormatNarrowV(format, args);
    const size_t copied = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    // A character the code page lacks becomes '?' (a UTF-8 code page takes no
    // replacement character and needs none).
    const int length = static_cast<int>(text.size());
    const char* replacement = "?";
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, replacement, nullptr);
    if (size == 0) {
        replacement = nullptr;
        size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, narrow.data(), size, replacement, nullptr);
    return narrow;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::wstring Widen(const char* ascii) {
    std::wstring wide;
    for (; ascii && *ascii; ++ascii) wide.push_back(static_cast<unsigned char>(*ascii));
    return wide;
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace ondex::runtime
