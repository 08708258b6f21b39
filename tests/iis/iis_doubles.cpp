// COM glue of the IIS doubles: each object forwards to the model; methods
// the product does not call count as unexpected.
#include "iis/iis_doubles.h"

#include <iadmw.h>

#include <string>

#include "iis/metabase.h"
#include "support/com_counted.h"
#include "support/com_faults.h"

namespace ondex::test {

namespace {

long g_live = 0;
int g_unexpected = 0;

HRESULT Unexpected() { return ++g_unexpected, E_NOTIMPL; }

// Counts the objects handed to the product.
struct Tracked {
    Tracked() { ++g_live; }
    ~Tracked() { --g_live; }
};

#define UNEXPECTED(...) override { return Unexpected(); }

class AdminBase : public Counted<IMSAdminBaseW, iis::kIidAdminBase>, Tracked {
public:
    static constexpr char kCreated[] = "IClassFactory::CreateInstance IMSAdminBase";
    explicit AdminBase(MetabaseModel& model) : model_(model) {}
    HRESULT WINAPI OpenKey(METADATA_HANDLE handle, LPCWSTR path, DWORD, DWORD, PMETADATA_HANDLE opened) override {
        ONDEX_COM_FAULT("IMSAdminBase::OpenKey");
        return model_.OpenKey(handle, path ? path : L"", reinterpret_cast<std::uint32_t*>(opened));
    }
    HRESULT WINAPI CloseKey(METADATA_HANDLE handle) override {
        ONDEX_COM_FAULT("IMSAdminBase::CloseKey");
        return model_.CloseKey(handle);
    }
    HRESULT WINAPI DeleteKey(METADATA_HANDLE handle, LPCWSTR path) override {
        ONDEX_COM_FAULT("IMSAdminBase::DeleteKey");
        return model_.DeleteKey(handle, path);
    }
    HRESULT WINAPI SaveData() override {
        ONDEX_COM_FAULT("IMSAdminBase::SaveData");
        return model_.SaveData();
    }
    HRESULT WINAPI EnumKeys(METADATA_HANDLE handle, LPCWSTR path, LPWSTR name, DWORD index) override {
        ONDEX_COM_FAULT("IMSAdminBase::EnumKeys");
        std::wstring found;
        const HRESULT hr = model_.EnumKeys(handle, path ? path : L"", index, &found);
        if (SUCCEEDED(hr)) wcsncpy(name, found.c_str(), METADATA_MAX_NAME_LEN - 1);
        return hr;
    }
    HRESULT WINAPI GetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record, DWORD* required) override {
        ONDEX_COM_FAULT("IMSAdminBase::GetData");
        MetaValue value{record->dwMDIdentifier, record->dwMDAttributes, record->dwMDUserType, record->dwMDDataType, {}};
        std::uint32_t size = 0;
        const HRESULT hr = model_.GetData(handle, path ? path : L"", &value, record->dwMDDataLen, &size);
        *required = size;
        if (SUCCEEDED(hr)) {
            memcpy(record->pbMDData, value.bytes.data(), value.bytes.size());
            record->dwMDDataType = value.dataType;
            record->dwMDDataLen = static_cast<DWORD>(value.bytes.size());
        }
        return hr;
    }
    HRESULT WINAPI SetData(METADATA_HANDLE handle, LPCWSTR path, PMETADATA_RECORD record) override {
        ONDEX_COM_FAULT("IMSAdminBase::SetData");
        const auto* bytes = record->pbMDData;
        return model_.SetData(handle, path ? path : L"",
                              {record->dwMDIdentifier, record->dwMDAttributes, record->dwMDUserType,
                               record->dwMDDataType, {bytes, bytes + record->dwMDDataLen}});
    }
    HRESULT WINAPI AddKey(METADATA_HANDLE, LPCWSTR) UNEXPECTED()
    HRESULT WINAPI DeleteChildKeys(METADATA_HANDLE, LPCWSTR) UNEXPECTED()
    HRESULT WINAPI CopyKey(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, WINBOOL, WINBOOL) UNEXPECTED()
    HRESULT WINAPI RenameKey(METADATA_HANDLE, LPCWSTR, LPCWSTR) UNEXPECTED()
    HRESULT WINAPI DeleteData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) UNEXPECTED()
    HRESULT WINAPI EnumData(METADATA_HANDLE, LPCWSTR, PMETADATA_RECORD, DWORD, DWORD*) UNEXPECTED()
    HRESULT WINAPI GetAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, DWORD*, DWORD*, DWORD, unsigned char*,
                              DWORD*) UNEXPECTED()
    HRESULT WINAPI DeleteAllData(METADATA_HANDLE, LPCWSTR, DWORD, DWORD) UNEXPECTED()
    HRESULT WINAPI CopyData(METADATA_HANDLE, LPCWSTR, METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WINBOOL) UNEXPECTED()
    HRESULT WINAPI GetDataPaths(METADATA_HANDLE, LPCWSTR, DWORD, DWORD, DWORD, WCHAR*, DWORD*) UNEXPECTED()
    HRESULT WINAPI ChangePermissions(METADATA_HANDLE, DWORD, DWORD) UNEXPECTED()
    HRESULT WINAPI GetHandleInfo(METADATA_HANDLE, PMETADATA_HANDLE_INFO) UNEXPECTED()
    HRESULT WINAPI GetSystemChangeNumber(DWORD*) UNEXPECTED()
    HRESULT WINAPI GetDataSetNumber(METADATA_HANDLE, LPCWSTR, DWORD*) UNEXPECTED()
    HRESULT WINAPI SetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) UNEXPECTED()
    HRESULT WINAPI GetLastChangeTime(METADATA_HANDLE, LPCWSTR, PFILETIME, WINBOOL) UNEXPECTED()
    HRESULT WINAPI KeyExchangePhase1() UNEXPECTED()
    HRESULT WINAPI KeyExchangePhase2() UNEXPECTED()
    HRESULT WINAPI Backup(LPCWSTR, DWORD, DWORD) UNEXPECTED()
    HRESULT WINAPI Restore(LPCWSTR, DWORD, DWORD) UNEXPECTED()
    HRESULT WINAPI EnumBackups(LPWSTR, DWORD*, PFILETIME, DWORD) UNEXPECTED()
    HRESULT WINAPI DeleteBackup(LPCWSTR, DWORD) UNEXPECTED()
    HRESULT WINAPI UnmarshalInterface(IMSAdminBaseW**) UNEXPECTED()
    HRESULT WINAPI GetServerGuid() UNEXPECTED()

