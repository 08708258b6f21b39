// The narrow log formatter with a multibyte code page: UTF-8 here.
#include <gtest/gtest.h>

#include <cstdarg>

#include "runtime/narrow_format.h"

namespace {

// UTF-8 of the characters below U+0800, enough for the texts here.
std::string Utf8(const wchar_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = ondex::runtime::FormatNarrowArgs(format, args, Utf8);
    va_end(args);
    return text;
}

TEST(NarrowFormat, APrecisionCutsAWideTextInCharactersAndANarrowOneInBytes) {
    EXPECT_EQ("[\xC3\xA4\xC3\xB6]", Format("[%.2S]", L"\u00E4\u00F6\u00FC"));
    EXPECT_EQ("[ab]", Format("[%.2s]", "abc"));
}

}  // namespace
