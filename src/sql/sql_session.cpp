// The GUIDs and the null column id of the OLE DB headers are defined here
// (they are selectany, so a test double may define them too).
#define DBINITCONSTANTS
#include "sql/sql_session.h"

#include <oledberr.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "sql/sql_lock_text.h"

namespace ondex::sql {

namespace {

using platform::ComPtr;
using platform::UniqueBstr;

std::wstring Text(const wchar_t* value) { return value ? value : L""; }

// One DBPROPSET_DBINIT set of BSTR properties, in the order they are added;
// the values are wiped when the set ends (one of them may be a password).
class InitProperties {
public:
    InitProperties() { values_.reserve(4), properties_.reserve(4); }
    ~InitProperties() {
        for (const UniqueBstr& value : values_)
            if (value) ::SecureZeroMemory(value.get(), ::SysStringByteLen(value.get()));
    }
    InitProperties(const InitProperties&) = delete;
    InitProperties& operator=(const InitProperties&) = delete;

    void Add(DBPROPID id, const std::wstring& value) {
        values_.emplace_back(::SysAllocStringLen(value.data(), static_cast<UINT>(value.size())));
        DBPROP property{};
        property.dwPropertyID = id;
        property.dwOptions = DBPROPOPTIONS_REQUIRED;
        property.colid = DB_NULLID;
        property.vValue.vt = VT_BSTR;
        property.vValue.bstrVal = values_.back().get();  // owned by values_
        properties_.push_back(property);
    }

