#pragma once
// The SQL session layer over OLE DB: a connection to one database of a
// server instance through the SQL Server OLE DB provider, queries on it, the
// existence test of a database and the provider's error description. Every
// function returns the first failing HRESULT; nothing is logged here.
#include <windows.h>
#include <oledb.h>

namespace ondex::sql {

// The SQL Server OLE DB provider, {0C7FF16C-38E3-11D0-97AB-00C04FC2AD98}.
inline constexpr CLSID kClsidSqlOleDb = {0x0C7FF16C, 0x38E3, 0x11D0, {0x97, 0xAB, 0x00, 0xC0, 0x4F, 0xC2, 0xAD, 0x98}};
// The locale of the error descriptions.
inline constexpr LCID kErrorLocale = 1033;

// An initialised data source on `database`, as the session factory. The
// instance may be null or empty (the default instance); with `integrated`
// the user and password are not used.
HRESULT SqlSessionConnect(const wchar_t* server, const wchar_t* instance, const wchar_t* database, bool integrated,
                          const wchar_t* user, const wchar_t* password, IDBCreateSession** session);

// Runs `query` on a new session. Each output is optional: the rowset (asked
// for only when given), the rows affected and, on failure, the provider's
// error description (null when it has none).
HRESULT SqlSessionExecuteQuery(IDBCreateSession* session, const wchar_t* query, IRowset** rowset,
                               DBROWCOUNT* rowsAffected, BSTR* errorDescription);

// S_OK when the database exists, S_FALSE when not, else the failure.
HRESULT SqlSessionDatabaseExists(IDBCreateSession* session, const wchar_t* database, BSTR* errorDescription);

// Source and description (both optional) of the error that `object` set for
// interface `iid`: the first error record readable for `locale`, else the
// error object itself; 0x80070103 when there is no error object.
HRESULT SqlGetErrorDescription(IUnknown* object, REFIID iid, LCID locale, BSTR* source, BSTR* description);

// True when the rowset's first fetch (one row) gave a row, which is released.
bool FetchesARow(IRowset* rowset);

}  // namespace ondex::sql
