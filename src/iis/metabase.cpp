#include "iis/metabase.h"

#include <memory>
#include <new>
#include <vector>

#include "iis/iis_text.h"
#include "iis/metabase_internal.h"
#include "platform/handles.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::iis {

platform::ComPtr<IMSAdminBaseW> g_spAdminBase;
platform::ComPtr<IWamAdmin> g_spWamAdmin;

namespace detail {

void Report(const char* traceKey, const wchar_t* scope, const wchar_t* title, const wchar_t* text) noexcept {
    try {
        runtime::TraceIf(runtime::GetTracerFlags(traceKey), runtime::TF_ERROR, scope, title, L"%s", text);
    } catch (...) {
    }
}

void Trace(const char* traceKey, const wchar_t* scope, const wchar_t* text) noexcept {
    try {
        runtime::TraceIf(runtime::GetTracerFlags(traceKey), runtime::TF_TRACE, scope, L"IIS Administration", L"%s",
                         text);
    } catch (...) {
    }
}

PrivateAdminBase::PrivateAdminBase() : com_(COINIT_APARTMENTTHREADED) {
    if (SUCCEEDED(com_.Status()))
        create_ = ::CoCreateInstance(kClsidAdminBase, nullptr, kIisClassContext, kIidAdminBase, admin_.put_void());
}

OwnedRecord::OwnedRecord(DWORD identifier, DWORD attributes, DWORD userType, DWORD dataType) {
    record.dwMDIdentifier = identifier;
    record.dwMDAttributes = attributes;
    record.dwMDUserType = userType;
    record.dwMDDataType = dataType;
}

HRESULT OwnedRecord::Read(IMSAdminBaseW* admin, const std::wstring& path) {
    return MetaGetValue(admin, METADATA_MASTER_ROOT_HANDLE, path.c_str(), &record);
}

std::wstring_view OwnedRecord::Text() const {
    return FirstString(reinterpret_cast<const wchar_t*>(record.pbMDData), record.dwMDDataLen / sizeof(wchar_t));
}

DWORD OwnedRecord::Dword() const {
    DWORD value = 0;
    if (record.pbMDData && record.dwMDDataLen >= sizeof value) memcpy(&value, record.pbMDData, sizeof value);
    return value;
}

OpenedKey::OpenedKey(IMSAdminBaseW* admin, LPCWSTR path, DWORD access, DWORD timeout)
    : admin_(admin), status_(admin ? admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, path, access, timeout, &handle_)
                                   : E_POINTER) {
    open_ = SUCCEEDED(status_);
}

HRESULT OpenedKey::Close() {
    if (!open_) return S_OK;
    open_ = false;
    return admin_->CloseKey(handle_);
}

}  // namespace detail

using namespace detail;

namespace {

constexpr char kInitKey[] = "INTF_InitWamAdmin";
constexpr char kAspNetKey[] = "INTF_EnableASPNET";
constexpr wchar_t kAspNetScope[] = L"EnableASPNET";
constexpr DWORD kInitialRecordBytes = 256;

void InitReport(const wchar_t* text) {
    Report(kInitKey, L"InitWamAdmin", L"IIS Administration",
           (std::wstring(L"Test_DeployOxAlmanacDBSite") + L": " + text).c_str());
}

BOOL FailWith(DWORD error) {
    ::SetLastError(error);
    return FALSE;
}

// Sizes the record's buffer: a new zeroed block, or the block it has.
HRESULT PrepareBuffer(METADATA_RECORD* record) {
    HANDLE heap = ::GetProcessHeap();
    if (!record->pbMDData) {
        record->pbMDData = static_cast<unsigned char*>(::HeapAlloc(heap, HEAP_ZERO_MEMORY, kInitialRecordBytes));
        if (!record->pbMDData) return E_OUTOFMEMORY;
        record->dwMDDataLen = kInitialRecordBytes;
        return S_OK;
    }
    const SIZE_T size = ::HeapSize(heap, 0, record->pbMDData);
    if (size == static_cast<SIZE_T>(-1)) return E_INVALIDARG;
    record->dwMDDataLen = static_cast<DWORD>(size);
    return S_OK;
}

HRESULT GrowBuffer(METADATA_RECORD* record, DWORD bytes) {
    void* grown = ::HeapReAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, record->pbMDData, bytes);
    if (!grown) return E_OUTOFMEMORY;
    record->pbMDData = static_cast<unsigned char*>(grown);
    record->dwMDDataLen = bytes;
    return S_OK;
}