    HRESULT ApplyTo(IDBInitialize* source) {
        for (const UniqueBstr& value : values_)
            if (!value) return E_OUTOFMEMORY;
        ComPtr<IDBProperties> properties;
        HRESULT hr = source->QueryInterface(IID_IDBProperties, properties.put_void());
        if (FAILED(hr)) return hr;
        DBPROPSET set{properties_.data(), static_cast<ULONG>(properties_.size()), DBPROPSET_DBINIT};
        return properties->SetProperties(1, &set);
    }

private:
    std::vector<UniqueBstr> values_;
    std::vector<DBPROP> properties_;
};

// A command on a new session of `session`, its text set.
HRESULT PrepareCommand(IDBCreateSession* session, const wchar_t* query, ComPtr<ICommandText>& text) {
    ComPtr<IDBCreateCommand> commands;
    HRESULT hr = session->CreateSession(nullptr, IID_IDBCreateCommand, reinterpret_cast<IUnknown**>(commands.put()));
    if (FAILED(hr)) return hr;
    ComPtr<ICommand> command;
    hr = commands->CreateCommand(nullptr, IID_ICommand, reinterpret_cast<IUnknown**>(command.put()));
    if (FAILED(hr)) return hr;
    hr = command->QueryInterface(IID_ICommandText, text.put_void());
    if (FAILED(hr)) return hr;
    return text->SetCommandText(DBGUID_DEFAULT, query);
}

// The first error record readable for `locale`, or nothing.
ComPtr<IErrorInfo> FirstReadableRecord(IErrorInfo* error, LCID locale) {
    ComPtr<IErrorInfo> record;
    ComPtr<IErrorRecords> records;
    ULONG count = 0;
    if (FAILED(error->QueryInterface(IID_IErrorRecords, records.put_void())) ||
        FAILED(records->GetRecordCount(&count)))
        return record;
    for (ULONG index = 0; index < count; ++index)
        if (SUCCEEDED(records->GetErrorInfo(index, locale, record.put())) && record) break;
    return record;
}

}  // namespace

HRESULT SqlSessionConnect(const wchar_t* server, const wchar_t* instance, const wchar_t* database, bool integrated,
                          const wchar_t* user, const wchar_t* password, IDBCreateSession** session) {
    *session = nullptr;
    ComPtr<IDBInitialize> source;
    HRESULT hr = ::CoCreateInstance(kClsidSqlOleDb, nullptr, CLSCTX_INPROC_SERVER, IID_IDBInitialize, source.put_void());
    if (FAILED(hr)) return hr;
    InitProperties properties;
    properties.Add(DBPROP_INIT_DATASOURCE, DataSourceText(Text(server), Text(instance)));
    properties.Add(DBPROP_INIT_CATALOG, Text(database));
    if (integrated) {
        properties.Add(DBPROP_AUTH_INTEGRATED, L"SSPI");
    } else {
        properties.Add(DBPROP_AUTH_USERID, Text(user));
        properties.Add(DBPROP_AUTH_PASSWORD, Text(password));
    }
    if (FAILED(hr = properties.ApplyTo(source.get())) || FAILED(hr = source->Initialize())) return hr;
    return source->QueryInterface(IID_IDBCreateSession, reinterpret_cast<void**>(session));
}

HRESULT SqlSessionExecuteQuery(IDBCreateSession* session, const wchar_t* query, IRowset** rowset,
                               DBROWCOUNT* rowsAffected, BSTR* errorDescription) {
    if (rowsAffected) *rowsAffected = 0;
    if (rowset) *rowset = nullptr;
    ComPtr<ICommandText> text;
    HRESULT hr = PrepareCommand(session, query, text);
    if (SUCCEEDED(hr)) {
        DBROWCOUNT affected = 0;
        hr = text->Execute(nullptr, rowset ? IID_IRowset : IID_NULL, nullptr, &affected,
                           reinterpret_cast<IUnknown**>(rowset));
        if (hr == DB_S_ERRORSOCCURRED) hr = E_FAIL;
        if (rowsAffected) *rowsAffected = affected;
    }
    if (FAILED(hr) && errorDescription) {
        ::SysFreeString(*errorDescription);
        *errorDescription = nullptr;
        if (text && FAILED(SqlGetErrorDescription(text.get(), IID_ICommandText, kErrorLocale, nullptr, errorDescription))) {
            ::SysFreeString(*errorDescription);
            *errorDescription = nullptr;
        }
    }
    return hr;
}

HRESULT SqlSessionDatabaseExists(IDBCreateSession* session, const wchar_t* database, BSTR* errorDescription) {
    ComPtr<IRowset> rowset;
    const HRESULT hr = SqlSessionExecuteQuery(session, DatabaseExistsQuery(Text(database)).c_str(), rowset.put(),
                                              nullptr, errorDescription);
    if (FAILED(hr)) return hr;
    return FetchesARow(rowset.get()) ? S_OK : S_FALSE;
}

HRESULT SqlGetErrorDescription(IUnknown* object, REFIID iid, LCID locale, BSTR* source, BSTR* description) {
    ComPtr<ISupportErrorInfo> support;
    HRESULT hr = object->QueryInterface(IID_ISupportErrorInfo, support.put_void());
    if (FAILED(hr)) return hr;
    if ((hr = support->InterfaceSupportsErrorInfo(iid)) != S_OK) return FAILED(hr) ? hr : E_NOINTERFACE;
    ComPtr<IErrorInfo> error;
    if (FAILED(hr = ::GetErrorInfo(0, error.put()))) return hr;
    if (!error) return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
    const ComPtr<IErrorInfo> record = FirstReadableRecord(error.get(), locale);
    IErrorInfo* const chosen = record ? record.get() : error.get();
    if (source && FAILED(hr = chosen->GetSource(source))) return hr;
    return description ? chosen->GetDescription(description) : S_OK;
}

bool FetchesARow(IRowset* rowset) {
    if (!rowset) return false;
    HROW row = DB_NULL_HROW;
    HROW* rows = &row;
    DBCOUNTITEM obtained = 0;
    const HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
    if (obtained) rowset->ReleaseRows(obtained, rows, nullptr, nullptr, nullptr);
    return hr != DB_S_ENDOFROWSET && obtained > 0;
}

}  // namespace ondex::sql
