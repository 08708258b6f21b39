#include "sql/sql_setup.h"

#include <string>
#include <vector>

#include "platform/handles.h"
#include "prereq/shell.h"
#include "runtime/entry_frame.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "sql/sql_setup_text.h"

namespace ondex::sql {

namespace {

using platform::UniqueMsiHandle;
using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr wchar_t kSqlDatabaseQuery[] = L"SELECT * FROM `SqlDatabase`";
constexpr UINT kUserField = 6;

void LogRejected(MSIHANDLE hInstall, const RejectedPartition& rejected) {
    const std::wstring line = L"GeneratePartitionsSQLCode: partition \"" + rejected.displayName +
                              L"\" left out: " + rejected.reason + L".";
    runtime::LogTimestamped(hInstall, line.c_str());
}

std::wstring FormattedText(const wchar_t* text) {
    runtime::ScopedLayerString formatted;
    runtime::WcaGetFormattedString(text, formatted.put());
    return formatted.str();
}

// Every row is fetched before the first change: a row put back as a
// temporary row can be met again by the loop that fetches it (Wine's engine
// does so forever). A fetch error is logged by the fetch.
std::vector<UniqueMsiHandle> FetchAll(MSIHANDLE view) {
    std::vector<UniqueMsiHandle> rows;
    for (;;) {
        UniqueMsiHandle record;
        if (FAILED(runtime::WcaFetchRecord(view, record.put()))) return rows;
        rows.push_back(std::move(record));
    }
}

// The table's primary-key columns as record fields of "SELECT *", and the
// query that selects one row by them.
struct RowKey {
    std::vector<UINT> fields;
    std::vector<bool> integer;
    std::wstring query = L"SELECT * FROM `SqlDatabase` WHERE ";
};

std::wstring RecordText(MSIHANDLE record, UINT field) {
    runtime::ScopedLayerString text;
    runtime::WcaGetRecordString(record, field, text.put());
    return text.str();
}

RowKey ReadRowKey(MSIHANDLE view) {
    RowKey key;
    UniqueMsiHandle keys, names, types;
    if (::MsiDatabaseGetPrimaryKeysW(runtime::WcaGetDatabaseHandle(), L"SqlDatabase", keys.put()) != ERROR_SUCCESS ||
        ::MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names.put()) != ERROR_SUCCESS ||
        ::MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, types.put()) != ERROR_SUCCESS)
        return key;
    const UINT columns = ::MsiRecordGetFieldCount(names.get());
    for (UINT k = 1; k <= ::MsiRecordGetFieldCount(keys.get()); ++k) {
        const std::wstring column = RecordText(keys.get(), k);
        for (UINT field = 1; field <= columns; ++field) {
            if (RecordText(names.get(), field) != column) continue;
            key.fields.push_back(field);
            const std::wstring type = RecordText(types.get(), field);
            key.integer.push_back(!type.empty() && (type[0] == L'i' || type[0] == L'I'));
            key.query += (k > 1 ? L" AND `" : L"`") + column + L"` = ?";
        }
    }
    return key;
}

// Replaces one row by a temporary copy with `user` in field 6, through a view
// of that row alone, so that the row deleted is the one just fetched.
void ReplaceUserField(const RowKey& key, MSIHANDLE row, const std::wstring& user) {
    UniqueMsiHandle params(::MsiCreateRecord(static_cast<UINT>(key.fields.size())));
    for (UINT i = 0; i < key.fields.size(); ++i) {
        if (key.integer[i])
            ::MsiRecordSetInteger(params.get(), i + 1, ::MsiRecordGetInteger(row, key.fields[i]));
        else
            ::MsiRecordSetStringW(params.get(), i + 1, RecordText(row, key.fields[i]).c_str());
    }
    UniqueMsiHandle view, current;
    HRESULT hr = runtime::WcaOpenView(key.query.c_str(), view.put());
    if (SUCCEEDED(hr)) hr = runtime::WcaExecuteView(view.get(), params.get());
    if (SUCCEEDED(hr)) hr = runtime::WcaFetchRecord(view.get(), current.put());
    if (SUCCEEDED(hr)) hr = runtime::HrFromInstallerError(::MsiViewModify(view.get(), MSIMODIFY_DELETE, current.get()));
    if (SUCCEEDED(hr)) hr = runtime::WcaSetRecordString(current.get(), kUserField, user.c_str());
    if (SUCCEEDED(hr))
        hr = runtime::HrFromInstallerError(::MsiViewModify(view.get(), MSIMODIFY_INSERT_TEMPORARY, current.get()));
    if (FAILED(hr)) runtime::WcaLogError(hr, "failed to replace a SqlDatabase row");
}