HRESULT ReadRecord(IMSAdminBaseW* admin, METADATA_HANDLE handle, LPCWSTR path, METADATA_RECORD* record) {
    HRESULT hr = PrepareBuffer(record);
    if (FAILED(hr)) return hr;
    DWORD required = 0;
    hr = admin->GetData(handle, path, record, &required);
    if (hr != kHrInsufficientBuffer) return hr;
    hr = GrowBuffer(record, required);
    return FAILED(hr) ? hr : admin->GetData(handle, path, record, &required);
}

// The record data of one MetaSetValue, kept alive until SetData.
struct RecordData {
    std::wstring text;
    const void* passed = nullptr;  // the caller's data, when not copied into `text`
    DWORD length = 0;
    DWORD error = 0;  // 50 or 87 when the type cannot be written
    const void* Data() const { return passed ? passed : text.c_str(); }
};

RecordData BuildData(DWORD dataType, DWORD length, const void* data) {
    RecordData built;
    // Nothing to write for a type that needs data: an invalid parameter.
    if (!data && dataType != BINARY_METADATA && dataType != ALL_METADATA) dataType = ~0u;
    switch (dataType) {
    case DWORD_METADATA:
        return {{}, data, sizeof(DWORD), 0};
    case STRING_METADATA:
    case EXPANDSZ_METADATA:
        built.text = static_cast<LPCWSTR>(data);
        built.length = static_cast<DWORD>((built.text.size() + 1) * sizeof(wchar_t));
        break;
    case BINARY_METADATA:
        return {{}, data, length, 0};
    case MULTISZ_METADATA:
        if (auto record = MultiStringFromList(static_cast<LPCWSTR>(data))) {
            built.text = std::move(*record);
            built.length = static_cast<DWORD>(built.text.size() * sizeof(wchar_t));
        } else {
            built.error = ERROR_NOT_SUPPORTED;
        }
        break;
    case ALL_METADATA:
        built.error = ERROR_NOT_SUPPORTED;
        break;
    default:
        built.error = ERROR_INVALID_PARAMETER;
    }
    return built;
}

}  // namespace

HRESULT InitWamAdmin() {
    HRESULT hr = ::CoInitialize(nullptr);
    if (FAILED(hr)) {
        InitReport(L"Initialize COM: failed");
        return hr;
    }
    hr = ::CoCreateInstance(kClsidAdminBase, nullptr, kIisClassContext, kIidAdminBase, g_spAdminBase.put_void());
    if (FAILED(hr)) {
        InitReport(L"Create instance of IIS Admin Base Object: failed");
        ::CoUninitialize();
        return hr;
    }
    hr = ::CoCreateInstance(kClsidWamAdmin, nullptr, kIisClassContext, kIidWamAdmin, g_spWamAdmin.put_void());
    if (FAILED(hr)) {
        InitReport(L"Create instance of IWamAdmin Object: failed");
        g_spAdminBase.reset();
        ::CoUninitialize();
    }
    return hr;
}

HRESULT UnInitWamAdmin() {
    g_spAdminBase.reset();
    g_spWamAdmin.reset();
    ::CoUninitialize();
    return S_OK;
}

HRESULT MetaGetValue(IMSAdminBaseW* admin, METADATA_HANDLE handle, LPCWSTR path, METADATA_RECORD* record) {
    if (!record) return E_INVALIDARG;
    if (admin) return ReadRecord(admin, handle, path, record);
    PrivateAdminBase own;
    if (FAILED(own.ComStatus())) return own.ComStatus();
    if (FAILED(own.CreateStatus())) return own.CreateStatus();
    return ReadRecord(own.get(), handle, path, record);
}

void MetaFreeValue(METADATA_RECORD* record) {
    if (!record || !record->pbMDData) return;
    ::HeapFree(::GetProcessHeap(), 0, record->pbMDData);
    record->pbMDData = nullptr;
}

BOOL MetaSetValue(LPCWSTR path, DWORD identifier, DWORD attributes, DWORD userType, DWORD dataType, DWORD length,
                  const void* data) {
    return Guarded(FALSE, [&]() -> BOOL {
        platform::UniqueLocalMemory copy(MakeUnicode(path));
        if (!copy) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
        OpenedKey key(g_spAdminBase.get(), static_cast<LPCWSTR>(copy.get()), kReadWrite, kKeyTimeout);
        if (FAILED(key.Status())) return FailWith(static_cast<DWORD>(key.Status()));
        const RecordData built = BuildData(dataType, length, data);
        if (built.error) return FailWith(built.error);
        METADATA_RECORD record{identifier, attributes, userType, dataType, built.length,
                               static_cast<unsigned char*>(const_cast<void*>(built.Data())), 0};
        const HRESULT hr = g_spAdminBase->SetData(key.get(), L"/", &record);
        if (FAILED(hr)) return FailWith(static_cast<DWORD>(hr));
        const HRESULT closed = key.Close();
        return FAILED(closed) ? FailWith(static_cast<DWORD>(closed)) : TRUE;
    });
}

