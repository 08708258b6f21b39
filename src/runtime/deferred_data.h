#pragma once
// Writing and reading deferred custom-action data in the session.
#include <windows.h>
#include <msi.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/deferred_text.h"

namespace ondex::runtime {

class MsiProperty;

// The status of a field the data ends before: HRESULT of ERROR_NO_MORE_ITEMS.
inline constexpr HRESULT kHrNoMoreTokens = static_cast<HRESULT>(0x80070103);

// One item for serializeArray: a property (read afresh), a text or an integer.
class DeferredItem {
public:
    DeferredItem(MsiProperty& property);
    DeferredItem(const wchar_t* text);
    DeferredItem(const std::wstring& text);
    DeferredItem(int value);
    std::wstring Text() const;

private:
    MsiProperty* property_ = nullptr;
    std::wstring text_;
};

std::wstring serializeArray(const std::vector<DeferredItem>& items);

// Loads "CustomActionData" into a buffer the caller owns; `length` counts the
// characters of the buffer including its terminator. 0, or 1603 when it
// cannot be allocated.
UINT InitDeferredCAData(MSIHANDLE hInstall, std::unique_ptr<wchar_t[]>& buffer, size_t& length);

// Checks the first token against the reader's own name. On a missing or
// different name: the assertion box (with TF_ASSERT in `actionFlags`) and
// false; the deferred action then ends with 1603.
bool ReadFunctionName(wchar_t*& context, const wchar_t* expectedName, UINT actionFlags, const wchar_t* actionName);

// The next token as text or as an unsigned integer. At the end of the data
// they report a reading failure (kHrNoMoreTokens) with the assertion box
// "Error 0x%X reading token %s"; the value is then null or 0. Traces of a
// secret data or token show it masked.
// A reader that reports its own failures passes its flags and caption scope.
struct TokenReport {
    UINT flags;
    const wchar_t* scope;
};
HRESULT deserializeNxtToken(const wchar_t* tokenName, const wchar_t*& nameRead, wchar_t*& value, wchar_t*& context,
                            const TokenReport* report = nullptr);
HRESULT deserializeNxtToken(const wchar_t* tokenName, const wchar_t*& nameRead, DWORD& value, wchar_t*& context,
                            const TokenReport* report = nullptr);

// Count token "ArrayLength", then that many text tokens. A count larger than
// the tokens left in the data is a reading failure, found before anything is
// allocated.
HRESULT deserializeNxtArray(const wchar_t* arrayName, DWORD& count, std::unique_ptr<wchar_t*[]>& items,
                            wchar_t*& context);

}  // namespace ondex::runtime
