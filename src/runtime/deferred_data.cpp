#include "runtime/deferred_data.h"

#include <new>

#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/trace_flags.h"
#include "runtime/tracer.h"

namespace ondex::runtime {

namespace {

constexpr wchar_t kDataProperty[] = L"CustomActionData";
constexpr wchar_t kTokenScope[] = L"deserializeNxtToken";
constexpr wchar_t kArrayScope[] = L"deserializeNxtArray";

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

UINT TokenFlags() { return GetTracerFlags("INTF_deserializeNxtToken"); }

// The data ends before the token `name`: reported with the reader's flags
// and caption, or the token reader's own.
HRESULT ReportMissingToken(const TokenReport* report, const wchar_t* name) {
    const UINT flags = report ? report->flags : TokenFlags();
    AssertBox(flags, report ? report->scope : kTokenScope, L"Getting CA data", L"Error 0x%X reading token %s",
              static_cast<unsigned>(kHrNoMoreTokens), name);
    return kHrNoMoreTokens;
}

// The running action's data, or a token of it, shown in a trace.
const wchar_t* Shown(const wchar_t* text, bool secret) { return secret ? kHiddenValue : OrEmpty(text); }

bool DataIsSecret() { return WcaIsHiddenProperty(WcaGetInstallHandle(), kDataProperty); }

}  // namespace

// ---- Writing ----

DeferredItem::DeferredItem(MsiProperty& property) : property_(&property) {}
DeferredItem::DeferredItem(const wchar_t* text) : text_(OrEmpty(text)) {}
DeferredItem::DeferredItem(const std::wstring& text) : text_(text) {}
DeferredItem::DeferredItem(int value) : text_(std::to_wstring(value)) {}

std::wstring DeferredItem::Text() const { return property_ ? property_->Str() : text_; }

std::wstring serializeArray(const std::vector<DeferredItem>& items) {
    // Every text is taken once, so the composed text is sized from exactly
    // what it holds and cannot overrun.
    std::vector<std::wstring> texts;
    texts.reserve(items.size());
    for (const auto& item : items) texts.push_back(item.Text());
    return SerializeItems(texts);
}

// ---- Loading ----

UINT InitDeferredCAData(MSIHANDLE hInstall, std::unique_ptr<wchar_t[]>& buffer, size_t& length) {
    WcaInitializer layer(hInstall, "INTF_InitDeferredCAData");
    // Nothing on this path throws: a data too large for memory ends in 1603.
    MsiProperty data(hInstall, kDataProperty);
    const wchar_t* value = data.Value();
    length = size_t(data.Length()) + 1;
    if (value) buffer.reset(new (std::nothrow) wchar_t[length]());
    if (!value || !buffer) return ERROR_INSTALL_FAILURE;
    tstrcpy_s(L"InitDeferredCAData", L"szCAData", buffer.get(), length, value);

    const UINT flags = GetTracerFlags("INTF_InitDeferredCAData");
    if (*value) {
        if (flags & TF_TRACE)
            TraceIf(flags, TF_TRACE, L"InitDeferredCAData", L"Custom Action data", L"%s", Shown(value, DataIsSecret()));
    } else {
        // The caller then finds no function name and ends its action.
        AssertBox(flags, L"InitDeferredCAData", L"Getting deferred CA data",
                  L"Empty custom action data in property \"%s\"", kDataProperty);
    }
    return ERROR_SUCCESS;
}

// ---- Reading ----

bool ReadFunctionName(wchar_t*& context, const wchar_t* expectedName, UINT actionFlags, const wchar_t* actionName) {
    const wchar_t* name = TakeFirstToken(context);
    if (name != nullptr && std::wstring_view(name) == expectedName) return true;
    AssertBox(actionFlags, actionName, L"Getting deferred CA data", L"Error reading token _FUNCTION_NAME: %s",
              expectedName);
    return false;
}

HRESULT deserializeNxtToken(const wchar_t* tokenName, const wchar_t*& nameRead, wchar_t*& value, wchar_t*& context,
                            const TokenReport* report) {
    const UINT flags = TokenFlags();
    nameRead = tokenName;
    const std::wstring name = OrEmpty(tokenName);
    const bool traced = (flags & TF_TRACE) != 0;
    // What is left of a secret data is secret; so is a token named as a secret.
    const bool dataSecret = traced && DataIsSecret();
    const bool tokenSecret = dataSecret || (traced && WcaIsHiddenProperty(WcaGetInstallHandle(), name.c_str()));
    // The context still holds the token's value.
    TraceIf(flags, TF_TRACE, kTokenScope, FormatWide(L"szTokenContext for '%s' token", name.c_str()).c_str(), L"%s",
            Shown(context, tokenSecret));

    value = TakeNextToken(context);
    if (value == nullptr) return ReportMissingToken(report, name.c_str());
    TraceIf(flags, TF_TRACE, kTokenScope, FormatWide(L"New szTokenContext after got token: %s", name.c_str()).c_str(),
            L"%s", Shown(context, dataSecret));
    TraceIf(flags, TF_TRACE, kTokenScope, L"deserializeData result: hr = 0", L"%s = `%s`", name.c_str(),
            Shown(value, tokenSecret));
    return S_OK;
}

HRESULT deserializeNxtToken(const wchar_t* tokenName, const wchar_t*& nameRead, DWORD& value, wchar_t*& context,
                            const TokenReport* report) {
    wchar_t* token = nullptr;
    const HRESULT hr = deserializeNxtToken(tokenName, nameRead, token, context, report);
    value = token ? ParseDecimal(token) : 0;
    return hr;
}

HRESULT deserializeNxtArray(const wchar_t* arrayName, DWORD& count, std::unique_ptr<wchar_t*[]>& items,
                            wchar_t*& context) {
    const UINT flags = GetTracerFlags("INTF_deserializeNxtArray");
    const std::wstring array = OrEmpty(arrayName);
    const wchar_t* nameRead = nullptr;
    count = 0;
    HRESULT hr = deserializeNxtToken(L"ArrayLength", nameRead, count, context);
    if (FAILED(hr)) {
        AssertBox(flags, kArrayScope, L"Reading array header", L"Failed reading %s in %s", L"ArrayLength",
                  array.c_str());
        return hr;
    }

    const std::wstring itemTitle = FormatWide(L"Error reading array %s item", array.c_str());
    const auto reportItem = [&](DWORD index) {
        AssertBox(flags, kArrayScope, itemTitle.c_str(), L"%s", ArrayItemName(index).c_str());
    };
    // A hostile count must not reach the allocation: the data bounds it. The
    // report names the first missing item.
    const DWORD available = CountTokens(context, count);
    if (available < count) {
        hr = ReportMissingToken(nullptr, ArrayItemName(available).c_str());
        reportItem(available);
        return hr;
    }
    items.reset(new (std::nothrow) wchar_t*[count]());
    if (!items) {
        AssertBox(flags, kArrayScope, FormatWide(L"Error allocating buffer for array %s", array.c_str()).c_str(),
                  L"cntItems = %i", static_cast<int>(count));
        return E_OUTOFMEMORY;
    }
    for (DWORD i = 0; i < count; ++i) {
        const std::wstring itemName = ArrayItemName(i);
        hr = deserializeNxtToken(itemName.c_str(), nameRead, items[i], context);
        if (FAILED(hr)) {
            reportItem(i);
            return hr;
        }
    }
    return S_OK;
}

}  // namespace ondex::runtime
