#include "runtime/deferred_text.h"

namespace ondex::runtime {

namespace {

// The token starting at `context` runs to the next separator or to the end.
wchar_t* CutToken(wchar_t*& context) {
    wchar_t* token = context;
    while (*context != L'\0' && *context != kDeferredSeparator) ++context;
    if (*context == kDeferredSeparator) *context++ = L'\0';
    return token;
}

}  // namespace

wchar_t* TakeFirstToken(wchar_t*& context) {
    if (context == nullptr) return nullptr;
    while (*context == kDeferredSeparator) ++context;
    if (*context == L'\0') return nullptr;
    return CutToken(context);
}

wchar_t* TakeNextToken(wchar_t*& context) {
    if (context == nullptr || *context == L'\0') return nullptr;
    if (*context == kDeferredSeparator) {
        wchar_t* empty = context;
        *context++ = L'\0';
        return empty;
    }
    return CutToken(context);
}

std::uint32_t CountTokens(const wchar_t* context, std::uint32_t limit) {
    if (context == nullptr) return 0;
    std::uint32_t found = 0;
    // Every separator ends one token; text after the last separator is one more.
    for (; found < limit && *context != L'\0'; ++context) {
        if (*context == kDeferredSeparator) {
            ++found;
        } else if (context[1] == L'\0') {
            ++found;
        }
    }
    return found;
}

std::wstring SerializeItems(const std::vector<std::wstring>& items) {
    size_t length = 11;
    for (const auto& item : items) length += 1 + item.size();
    std::wstring text;
    text.reserve(length);
    text = std::to_wstring(static_cast<int>(items.size()));
    for (const auto& item : items) {
        text += kDeferredSeparator;
        text += item;
    }
    return text;
}

std::wstring ArrayItemName(unsigned index) {
    std::wstring name = L"arrayItem[000]";
    index %= 1000;
    for (size_t position = 12; position >= 10; --position, index /= 10)
        name[position] = static_cast<wchar_t>(L'0' + index % 10);
    return name;
}

std::vector<std::wstring> SplitString(std::wstring_view text) {
    std::vector<std::wstring> pieces;
    if (text.empty()) return pieces;
    size_t start = 0;
    for (size_t semicolon = text.find(L';'); semicolon != std::wstring_view::npos;
         semicolon = text.find(L';', start)) {
        pieces.emplace_back(text.substr(start, semicolon - start));
        start = semicolon + 1;
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

}  // namespace ondex::runtime