LPWSTR MakeUnicode(LPCWSTR text) {
    if (!text) return nullptr;
    const size_t chars = wcslen(text) + 1;
    auto* copy = static_cast<LPWSTR>(::LocalAlloc(LPTR, chars * sizeof(wchar_t)));
    if (copy) memcpy(copy, text, chars * sizeof(wchar_t));
    return copy;
}

BOOL DeleteApplication(LPCWSTR path) {
    return Guarded(FALSE, [&]() -> BOOL {
        if (!path || !g_spWamAdmin) return FailWith(static_cast<DWORD>(E_POINTER));
        const std::wstring full = path[0] == L'/' ? std::wstring(path) : L"/LM/" + std::wstring(path);
        const HRESULT hr = g_spWamAdmin->AppDelete(full.c_str(), TRUE);
        return FAILED(hr) ? FailWith(static_cast<DWORD>(hr)) : TRUE;
    });
}

BOOL DeleteVirtualRoot(LPCWSTR name) {
    return Guarded(FALSE, [&]() -> BOOL {
        if (!name) return FailWith(ERROR_INVALID_PARAMETER);
        const std::wstring full = L"/LM/W3SVC/1/ROOT/" + std::wstring(name);
        const size_t slash = full.rfind(L'/');
        platform::UniqueLocalMemory parent(MakeUnicode(full.substr(0, slash).c_str()));
        platform::UniqueLocalMemory leaf(MakeUnicode(full.substr(slash + 1).c_str()));
        if (!parent || !leaf) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
        if (!DeleteApplication(full.c_str())) return FALSE;
        OpenedKey key(g_spAdminBase.get(), static_cast<LPCWSTR>(parent.get()), kReadWrite, kKeyTimeout);
        HRESULT hr = key.Status();
        if (SUCCEEDED(hr)) hr = g_spAdminBase->DeleteKey(key.get(), static_cast<LPCWSTR>(leaf.get()));
        if (SUCCEEDED(hr)) hr = g_spAdminBase->SaveData();
        if (SUCCEEDED(hr)) hr = key.Close();
        return FAILED(hr) ? FailWith(static_cast<DWORD>(hr)) : TRUE;
    });
}

BOOL EnableASPNET(LPCWSTR, LPCWSTR text, LPWSTR) {
    return Guarded(FALSE, [&]() -> BOOL {
        if (!g_spAdminBase || !text) return FailWith(static_cast<DWORD>(E_POINTER));
        const auto trace = [](const wchar_t* line) { Trace(kAspNetKey, kAspNetScope, line); };
        METADATA_RECORD record{kMdWebSvcExtRestrictionList, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER,
                               MULTISZ_METADATA, 0, nullptr, 0};
        DWORD required = 0;
        trace(L"Before g_spAdminBase->GetData");
        HRESULT hr = g_spAdminBase->GetData(METADATA_MASTER_ROOT_HANDLE, kWebRoot, &record, &required);
        trace(L"Bug 10111 inspection");
        trace(runtime::FormatWide(L"hres=%i", static_cast<int>(hr)).c_str());
        trace(L"Tried to get data from /LM/W3SVC/WebSvcExtRestrictionList");
        if (hr != kHrInsufficientBuffer) {
            runtime::WcaLogError(hr, "get metadata key WebSvcExtRestrictionList");
            return TRUE;
        }
        trace(runtime::FormatWide(L"Required size: %i", static_cast<int>(required)).c_str());
        // A buffer that cannot be had counts as allowed, like a failed read.
        std::unique_ptr<wchar_t[]> list(new (std::nothrow) wchar_t[(required + sizeof(wchar_t) - 1) / sizeof(wchar_t) + 1]());
        if (!list) return TRUE;
        record.dwMDDataLen = required;
        record.pbMDData = reinterpret_cast<unsigned char*>(list.get());
        if (FAILED(g_spAdminBase->GetData(METADATA_MASTER_ROOT_HANDLE, kWebRoot, &record, &required))) {
            trace(L"Accessing WebSvcExtRestrictionList entry failed");
            return TRUE;
        }
        trace(L"Entry WebSvcExtRestrictionList found!");
        trace(L"Walking thru items..");
        const auto entry = FindListEntry(std::wstring_view(list.get(), required / sizeof(wchar_t)), text);
        trace(L"entry read");
        if (!entry) return FALSE;
        trace(L"Got entry to patch");
        list[*entry] = L'1';
        trace(L"Patching done!");
        OpenedKey key(g_spAdminBase.get(), L"", METADATA_PERMISSION_WRITE, kShortKeyTimeout);
        if (FAILED(key.Status())) return FALSE;
        const BOOL result = SUCCEEDED(g_spAdminBase->SetData(key.get(), kWebRoot, &record));
        if (FAILED(key.Close())) Report(kAspNetKey, kAspNetScope, L"g_spAdminBase->CloseKey", L"Failure");
        if (FAILED(g_spAdminBase->SaveData())) Report(kAspNetKey, kAspNetScope, L"g_spAdminBase->SaveData", L"Failure");
        return result;
    });
}