private:
    MetabaseModel& model_;
};

class WamAdmin : public Counted<iis::IWamAdmin, iis::kIidWamAdmin>, Tracked {
public:
    static constexpr char kCreated[] = "IClassFactory::CreateInstance IWamAdmin";
    explicit WamAdmin(MetabaseModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE AppDelete(LPCWSTR path, BOOL recursive) override {
        ONDEX_COM_FAULT("IWamAdmin::AppDelete");
        if (HRESULT hr = model_.Hit("AppDelete", path)) return hr;
        model_.RecordAppDelete(path + std::wstring(recursive ? L" recursive" : L""));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AppCreate(LPCWSTR, BOOL) UNEXPECTED()
    HRESULT STDMETHODCALLTYPE AppUnLoad(LPCWSTR, BOOL) UNEXPECTED()
    HRESULT STDMETHODCALLTYPE AppGetStatus(LPCWSTR, DWORD*) UNEXPECTED()
    HRESULT STDMETHODCALLTYPE AppDeleteRecoverable(LPCWSTR, BOOL) UNEXPECTED()
    HRESULT STDMETHODCALLTYPE AppRecover(LPCWSTR, BOOL) UNEXPECTED()

private:
    MetabaseModel& model_;
};

// The ADSI object of one site: only its Start method.
class AdsiSite : public Counted<IDispatch, IID_IDispatch>, Tracked {
public:
    AdsiSite(MetabaseModel& model, std::wstring site) : model_(model), site_(std::move(site)) {}
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ONDEX_COM_FAULT("IDispatch::GetIDsOfNames");
        if (HRESULT hr = model_.Hit("GetIDsOfNames", names[0])) return hr;
        if (count != 1 || std::wstring(names[0]) != L"Start") return DISP_E_UNKNOWNNAME;
        return ids[0] = 1, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        ONDEX_COM_FAULT("IDispatch::Invoke");
        if (HRESULT hr = model_.Hit("Invoke")) return hr;
        if (id != 1 || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        model_.PutDword(L"/LM/W3SVC/" + site_, 1016, 2, 16);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) UNEXPECTED()
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) UNEXPECTED()

private:
    MetabaseModel& model_;
    std::wstring site_;
};

// The class object of ProgID "IIS": parses the moniker's display name into a
// pointer moniker holding the site's object.
class AdsiProvider : public Counted<IParseDisplayName, IID_IParseDisplayName> {
public:
    explicit AdsiProvider(MetabaseModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR name, ULONG* eaten, IMoniker** moniker) override {
        *moniker = nullptr;
        ONDEX_COM_FAULT("IParseDisplayName::ParseDisplayName");
        const std::wstring text(name);
        model_.Refresh();
        if (HRESULT hr = model_.Hit("CoGetObject", text)) return hr;
        auto* site = new AdsiSite(model_, text.substr(text.rfind(L'/') + 1));
        const HRESULT hr = CreatePointerMoniker(site, moniker);
        site->Release();
        *eaten = static_cast<ULONG>(text.size());
        return hr;
    }

private:
    MetabaseModel& model_;
};

template <typename Product>
class Factory : public Counted<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(MetabaseModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        *out = nullptr;
        ONDEX_COM_FAULT(Product::kCreated);
        model_.Refresh();
        auto* made = new Product(model_);
        const HRESULT hr = made->QueryInterface(iid, out);
        made->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    MetabaseModel& model_;
};

DWORD Register(const CLSID& clsid, MetabaseModel& model) {
    DWORD cookie = 0;
    IUnknown* object = NewIisClassObject(clsid, model);
    CoRegisterClassObject(clsid, object, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    object->Release();
    return cookie;
}

}  // namespace

IUnknown* NewIisClassObject(const CLSID& clsid, MetabaseModel& model) {
    if (IsEqualCLSID(clsid, iis::kClsidAdminBase)) return new Factory<AdminBase>(model);
    if (IsEqualCLSID(clsid, iis::kClsidWamAdmin)) return new Factory<WamAdmin>(model);
    if (IsEqualCLSID(clsid, kClsidAdsiDouble)) return new AdsiProvider(model);
    return nullptr;
}

IisDoubles::IisDoubles() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_unexpected = 0;
    cookies_[0] = Register(iis::kClsidAdminBase, model);
    cookies_[1] = Register(iis::kClsidWamAdmin, model);
    cookies_[2] = Register(kClsidAdsiDouble, model);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L"IIS\\CLSID", nullptr, REG_SZ, kAdsiClsidText, sizeof kAdsiClsidText);
}

IisDoubles::~IisDoubles() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"IIS");
    CoUninitialize();
}

long IisDoubles::Live() { return g_live; }
int IisDoubles::Unexpected() { return g_unexpected; }

}  // namespace ondex::test
