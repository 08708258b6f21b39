#define DBINITCONSTANTS  // selectany: the product defines them too
#include "sql/oledb_double.h"

#include <oledberr.h>

#include <algorithm>
#include <string_view>

#include "sql/sql_session.h"
#include "support/com_counted.h"
#include "support/com_faults.h"

namespace ondex::test {

namespace {

long g_live = 0;
long g_heldRows = 0;

struct Tracked {
    Tracked() { ++g_live; }
    ~Tracked() { --g_live; }
};

constexpr std::wstring_view kExistencePrefix = L"SELECT name FROM sysdatabases WHERE name='";

bool Lists(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::ranges::find(names, name) != names.end();
}

template <typename T>
HRESULT HandOut(T* object, REFIID iid, void** out) {
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

// An error object or one of its records: a description and, for the object,
// the records, readable for locale 1033 only.
class ErrorObject : public CountedMany<IErrorInfo, IErrorRecords>, Tracked {
public:
    ErrorObject(std::wstring description, std::vector<ProviderError> records = {})
        : description_(std::move(description)), records_(std::move(records)) {}
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override {
        ONDEX_COM_FAULT("IErrorInfo::GetDescription");
        return (*description = ::SysAllocString(description_.c_str())) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetRecordCount(ULONG* count) override {
        ONDEX_COM_FAULT("IErrorRecords::GetRecordCount");
        return *count = static_cast<ULONG>(records_.size()), S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetErrorInfo(ULONG index, LCID locale, IErrorInfo** out) override {
        ONDEX_COM_FAULT("IErrorRecords::GetErrorInfo");
        *out = nullptr;
        if (index >= records_.size()) return DB_E_BADRECORDNUM;
        if (locale != sql::kErrorLocale || !records_[index].readable) return DB_E_NOLOCALE;
        *out = new ErrorObject(records_[index].description);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBasicErrorInfo(ULONG, ERRORINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCustomErrorObject(ULONG, REFIID, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetErrorParameters(ULONG, DISPPARAMS*) override { return E_NOTIMPL; }

private:
    void* Find(REFIID iid) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IErrorInfo)) return static_cast<IErrorInfo*>(this);
        return IsEqualIID(iid, IID_IErrorRecords) ? static_cast<IErrorRecords*>(this) : nullptr;
    }
    std::wstring description_;
    std::vector<ProviderError> records_;
};

class Rowset : public Counted<IRowset, IID_IRowset>, Tracked {
public:
    explicit Rowset(int rows) : rows_(rows) {}
    HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER, DBROWOFFSET, DBROWCOUNT wanted, DBCOUNTITEM* obtained,
                                          HROW** rows) override {
        ONDEX_COM_FAULT("IRowset::GetNextRows");
        *obtained = 0;
        if (wanted != 1) return E_NOTIMPL;
        if (!rows_) return DB_S_ENDOFROWSET;
        if (!*rows && !(*rows = static_cast<HROW*>(::CoTaskMemAlloc(sizeof(HROW))))) return E_OUTOFMEMORY;
        (*rows)[0] = static_cast<HROW>(rows_--);
        *obtained = 1;
        ++g_heldRows;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseRows(DBCOUNTITEM count, const HROW[], DBROWOPTIONS[], DBREFCOUNT[],
                                          DBROWSTATUS[]) override {
        g_heldRows -= static_cast<long>(count);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddRefRows(DBCOUNTITEM, const HROW[], DBREFCOUNT[], DBROWSTATUS[]) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetData(HROW, HACCESSOR, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestartPosition(HCHAPTER) override { return E_NOTIMPL; }

private:
    int rows_;
};

// The existence query finds the scripted databases; any other query is the lock query.
class Command : public CountedMany<ICommandText, ISupportErrorInfo>, Tracked {
public:
    explicit Command(SqlServerModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID dialect, LPCOLESTR text) override {
        ONDEX_COM_FAULT("ICommandText::SetCommandText");
        if (!IsEqualGUID(dialect, DBGUID_DEFAULT)) return DB_E_DIALECTNOTSUPPORTED;
        text_ = text ? text : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Execute(IUnknown*, REFIID iid, DBPARAMS*, DBROWCOUNT* affected, IUnknown** rowset) override {
        ONDEX_COM_FAULT("ICommandText::Execute");
        model_.queries.push_back(text_);
        if (affected) *affected = 0;
        const ScriptedSqlServer& script = model_.script;
        const bool existence = text_.starts_with(kExistencePrefix) && text_.ends_with(L"'");
        const HRESULT result = existence ? script.existenceQueryResult : script.lockQueryResult;
        if (result != S_OK) return Raise(), result;
        if (IsEqualIID(iid, IID_NULL)) return S_OK;
        const bool found = existence ? Lists(script.databases, text_.substr(kExistencePrefix.size(),
                                                                            text_.size() - kExistencePrefix.size() - 1))
                                     : script.lockRow;
        return HandOut(new Rowset(found ? 1 : 0), iid, reinterpret_cast<void**>(rowset));
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        ONDEX_COM_FAULT("ISupportErrorInfo::InterfaceSupportsErrorInfo");
        return IsEqualIID(iid, IID_ICommandText) || IsEqualIID(iid, IID_ICommand) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDBSession(REFIID, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCommandText(GUID*, LPOLESTR*) override { return E_NOTIMPL; }

private:
    void* Find(REFIID iid) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ICommand) || IsEqualIID(iid, IID_ICommandText))
            return static_cast<ICommandText*>(this);
        return IsEqualIID(iid, IID_ISupportErrorInfo) ? static_cast<ISupportErrorInfo*>(this) : nullptr;
    }
    void Raise() const {
        const ScriptedSqlServer& script = model_.script;
        if (script.errors.empty() && script.errorObjectDescription.empty()) return (void)::SetErrorInfo(0, nullptr);
        IErrorInfo* error = new ErrorObject(script.errorObjectDescription, script.errors);
        ::SetErrorInfo(0, error);
        error->Release();
    }
    SqlServerModel& model_;
    std::wstring text_;
};

// Records the DBINIT properties; Initialize answers for the catalog and
// authentication they name. Its sessions are the object itself.
class DataSource : public CountedMany<IDBInitialize, IDBProperties, IDBCreateSession, IDBCreateCommand>, Tracked {
public:
    explicit DataSource(SqlServerModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE SetProperties(ULONG setCount, DBPROPSET sets[]) override {
        ONDEX_COM_FAULT("IDBProperties::SetProperties");
        if (setCount != 1 || !IsEqualGUID(sets[0].guidPropertySet, DBPROPSET_DBINIT)) return E_NOTIMPL;
        ReceivedProperties received;
        for (ULONG i = 0; i < sets[0].cProperties; ++i) {
            const DBPROP& property = sets[0].rgProperties[i];
            if (property.vValue.vt != VT_BSTR) return E_NOTIMPL;
            received.emplace_back(property.dwPropertyID, property.vValue.bstrVal ? property.vValue.bstrVal : L"");
        }
        model_.connections.push_back(std::move(received));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize() override {
        ONDEX_COM_FAULT("IDBInitialize::Initialize");
        const ScriptedSqlServer& script = model_.script;
        if (!script.reachable || model_.connections.empty()) return E_FAIL;
        const std::wstring catalog = Received(DBPROP_INIT_CATALOG);
        if (catalog == L"master") return S_OK;
        if (!Lists(script.databases, catalog)) return E_FAIL;
        const bool windows = Received(DBPROP_AUTH_INTEGRATED) == L"SSPI";
        return windows && script.windowsAuthRefusedOnTarget ? DB_SEC_E_AUTH_FAILED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateSession(IUnknown*, REFIID iid, IUnknown** session) override {
        ONDEX_COM_FAULT("IDBCreateSession::CreateSession");
        return QueryInterface(iid, reinterpret_cast<void**>(session));
    }
    HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown*, REFIID iid, IUnknown** command) override {
        ONDEX_COM_FAULT("IDBCreateCommand::CreateCommand");
        return HandOut(new Command(model_), iid, reinterpret_cast<void**>(command));
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperties(ULONG, const DBPROPIDSET[], ULONG*, DBPROPSET**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyInfo(ULONG, const DBPROPIDSET[], ULONG*, DBPROPINFOSET**, OLECHAR**) override {
        return E_NOTIMPL;
    }

private:
    void* Find(REFIID iid) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDBInitialize)) return static_cast<IDBInitialize*>(this);
        if (IsEqualIID(iid, IID_IDBProperties)) return static_cast<IDBProperties*>(this);
        if (IsEqualIID(iid, IID_IDBCreateCommand)) return static_cast<IDBCreateCommand*>(this);
        return IsEqualIID(iid, IID_IDBCreateSession) ? static_cast<IDBCreateSession*>(this) : nullptr;
    }
    std::wstring Received(DBPROPID id) const {
        for (const auto& [received, value] : model_.connections.back())
            if (received == id) return value;
        return L"";
    }
    SqlServerModel& model_;
};

class Factory : public Counted<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(SqlServerModel& model) : model_(model) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        ONDEX_COM_FAULT("IClassFactory::CreateInstance");
        return HandOut(new DataSource(model_), iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    SqlServerModel& model_;
};

}  // namespace

IClassFactory* NewSqlProviderFactory(SqlServerModel& model) { return new Factory(model); }

OleDbDouble::OleDbDouble() : registration_(sql::kClsidSqlOleDb, NewSqlProviderFactory(*this)) {}

long OleDbDouble::Live() { return g_live; }
long OleDbDouble::HeldRows() { return g_heldRows; }

}  // namespace ondex::test