HRESULT SetEnable32BitAppOnWin64(MSIHANDLE hInstall) {
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
        const auto log = [hInstall](HRESULT hr, const wchar_t* text) {
            runtime::LogTimestampedError(hInstall, static_cast<DWORD>(hr), text);
        };
        OpenedKey key(g_spAdminBase.get(), L"", METADATA_PERMISSION_WRITE, kShortKeyTimeout);
        if (FAILED(key.Status())) {
            log(key.Status(), L"OpenKey failed.");
            return key.Status();
        }
        DWORD value = 0;
        METADATA_RECORD record{kMdEnable32BitAppOnWin64, METADATA_INHERIT, IIS_MD_UT_SERVER, DWORD_METADATA,
                               sizeof value, reinterpret_cast<unsigned char*>(&value), 0};
        HRESULT hr = g_spAdminBase->SetData(key.get(), L"/LM/W3SVC/AppPools", &record);
        if (FAILED(hr)) log(hr, L"SetData /LM/W3SVC/AppPools/Enable32BitAppOnWin64 failed.");
        if (FAILED(hr = key.Close())) log(hr, L"CloseKey failed.");
        if (FAILED(hr = g_spAdminBase->SaveData())) log(hr, L"CloseKey failed.");
        return hr;
    });
}

HRESULT GetEnable32BitAppOnWin64(MSIHANDLE hInstall, DWORD* value) {
    return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
        if (!g_spAdminBase || !value) return E_POINTER;
        DWORD read = 0, required = 0;
        METADATA_RECORD record{kMdEnable32BitAppOnWin64, METADATA_INHERIT, IIS_MD_UT_SERVER, DWORD_METADATA,
                               sizeof read, reinterpret_cast<unsigned char*>(&read), 0};
        const HRESULT hr = g_spAdminBase->GetData(METADATA_MASTER_ROOT_HANDLE, L"/LM/W3SVC/AppPools", &record, &required);
        if (FAILED(hr)) {
            runtime::LogTimestampedError(hInstall, static_cast<DWORD>(hr),
                                         L"GetData /LM/W3SVC/AppPools/Enable32BitAppOnWin64 failed.");
            return hr;
        }
        *value = read;
        return hr;
    });
}

void SetAppPoolPipelineModeClassic(LPCWSTR pool) {
    Guarded(FALSE, [&]() -> BOOL {
        const DWORD classic = 1;
        return MetaSetValue((L"/LM/W3SVC/APPPOOLS/" + std::wstring(pool ? pool : L"")).c_str(),
                            kMdManagedPipelineMode, METADATA_INHERIT, IIS_MD_UT_SERVER, DWORD_METADATA, sizeof classic,
                            &classic);
    });
}

BOOL EnableSiteCert(LPCWSTR siteText, LPCWSTR portText, LPCWSTR hashText) {
    return Guarded(FALSE, [&]() -> BOOL {
        if (!siteText || !portText || !hashText) return FailWith(ERROR_INVALID_PARAMETER);
        const std::wstring path = L"/LM/W3SVC/" + std::wstring(siteText);
        const std::wstring binding = L":" + std::wstring(portText) + L":";
        const std::vector<std::uint8_t> hash = HashBytes(hashText);
        return MetaSetValue(path.c_str(), kMdSslCertHash, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, BINARY_METADATA,
                            static_cast<DWORD>(hash.size()), hash.data()) &&
               MetaSetValue(path.c_str(), kMdSslStoreName, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER, STRING_METADATA,
                            4, L"MY") &&
               MetaSetValue(path.c_str(), kMdSecureBindings, METADATA_NO_ATTRIBUTES, IIS_MD_UT_SERVER,
                            MULTISZ_METADATA, 0, binding.c_str());
    });
}

}  // namespace ondex::iis
