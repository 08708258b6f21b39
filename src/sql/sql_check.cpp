#include "sql/sql_check.h"

#define SECURITY_WIN32
#include <rpc.h>
#include <security.h>

#include <ctime>
#include <new>
#include <string>

#include "platform/com.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"
#include "sql/sql_lock_text.h"
#include "sql/sql_session.h"

namespace ondex::sql {

namespace {

using platform::ComApartment;
using platform::ComPtr;
using platform::UniqueBstr;
using runtime::GetTracerFlags;
using runtime::MsiProperty;
using runtime::TF_ERROR;
using runtime::TF_TRACE;
using runtime::TraceIf;
using runtime::WcaInitializer;
using runtime::SecretValue;
using runtime::WcaLogError;

constexpr wchar_t kCheckScope[] = L"SqlCheckInstance";
constexpr wchar_t kLockInfoScope[] = L"SqlSessionDatabaseGetLockInfo";
constexpr wchar_t kUpdateScope[] = L"SqlDatabaseUpdateLockInfo";
constexpr const wchar_t* kLockFields[] = {L"SQLLOCKINFO_TIME", L"SQLLOCKINFO_GUID", L"SQLLOCKINFO_COMPUTERNAME",
                                          L"SQLLOCKINFO_USERNAME"};

const wchar_t* Described(const UniqueBstr& description) {
    return description && *description.get() ? description.get() : L"unknown error";
}

// Connected to the existing database with Windows authentication: its lock.
int CheckOpenedDatabase(MSIHANDLE hInstall, UINT flags, IDBCreateSession* session, const wchar_t* database,
                        UniqueBstr& description) {
    if (SqlSessionDatabaseGetLockInfo(hInstall, session, database, description.put()) != 0) return kStatusExists;
    TraceIf(flags, TF_TRACE, kCheckScope, kCheckScope, L"%s", L"Database found locked");
    return kStatusLocked;
}

int CheckOnServer(MSIHANDLE hInstall, UINT flags, const wchar_t* server, const wchar_t* instance,
                  const wchar_t* database, bool integrated, const wchar_t* user, const wchar_t* password) {
    ComPtr<IDBCreateSession> session;
    HRESULT hr = SqlSessionConnect(server, instance, L"master", integrated, user, password, session.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "connecting 'master' database at the server '%S', instance '%S'", server, instance);
        return kStatusMasterUnreachable;
    }
    UniqueBstr description;
    hr = SqlSessionDatabaseExists(session.get(), database, description.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "calling SqlSessionDatabaseExists for %S: %S", database, Described(description));
        return kStatusQueryFailed;
    }
    if (hr == S_FALSE) return kStatusNoDatabase;
    session.reset();
    hr = SqlSessionConnect(server, instance, database, true, nullptr, nullptr, session.put());
    if (SUCCEEDED(hr)) return CheckOpenedDatabase(hInstall, flags, session.get(), database, description);
    TraceIf(flags, TF_TRACE, kCheckScope, L"Database access failed", L"Error code: 0x%X\nDescription: %s",
            static_cast<unsigned>(hr), Described(description));
    WcaLogError(hr, "calling SqlDatabaseGetLockInfo for %S: %S", database, Described(description));
    return kStatusInaccessible;
}

LockTime CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::wstring SamCompatibleUserName() {
    wchar_t name[512] = L"";
    ULONG chars = 512;
    return ::GetUserNameExW(NameSamCompatible, name, &chars) ? name : L"";
}

void TraceGuidFailure(UINT flags, const wchar_t* titleFormat, HRESULT hr, const wchar_t* step) {
    const std::wstring title = runtime::FormatWide(titleFormat, static_cast<unsigned>(hr));
    TraceIf(flags, TF_TRACE, kUpdateScope, title.c_str(), L"Failed %s", step);
}

// A new UUID in its 36-character form into `text`; the status of the first failing step.
HRESULT NewGuidText(UINT flags, std::wstring& text) {
    const ComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Status())) {
        TraceGuidFailure(flags, L"CoInitialize hr=0x%X", com.Status(), L"CoInitialize");
        return com.Status();
    }
    UUID uuid{};
    HRESULT hr = static_cast<HRESULT>(::UuidCreate(&uuid));
    if (FAILED(hr)) {
        TraceGuidFailure(flags, L"UuidCreate hr=0x%X", hr, L"Updating SQLLOCKINFO_GUID");
        return hr;
    }
    RPC_WSTR string = nullptr;
    hr = static_cast<HRESULT>(::UuidToStringW(&uuid, &string));
    if (FAILED(hr) || !string) {
        TraceGuidFailure(flags, L"UuidToString hr=0x%X", hr, L"Generating GUID");
        return hr;
    }
    text = reinterpret_cast<const wchar_t*>(string);
    ::RpcStringFreeW(&string);
    return hr;
}

// The escaped record; the record itself when there is no memory to escape it.
std::wstring EscapedLockRecord(const std::wstring& record, UINT flags) {
    try {
        return escapeSqlString(record);
    } catch (const std::bad_alloc&) {
        TraceIf(flags, TF_TRACE, kUpdateScope, L"Out of memory condition",
                L"Error allocating buffer (len: %i) to hold escaped string.", static_cast<int>(record.size()));
        return record;
    }
}

}  // namespace

