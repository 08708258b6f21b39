#pragma once
// The texts of the database check and the lock record: the escaping of a
// lock record for an SQL string literal, the lock time, the existence query,
// the data source name, the authentication choice and the status pair that
// CheckSQLServerInstance reports. Pure logic: no Windows headers.
#include <string>
#include <string_view>

namespace ondex::sql {

// SqlCheckInstance's status values (16 and 32 are bits).
inline constexpr int kStatusNoDatabase = 0;        // also when COM cannot start
inline constexpr int kStatusQueryFailed = 3;       // the existence query failed
inline constexpr int kStatusMasterUnreachable = 4;  // no connection to "master"
inline constexpr int kStatusInaccessible = 5;      // exists, Windows authentication refused
inline constexpr int kStatusExists = 16;
inline constexpr int kStatusLocked = 48;

// The text for use between the apostrophes of an SQL string literal: an
// apostrophe is doubled, TAB and line feed become CHAR() concatenations and
// carriage return is dropped, so that no character can end the literal or
// break its line.
std::wstring escapeSqlString(std::wstring_view text);

// Local time as "YYYY-mm-DDTHH:MM:SS" ("%i-%02i-%02iT%02i:%02i:%02i").
struct LockTime {
    int year, month, day, hour, minute, second;
};
std::wstring LockTimeText(const LockTime& time);

// The existence query; the name goes in as given.
std::wstring DatabaseExistsQuery(std::wstring_view database);

// The server alone for an empty instance, else "server\instance".
std::wstring DataSourceText(std::wstring_view server, std::wstring_view instance);

// IS_SQLSERVER_AUTHENTICATION: "1" is SQL Server authentication, "0" and any
// other value Windows integrated authentication; `recognised` is false for a
// value other than "0" and "1", which the caller logs.
struct AuthenticationChoice {
    bool integrated;
    bool recognised;
};
AuthenticationChoice ChooseAuthentication(std::wstring_view value);

// CHKRQ_PRODSQLSRV_STATUSCODE and _STATUSTEXT for a status; the two texts
// are the package's string resources for "OK" and "E_INACCESSIBLEDB".
struct StatusPair {
    std::wstring code, text;
};
StatusPair CheckStatusPair(int status, std::wstring_view database, std::wstring_view okText,
                           std::wstring_view inaccessibleText);

}  // namespace ondex::sql