void SwitchWinAuth(MSIHANDLE hInstall, const wchar_t* value) {
    MsiProperty(hInstall, L"WIN_AUTH") = value;
    runtime::RunClassicAction(hInstall, "SetWinAuthMode", SetWinAuthModeImpl);
}

}  // namespace

void GeneratePartitionsSQLCodeImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty code(hInstall, L"PARTITIONSSQLCODE"), partitions(hInstall, L"PARTITIONS");
    const PartitionsBatch batch = BuildPartitionsSql(partitions.Str());
    for (const RejectedPartition& rejected : batch.rejected) LogRejected(hInstall, rejected);
    code = batch.sql;
    TraceIf(flags, TF_TRACE, actionName, L"Got PARTITIONSSQLCODE", L"PARTITIONS: %s\nPARTITIONSSQLCODE: %s",
            partitions.Str().c_str(), code.Str().c_str());
}

void InstallSQLServerInstanceImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const std::wstring installer = MsiProperty(hInstall, L"SQLEXPR32").Format();
    const std::wstring instance = MsiProperty(hInstall, L"SQLINSTANCE").Str();
    const std::optional<std::wstring> commandLine = ExpressCommandLine(installer, instance);
    if (!commandLine) {
        runtime::LogTimestamped(hInstall, L"InstallSQLServerInstance: the SQL Express command line is longer than "
                                          L"519 characters; the installer is not run.");
        result = ERROR_INSTALL_FAILURE;
        return;
    }
    TraceIf(flags, TF_TRACE, actionName, L"Executing SQL Express installer", L"%s", commandLine->c_str());
    const int code = prereq::ShellWithProgress(commandLine->c_str(), hInstall, L"Installing SQL Express", 900, 1);
    TraceIf(flags, TF_TRACE, actionName, L"SQLEXPR32.EXE Result Code", L"%i", code);
    result = static_cast<UINT>(code);
}

void SetWinAuthModeImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const bool sqlServerAuthentication = SelectsSqlServerAuthentication(MsiProperty(hInstall, L"WIN_AUTH").Str());
    if (sqlServerAuthentication) {
        MsiProperty(hInstall, L"SERVICEACCOUNT") = MsiProperty(hInstall, L"SQLUSERNAME").Format();
        MsiProperty(hInstall, L"SERVICEPASSWORD") = MsiProperty(hInstall, L"SQLUSERPASSWORD").Format();
    }
    UniqueMsiHandle view;
    const HRESULT hr = runtime::WcaOpenExecuteView(kSqlDatabaseQuery, view.put());
    if (FAILED(hr)) {
        result = static_cast<UINT>(hr);
        return;
    }
    const std::wstring user = FormattedText(sqlServerAuthentication ? L"SQLUser" : L"[NOTHING]");
    const RowKey key = ReadRowKey(view.get());
    for (const UniqueMsiHandle& row : FetchAll(view.get())) ReplaceUserField(key, row.get(), user);
    result = ::MsiViewClose(view.get());
}

void EnableWinAuthImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) { SwitchWinAuth(hInstall, L"1"); }

void DisableWinAuthImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) { SwitchWinAuth(hInstall, L""); }

}  // namespace ondex::sql
