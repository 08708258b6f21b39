// SQL-DMO's installed instances, through IDispatch only.

#include "platform/com.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"
#include "sql/sql_instances.h"
#include "sql/sql_instances_text.h"

namespace ondex::sql {

namespace {

constexpr char kTraceKey[] = "INTF_EnumSqlServerInstanceNames";
constexpr wchar_t kScope[] = L"EnumSqlServerInstanceNames";

void TraceFailure(const wchar_t* title, const std::wstring& text) {
    runtime::TraceIf(runtime::GetTracerFlags(kTraceKey), runtime::TF_ERROR, kScope, title, L"%s", text.c_str());
}

// One IDispatch call by member name; `result` receives the answer.
HRESULT Call(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* argument, VARIANT* result) {
    LPOLESTR name = const_cast<LPOLESTR>(member);
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS parameters{argument, nullptr, argument ? 1u : 0u, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result, nullptr, nullptr);
}

// The names of one name list, each rewritten to the localhost form; a
// failing item is traced and passed over.
void ReadNameList(IDispatch* list, const std::wstring& computerName, std::vector<std::wstring>& instances) {
    platform::UniqueVariant answer;
    VARIANT count;  // a VT_I4 owns nothing
    ::VariantInit(&count);
    if (FAILED(Call(list, L"Count", DISPATCH_PROPERTYGET, nullptr, answer.put())) ||
        FAILED(::VariantChangeType(&count, const_cast<VARIANT*>(&answer.get()), 0, VT_I4)))
        return;
    for (LONG index = 0; index < count.lVal; ++index) {
        VARIANT position;
        position.vt = VT_I4;
        position.lVal = index;
        platform::UniqueVariant item;
        if (FAILED(Call(list, L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &position, item.put())) ||
            item.get().vt != VT_BSTR) {
            TraceFailure(L"ListInstalledInstances", L"DMO unhandled exception while getting next item");
            continue;
        }
        instances.push_back(DmoEntry(item.get().bstrVal ? item.get().bstrVal : L"", computerName));
    }
}

void ListInstances(IDispatch* server, const std::wstring& computerName, std::vector<std::wstring>& instances) {
    platform::UniqueVariant list;
    const HRESULT hr = Call(server, L"ListInstalledInstances", DISPATCH_METHOD, nullptr, list.put());
    if (hr == DISP_E_EXCEPTION) TraceFailure(L"ListInstalledInstances", L"DMO unhandled exception while ListInstalledInstances");
    if (SUCCEEDED(hr) && list.get().vt == VT_DISPATCH && list.get().pdispVal)
        ReadNameList(list.get().pdispVal, computerName, instances);
}

void CollectFromDmo(std::vector<std::wstring>& instances) {
    const std::wstring computerName = LocalComputerName();
    platform::ComPtr<IUnknown> created;
    HRESULT hr = ::CoCreateInstance(kClsidDmoServer, nullptr, CLSCTX_INPROC_SERVER, kIidDmoServer, created.put_void());
    platform::ComPtr<IDispatch> server;
    if (SUCCEEDED(hr)) hr = created->QueryInterface(IID_IDispatch, server.put_void());
    if (FAILED(hr)) {
        TraceFailure(L"Failed creating SQLDMOServer2! Do you have MS SQL DMO installed?",
                     runtime::FormatErrMessage(static_cast<DWORD>(hr), L"CoCreateInstance of SQLDMOServer2"));
        return;
    }
    ListInstances(server.get(), computerName, instances);
}

}  // namespace

std::wstring LocalComputerName() {
    constexpr DWORD kChars = 32;
    wchar_t name[kChars] = L"";
    DWORD size = kChars;
    return ::GetComputerNameW(name, &size) ? name : L"";
}

std::vector<std::wstring> EnumSqlServerInstanceNames() {
    std::vector<std::wstring> instances;
    try {
        const platform::ComApartment apartment(COINIT_APARTMENTTHREADED);  // CoInitialize(nullptr)
        if (FAILED(apartment.Status())) {
            TraceFailure(L"Initialize COM: failed", runtime::FormatWide(L"CoInitializeEx failed: %p (0x%08x)", nullptr,
                                                                        static_cast<unsigned>(apartment.Status())));
            return instances;
        }
        CollectFromDmo(instances);
    } catch (...) {
        // A trace answered with Cancel or memory running out: what was found stays.
    }
    return instances;
}

}  // namespace ondex::sql
