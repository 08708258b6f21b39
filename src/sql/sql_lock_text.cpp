#include "sql/sql_lock_text.h"

namespace ondex::sql {

namespace {

constexpr std::wstring_view kTabConcatenation = L"' + CHAR(9) + '";
constexpr std::wstring_view kLineFeedConcatenation = L"' + CHAR(13) +  CHAR(10) + '";

// "%02i" for the non-negative fields of a time.
std::wstring TwoDigits(int value) {
    std::wstring digits = std::to_wstring(value);
    if (value >= 0 && digits.size() < 2) digits.insert(0, 1, L'0');
    return digits;
}

}  // namespace

std::wstring escapeSqlString(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
        case L'\'': escaped += L"''"; break;
        case L'\t': escaped += kTabConcatenation; break;
        case L'\r': break;
        case L'\n': escaped += kLineFeedConcatenation; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::wstring LockTimeText(const LockTime& time) {
    return std::to_wstring(time.year) + L'-' + TwoDigits(time.month) + L'-' + TwoDigits(time.day) + L'T' +
           TwoDigits(time.hour) + L':' + TwoDigits(time.minute) + L':' + TwoDigits(time.second);
}

std::wstring DatabaseExistsQuery(std::wstring_view database) {
    return L"SELECT name FROM sysdatabases WHERE name='" + std::wstring(database) + L"'";
}

std::wstring DataSourceText(std::wstring_view server, std::wstring_view instance) {
    std::wstring source(server);
    if (!instance.empty()) source.append(L"\\").append(instance);
    return source;
}

AuthenticationChoice ChooseAuthentication(std::wstring_view value) {
    return {value != L"1", value == L"0" || value == L"1"};
}

StatusPair CheckStatusPair(int status, std::wstring_view database, std::wstring_view okText,
                           std::wstring_view inaccessibleText) {
    switch (status) {
    case kStatusNoDatabase: return {L"OK", std::wstring(okText)};
    case kStatusInaccessible: return {L"E_INACCESSIBLEDB", std::wstring(inaccessibleText)};
    case kStatusExists: return {L"S_DBEXISTS", L"Database " + std::wstring(database) + L" already exists on SQL Instance"};
    case kStatusLocked: return {L"S_DBLOCKED", L"S_DATABASELOCKED"};
    default: return {std::to_wstring(status), L"Unknown status"};
    }
}

}  // namespace ondex::sql
