#include "runtime/narrow_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace ondex::runtime {

namespace {

enum class Size { Default, Char, Short, Long, LongLong, Pointer, Int32, WideText, NarrowText, LongDouble };

// One conversion: flags, width and precision as the C library takes them,
// the argument size and the conversion letter.
struct Conversion {
    std::string prefix = "%";
    std::string withoutPrecision;  // the prefix's flags and width alone
    Size size = Size::Default;
    char type = '\0';
    int precision = -1;
};

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void TakeNumber(const char*& at, std::string& out, va_list& args, bool precision, int& value) {
    if (*at == '*') {
        ++at;
        const int number = va_arg(args, int);
        if (precision && number < 0) return;  // a negative precision counts as none
        if (precision) out += '.';
        out += std::to_string(number);
        value = number;
        return;
    }
    if (precision) out += '.';
    int number = 0;
    for (; IsDigit(*at); ++at) {
        out += *at;
        if (number < 100000) number = number * 10 + (*at - '0');
    }
    value = number;
}

Size TakeSize(const char*& at) {
    auto starts = [&](const char* text) {
        const size_t length = std::strlen(text);
        if (std::strncmp(at, text, length) != 0) return false;
        at += length;
        return true;
    };
    if (starts("I64") || starts("ll") || starts("q")) return Size::LongLong;
    if (starts("I32")) return Size::Int32;
    if (starts("hh")) return Size::Char;
    if (starts("h")) return Size::Short;
    if (starts("l")) return Size::Long;
    if (starts("w")) return Size::WideText;
    if (starts("L")) return Size::LongDouble;
    if (starts("I") || starts("z") || starts("t") || starts("j")) return Size::Pointer;
    return Size::Default;
}

// Parses the conversion after '%'; the letter is '\0' when the text ends.
Conversion TakeConversion(const char*& at, va_list& args) {
    Conversion conversion;
    int ignored = 0;
    while (IsFlag(*at)) conversion.prefix += *at++;
    if (*at == '*' || IsDigit(*at)) TakeNumber(at, conversion.prefix, args, false, ignored);
    conversion.withoutPrecision = conversion.prefix;
    if (*at == '.') {
        ++at;
        TakeNumber(at, conversion.prefix, args, true, conversion.precision);
    }
    conversion.size = TakeSize(at);
    if (*at) conversion.type = *at++;
    return conversion;
}

// The conversion's flags, width and precision followed by `tail`.
std::string ConversionText(const Conversion& conversion, const char* tail) {
    std::string text = conversion.prefix;
    text.append(tail);
    return text;
}

template <typename Value>
void Append(std::string& out, const std::string& pattern, Value value) {
    const int length = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (length <= 0) return;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(length) + 1);
    std::snprintf(out.data() + start, static_cast<size_t>(length) + 1, pattern.c_str(), value);
    out.resize(start + static_cast<size_t>(length));
}

long long SignedArgument(Size size, va_list& args) {
    switch (size) {
    case Size::Char: return static_cast<signed char>(va_arg(args, int));
    case Size::Short: return static_cast<short>(va_arg(args, int));
    case Size::Long: return va_arg(args, long);
    case Size::LongLong: return va_arg(args, long long);
    case Size::Pointer: return static_cast<long long>(va_arg(args, std::intptr_t));
    default: return va_arg(args, int);
    }
}

unsigned long long UnsignedArgument(Size size, va_list& args) {
    switch (size) {
    case Size::Char: return static_cast<unsigned char>(va_arg(args, unsigned));
    case Size::Short: return static_cast<unsigned short>(va_arg(args, unsigned));
    case Size::Long: return va_arg(args, unsigned long);
    case Size::LongLong: return va_arg(args, unsigned long long);
    case Size::Pointer: return static_cast<unsigned long long>(va_arg(args, std::uintptr_t));
    default: return va_arg(args, unsigned);
    }
}

// Text arguments: narrow with h, wide with l or w; otherwise %s is narrow
// and %S wide.
bool IsWideText(const Conversion& conversion) {
    if (conversion.size == Size::Short) return false;
    if (conversion.size == Size::Long || conversion.size == Size::WideText) return true;
    return conversion.type == 'S' || conversion.type == 'C';
}

std::string TextArgument(const Conversion& conversion, va_list& args, WideToNarrow toNarrow) {
    const bool character = conversion.type == 'c' || conversion.type == 'C';
    if (IsWideText(conversion)) {
        if (character) {
            const wchar_t c = static_cast<wchar_t>(va_arg(args, int));
            return toNarrow(&c, 1);
        }
        const wchar_t* text = va_arg(args, const wchar_t*);
        if (text == nullptr) return "(null)";
        size_t length = std::wcslen(text);
        if (conversion.precision >= 0 && static_cast<size_t>(conversion.precision) < length)
            length = static_cast<size_t>(conversion.precision);
        return toNarrow(text, length);
    }
    if (character) return std::string(1, static_cast<char>(va_arg(args, int)));
    const char* text = va_arg(args, const char*);
    return text ? text : "(null)";
}

void AppendConversion(std::string& out, const Conversion& conversion, va_list& args, WideToNarrow toNarrow) {
    switch (conversion.type) {
    case 'd': case 'i':
        return Append(out, ConversionText(conversion, "lld"), SignedArgument(conversion.size, args));
    case 'o': case 'u': case 'x': case 'X': {
        const char tail[] = {'l', 'l', conversion.type, '\0'};
        return Append(out, ConversionText(conversion, tail), UnsignedArgument(conversion.size, args));
    }
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A': {
        const char tail[] = {'L', conversion.type, '\0'};
        if (conversion.size == Size::LongDouble) return Append(out, ConversionText(conversion, tail), va_arg(args, long double));
        return Append(out, ConversionText(conversion, tail + 1), va_arg(args, double));
    }
    case 'p':
        // As the Windows C library shows a pointer: all its hexadecimal digits.
        return Append(out, sizeof(void*) == 8 ? "%016llX" : "%08llX",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
    case 'n':
        va_arg(args, void*);  // never written through
        return;
    case 's': case 'S': case 'c': case 'C': {
        const std::string text = TextArgument(conversion, args, toNarrow);
        // The precision already cut a wide text in characters; cutting its
        // narrow form again would count bytes. A narrow one is cut here.
        const std::string prefix = IsWideText(conversion) ? conversion.withoutPrecision : conversion.prefix;
        return Append(out, prefix + "s", text.c_str());
    }
    default:
        // Not a conversion: shown as written, no argument taken.
        out += conversion.prefix;
        if (conversion.type) out += conversion.type;
    }
}

}  // namespace

std::string FormatNarrowArgs(const char* format, va_list args, WideToNarrow toNarrow) {
    std::string out;
    if (format == nullptr) return out;
    va_list walk;
    va_copy(walk, args);
    for (const char* at = format; *at;) {
        if (*at != '%') {
            out += *at++;
            continue;
        }
        ++at;
        if (*at == '%') {
            out += *at++;
            continue;
        }
        AppendConversion(out, TakeConversion(at, walk), walk, toNarrow);
    }
    va_end(walk);
    return out;
}

}  // namespace ondex::runtime