int SqlSessionDatabaseGetLockInfo(MSIHANDLE hInstall, IDBCreateSession* session, const wchar_t*,
                                  BSTR* errorDescription) {
    const WcaInitializer layer(hInstall, "SqlSessionDatabaseGetLockInfo");
    const UINT flags = GetTracerFlags("INTF_SqlSessionDatabaseGetLockInfo");
    const std::wstring lockInfo = MsiProperty(hInstall, L"SQLLOCKINFO").Str();
    for (const wchar_t* field : kLockFields) MsiProperty(hInstall, field) = L"";
    const std::wstring select = MsiProperty(hInstall, L"SQLLOCKINFO_SELECTCMD").Str();
    ComPtr<IRowset> rowset;
    const HRESULT hr = SqlSessionExecuteQuery(session, select.c_str(), rowset.put(), nullptr, errorDescription);
    TraceIf(flags, TF_TRACE, kLockInfoScope, L"SQLLOCKINFO_SELECTCMD", L"SqlSessionExecuteQuery SQLLOCKINFO_SELECTCMD Result: 0x%X",
            static_cast<unsigned>(hr));
    const bool locked = SUCCEEDED(hr) && FetchesARow(rowset.get());
    TraceIf(flags, TF_TRACE, kLockInfoScope, L"Got SQLLOCKINFO", L"%s", lockInfo.c_str());
    return locked ? 0 : 1;
}

HRESULT SqlDatabaseUpdateLockInfo(MSIHANDLE hInstall) {
    const WcaInitializer layer(hInstall, "SqlDatabaseUpdateLockInfo");
    const UINT flags = GetTracerFlags("INTF_SqlDatabaseUpdateLockInfo");
    const std::wstring computer = MsiProperty(hInstall, L"ComputerName").Str();
    const std::wstring user = SamCompatibleUserName();
    MsiProperty format(hInstall, L"SQLLOCKINFO_FORMAT"), lockInfo(hInstall, L"SQLLOCKINFO");
    lockInfo = L"";
    MsiProperty(hInstall, L"SQLLOCKINFO_TIME") = L"";
    MsiProperty(hInstall, L"SQLLOCKINFO_GUID") = L"";
    MsiProperty(hInstall, L"SQLLOCKINFO_COMPUTERNAME") = computer;
    MsiProperty(hInstall, L"SQLLOCKINFO_USERNAME") = user;
    MsiProperty(hInstall, L"SQLLOCKINFO_TIME") = LockTimeText(CurrentLocalTime());
    std::wstring guid;
    const HRESULT hr = NewGuidText(flags, guid);
    if (SUCCEEDED(hr)) MsiProperty(hInstall, L"SQLLOCKINFO_GUID") = guid;
    lockInfo = EscapedLockRecord(format.Format(), flags);
    return hr;
}

int SqlCheckInstance(MSIHANDLE hInstall, const wchar_t* server, const wchar_t* instance, const wchar_t* database,
                     bool integrated, const wchar_t* user, const wchar_t* password) {
    const WcaInitializer layer(hInstall, "SqlCheckInstance");
    if (FAILED(layer.Status())) {
        WcaLogError(layer.Status(), "failed to initialize");
        return kStatusNoDatabase;
    }
    const ComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Status())) {
        WcaLogError(com.Status(), "failed to intialize COM");
        return kStatusNoDatabase;
    }
    const UINT flags = GetTracerFlags("INTF_SqlCheckInstance");
    return CheckOnServer(hInstall, flags, server, instance, database, integrated, user, password);
}

void CheckSQLServerInstanceImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const std::wstring server = MsiProperty(hInstall, L"SQL_SERVER_NAME").Str();
    const std::wstring instance = MsiProperty(hInstall, L"SQL_SERVER_INSTANCE").Str();
    const std::wstring database = MsiProperty(hInstall, L"IS_SQLSERVER_DATABASE").Str();
    const std::wstring authentication = MsiProperty(hInstall, L"IS_SQLSERVER_AUTHENTICATION").Str();
    const std::wstring user = MsiProperty(hInstall, L"IS_SQLSERVER_USERNAME").Str();
    const SecretValue password(hInstall, L"IS_SQLSERVER_PASSWORD");
    const AuthenticationChoice choice = ChooseAuthentication(authentication);
    if (!choice.recognised)
        runtime::WcaLog(runtime::LOGMSG_STANDARD,
                        "IS_SQLSERVER_AUTHENTICATION '%S' is neither 0 nor 1: Windows authentication is used",
                        authentication.c_str());
    const int status = SqlCheckInstance(hInstall, server.c_str(), instance.c_str(), database.c_str(),
                                        choice.integrated, user.c_str(), password.c_str());
    const StatusPair pair =
        CheckStatusPair(status, database, MsiProperty(hInstall, L"STRINGRES_CHKRQ_PROD_STATUS_OK").Str(),
                        MsiProperty(hInstall, L"STRINGRES_CHKRQ_PROD_STATUS_INACCESSIBLEDB").Str());
    MsiProperty(hInstall, L"CHKRQ_PRODSQLSRV_STATUSCODE") = pair.code;
    MsiProperty(hInstall, L"CHKRQ_PRODSQLSRV_STATUSTEXT") = pair.text;
    TraceIf(flags, TF_TRACE, actionName, L"SqlCheckInstance Result", L"Code: %s\nText: %s", pair.code.c_str(),
            pair.text.c_str());
}

void UpdateSqlDbLockInfoImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const HRESULT hr = SqlDatabaseUpdateLockInfo(hInstall);
    if (FAILED(hr)) {
        TraceIf(flags, TF_ERROR, actionName, L"SqlDatabaseUpdateLockInfo failed", L"0x%X", static_cast<unsigned>(hr));
        return;
    }
    const std::wstring lockInfo = MsiProperty(hInstall, L"SQLLOCKINFO").Str();
    const std::wstring update = MsiProperty(hInstall, L"SQLLOCKINFO_UPDATECMD").Str();
    TraceIf(flags, TF_TRACE, actionName, L"New lock info & update cmd", L"%s\n___________________\n%s",
            lockInfo.c_str(), update.c_str());
}

}  // namespace ondex::sql
