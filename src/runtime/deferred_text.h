#pragma once
// The text syntax of deferred custom-action data: tokens separated by U+0001,
// integers in decimal, arrays as a count followed by the items. Pure logic:
// no Windows headers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::runtime {

inline constexpr wchar_t kDeferredSeparator = L'\x0001';

// The function-name token at the start of the data. Like the C library's
// wide tokenizer it skips leading separators; the separator that ends the
// token is overwritten with a terminator and `context` moves past it.
// Returns nullptr when the data holds no token.
wchar_t* TakeFirstToken(wchar_t*& context);

// Takes the next token at `context`, overwriting the separator that ends it
// with a terminator and moving `context` past it. An empty token (the
// context stands on a separator) is returned as an empty text. Returns
// nullptr when the data has no further token.
wchar_t* TakeNextToken(wchar_t*& context);

// The tokens left at `context`, counted up to `limit` (reads only as far as
// it needs to).
std::uint32_t CountTokens(const wchar_t* context, std::uint32_t limit);
inline bool HasTokens(const wchar_t* context, std::uint32_t count) { return CountTokens(context, count) >= count; }

// The count, then each item preceded by the separator.
std::wstring SerializeItems(const std::vector<std::wstring>& items);

// The token name of array item i: "arrayItem[000]" with the last three
// decimal digits of i.
std::wstring ArrayItemName(unsigned index);

// Pieces of `text` separated by ';' (the remainder after the last ';' always
// counts, even when empty); an empty text gives no pieces.
std::vector<std::wstring> SplitString(std::wstring_view text);

}  // namespace ondex::runtime
