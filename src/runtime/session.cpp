#include "runtime/session.h"

#include <cstdarg>
#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/text_format.h"

namespace ondex::runtime {

namespace {

using platform::UniqueMsiHandle;

constexpr size_t kLogNameChars = 32;
constexpr size_t kLogBufferBytes = 2048;
constexpr size_t kMaxLayerChars = 0x7FFFFFFE;

enum class Verbosity { Unknown, Off, On };

// The session an attach refers to.
struct Attachment {
    MSIHANDLE install = 0;
    MSIHANDLE database = 0;
    char logName[kLogNameChars] = "";
};

// Attaches inside an attached action (an inner scope, a nested action of this
// module) keep the outer one here and give it back when they end.
constexpr size_t kMaxNesting = 16;

struct LayerState {
    bool attached = false;
    MSIHANDLE install = 0;
    MSIHANDLE database = 0;
    char logName[kLogNameChars] = "";
    Attachment outer[kMaxNesting];
    size_t depth = 0;
    Verbosity verbose = Verbosity::Unknown;
    bool inLog = false;
    bool seeded = false;
    DWORD seed = 0;
};

LayerState g_layer;

bool IsEmpty(LPCWSTR text) { return text == nullptr || *text == L'\0'; }

void CloseDatabase() {
    if (g_layer.database) ::MsiCloseHandle(g_layer.database);
    g_layer.database = 0;
}

// The session's database, fetched when an action first needs it: most actions
// never do, and under the engine every handle call is a round trip to it.
MSIHANDLE LayerDatabase() {
    if (g_layer.database == 0 && g_layer.install != 0) g_layer.database = ::MsiGetActiveDatabase(g_layer.install);
    return g_layer.database;
}

// Reads a growing string through an installer getter of the shape
// getter(buffer, &size): uses the caller's capacity when the string exists,
// otherwise asks the size first; grows once more on ERROR_MORE_DATA.
template <typename Getter>
HRESULT ReadGrowing(LPWSTR* value, Getter getter, const char* sizeMessage, const char* allocMessage,
                    const char* readMessage, LPCWSTR subject) {
    size_t capacity = 0;
    if (*value) {
        StrSize(*value, &capacity);
    } else {
        wchar_t empty[1] = L"";
        DWORD size = 0;
        const UINT er = getter(empty, &size);
        if (er != ERROR_MORE_DATA && er != ERROR_SUCCESS) {
            const HRESULT hr = HrFromInstallerError(er);
            WcaLogError(hr, sizeMessage, subject);
            return hr;
        }
        capacity = size_t(size) + 1;
        if (FAILED(StrAlloc(value, capacity))) {
            WcaLogError(E_OUTOFMEMORY, allocMessage, subject);
            return E_OUTOFMEMORY;
        }
    }
    DWORD size = static_cast<DWORD>(capacity);
    UINT er = getter(*value, &size);
    if (er == ERROR_MORE_DATA) {
        if (FAILED(StrAlloc(value, size_t(size) + 1))) {
            WcaLogError(E_OUTOFMEMORY, allocMessage, subject);
            return E_OUTOFMEMORY;
        }
        size = size + 1;
        er = getter(*value, &size);
    }
    const HRESULT hr = HrFromInstallerError(er);
    if (FAILED(hr)) WcaLogError(hr, readMessage, subject);
    return hr;
}

// `shown` stands for the text in the log lines: a hidden property's value
// must never reach the log, not even as a template that failed to format.
HRESULT FormatThroughRecord(LPCWSTR text, LPCWSTR shown, LPWSTR* value) {
    UniqueMsiHandle record(::MsiCreateRecord(1));
    if (!record) {
        WcaLogError(E_UNEXPECTED, "Failed to create record to format string");
        return E_UNEXPECTED;
    }
    HRESULT hr = HrFromInstallerError(::MsiRecordSetStringW(record.get(), 0, text));
    if (FAILED(hr)) {
        WcaLogError(hr, "Failed to set record field 0 with '%S'", shown);
        return hr;
    }
    const MSIHANDLE install = g_layer.install;
    auto getter = [&](LPWSTR buffer, DWORD* size) { return ::MsiFormatRecordW(install, record.get(), buffer, size); };
    return ReadGrowing(value, getter, "Failed to get previous size of property data string",
                       "Failed to allocate string for formatted string: '%S'", "Failed to get formatted string: '%S'",
                       shown);
}

HRESULT AssignLayerString(LPWSTR* value, const std::wstring& text) {
    HRESULT hr = StrAlloc(value, text.size() + 1);
    if (FAILED(hr)) return hr;
    std::memcpy(*value, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return S_OK;
}

bool PolicyAsksForVerboseLog() {
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Policies\\Microsoft\\Windows\\Installer", 0, KEY_READ,
                        key.put()) != ERROR_SUCCESS)
        return false;
    wchar_t logging[16] = L"";
    DWORD size = sizeof logging;
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"Logging", nullptr, &type, reinterpret_cast<BYTE*>(logging), &size) !=
        ERROR_SUCCESS)
        return false;
    for (size_t i = 0; i < size / sizeof(wchar_t) && i < 16 && logging[i]; ++i)
        if (logging[i] == L'v' || logging[i] == L'V') return true;
    return false;
}

}  // namespace

HRESULT HrFromInstallerError(UINT error) {
    return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// ---- Layer strings ----

HRESULT StrAlloc(LPWSTR* string, size_t chars) {
    if (!string || chars == 0) return E_INVALIDARG;
    if (chars > kMaxLayerChars) return E_OUTOFMEMORY;
    const HANDLE heap = ::GetProcessHeap();
    void* block = *string ? ::HeapReAlloc(heap, HEAP_ZERO_MEMORY, *string, chars * sizeof(wchar_t))
                          : ::HeapAlloc(heap, HEAP_ZERO_MEMORY, chars * sizeof(wchar_t));
    if (!block) return E_OUTOFMEMORY;
    *string = static_cast<LPWSTR>(block);
    return S_OK;
}

HRESULT StrSize(LPCWSTR string, size_t* chars) {
    if (!string || !chars) return E_INVALIDARG;
    const SIZE_T bytes = ::HeapSize(::GetProcessHeap(), 0, string);
    if (bytes == static_cast<SIZE_T>(-1)) return E_INVALIDARG;
    *chars = bytes / sizeof(wchar_t);
    return S_OK;
}

void StrFree(LPWSTR string) {
    if (string) ::HeapFree(::GetProcessHeap(), 0, string);
}

HRESULT StrCopyTruncate(LPWSTR destination, size_t capacity, LPCWSTR source) {
    if (!destination || capacity == 0) return E_INVALIDARG;
    const size_t length = source ? std::wcslen(source) : 0;
    const size_t copied = length < capacity ? length : capacity - 1;
    std::wmemcpy(destination, source ? source : L"", copied);
    destination[copied] = L'\0';
    return copied == length ? S_OK : kHrBufferTooSmall;
}

HRESULT StrAllocFormatted(LPWSTR* string, LPCWSTR format, ...) {
    if (!string || !format) return E_INVALIDARG;
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatWideV(format, args);
    va_end(args);
    return AssignLayerString(string, text);
}

// ---- Attach and detach ----

namespace {

// Keeps the attached session for the end of the inner attach; beyond the
// nesting bound the outer session is released as a plain re-attach would.
void SaveOuterAttachment() {
    if (!g_layer.attached || g_layer.depth == kMaxNesting) {
        CloseDatabase();
        return;
    }
    Attachment& saved = g_layer.outer[g_layer.depth++];
    saved.install = g_layer.install;
    saved.database = g_layer.database;
    std::memcpy(saved.logName, g_layer.logName, kLogNameChars);
    g_layer.database = 0;
}

bool RestoreOuterAttachment() {
    if (g_layer.depth == 0) return false;
    const Attachment& saved = g_layer.outer[--g_layer.depth];
    g_layer.install = saved.install;
    g_layer.database = saved.database;
    std::memcpy(g_layer.logName, saved.logName, kLogNameChars);
    return true;
}

}  // namespace

HRESULT WcaInitialize(MSIHANDLE hInstall, const char* actionLogName) {
    SaveOuterAttachment();
    g_layer.attached = true;
    g_layer.install = hInstall;
    const char* name = actionLogName ? actionLogName : "";
    if (std::strlen(name) >= kLogNameChars) {
        g_layer.logName[0] = '\0';
        WcaLogError(kHrBufferTooSmall, "Failed to copy CustomAction log name: %s", name);
        WcaFinalize(ERROR_INSTALL_FAILURE);
        return kHrBufferTooSmall;
    }
    std::strcpy(g_layer.logName, name);
    return S_OK;
}

void WcaFinalize(UINT) {
    CloseDatabase();
    if (RestoreOuterAttachment()) return;
    g_layer.install = 0;
    g_layer.attached = false;
}

bool WcaIsAttached() { return g_layer.attached; }
MSIHANDLE WcaGetInstallHandle() { return g_layer.install; }
MSIHANDLE WcaGetDatabaseHandle() { return LayerDatabase(); }
const char* WcaGetLogName() { return g_layer.logName; }

void WcaResetProcessState() {
    g_layer.verbose = Verbosity::Unknown;
    g_layer.seeded = false;
    g_layer.seed = 0;
}

// ---- Properties ----

HRESULT WcaGetProperty(LPCWSTR name, LPWSTR* value) {
    if (IsEmpty(name) || !value) return E_INVALIDARG;
    const MSIHANDLE install = g_layer.install;
    auto getter = [&](LPWSTR buffer, DWORD* size) { return ::MsiGetPropertyW(install, name, buffer, size); };
    return ReadGrowing(value, getter, "Failed to get previous size of property data string.",
                       "Failed to allocate string for Property '%S'", "Failed to get data for property '%S'", name);
}

// An empty template would make the installer list the record's fields ("1: ").
HRESULT FormatTemplate(LPCWSTR text, LPCWSTR shown, LPWSTR* value) {
    if (*text == L'\0') return AssignLayerString(value, L"");
    return FormatThroughRecord(text, shown, value);
}

HRESULT WcaGetFormattedString(LPCWSTR text, LPWSTR* value) {
    if (!text || !value) return E_INVALIDARG;
    return FormatTemplate(text, text, value);
}

HRESULT WcaGetFormattedProperty(LPCWSTR name, LPWSTR* value) {
    if (IsEmpty(name) || !value) return E_INVALIDARG;
    ScopedLayerString raw;
    HRESULT hr = WcaGetProperty(name, raw.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to get %S", name);
        return hr;
    }
    const LPCWSTR shown = WcaIsHiddenProperty(g_layer.install, name) ? kHiddenValue : raw.get();
    hr = FormatTemplate(raw.get(), shown, value);
    if (FAILED(hr))
        WcaLogError(hr, "failed to get formatted value for property: '%S' with value: '%S'", name, shown);
    return hr;
}

HRESULT WcaSetProperty(LPCWSTR name, LPCWSTR value) {
    if (IsEmpty(name)) return E_INVALIDARG;
    const HRESULT hr = HrFromInstallerError(::MsiSetPropertyW(g_layer.install, name, value ? value : L""));
    if (FAILED(hr)) WcaLogError(hr, "failed to set property: %S", name);
    return hr;
}

namespace {

// Properties the library itself treats as secret, whatever the package
// lists: deferred phases cannot read "MsiHiddenProperties" (so BathShell's
// and ConfigureWeb's data, which the kit hides and which is named after the
// action, are listed here), and the credential dialog's confirmation is a
// password without the word.
constexpr const wchar_t* kLibrarySecrets[] = {L"ShellCommandHidden", L"CREDUICONFIRM", L"BathShell", L"ConfigureWeb"};

bool IsLibrarySecret(std::wstring_view name) {
    for (const wchar_t* secret : kLibrarySecrets)
        if (name == secret) return true;
    return false;
}

bool NamesPassword(std::wstring_view name) {
    std::wstring upper(name);
    for (auto& c : upper) c = static_cast<wchar_t>(::towupper(c));
    return upper.find(L"PASSWORD") != std::wstring::npos;
}

bool ListedAsHidden(MSIHANDLE hInstall, std::wstring_view name) {
    wchar_t empty[1] = L"";
    DWORD size = 0;
    ::MsiGetPropertyW(hInstall, L"MsiHiddenProperties", empty, &size);
    std::wstring list(size + 1, L'\0');
    DWORD capacity = size + 1;
    ::MsiGetPropertyW(hInstall, L"MsiHiddenProperties", list.data(), &capacity);
    list.resize(capacity);
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(L';', start), list.size());
        if (std::wstring_view(list).substr(start, end - start) == name) return true;
        start = end + 1;
    }
    return false;
}

bool IsHiddenName(MSIHANDLE hInstall, std::wstring_view name) {
    return IsLibrarySecret(name) || NamesPassword(name) || ListedAsHidden(hInstall, name);
}

}  // namespace

const char* WcaGetActionName() { return g_layer.depth > 0 ? g_layer.outer[0].logName : g_layer.logName; }

bool WcaIsHiddenProperty(MSIHANDLE hInstall, LPCWSTR name) {
    if (IsEmpty(name)) return false;
    if (IsHiddenName(hInstall, name)) return true;
    // A deferred action's data is the property named after the action.
    return std::wstring_view(name) == L"CustomActionData" && IsHiddenName(hInstall, FromAnsi(WcaGetActionName()));
}

bool WcaIsPropertySet(const char* name) {
    if (!name || !*name) return false;
    char empty[1] = "";
    DWORD size = 0;
    const UINT er = ::MsiGetPropertyA(g_layer.install, name, empty, &size);
    return (er == ERROR_MORE_DATA || er == ERROR_SUCCESS) && size > 0;
}

// ---- Views and records ----

HRESULT WcaOpenView(LPCWSTR query, MSIHANDLE* view) {
    if (IsEmpty(query) || !view) return E_INVALIDARG;
    const HRESULT hr = HrFromInstallerError(::MsiDatabaseOpenViewW(LayerDatabase(), query, view));
    if (FAILED(hr)) WcaLogError(hr, "failed to open view on database with SQL: %S", query);
    return hr;
}

HRESULT WcaExecuteView(MSIHANDLE view, MSIHANDLE record) {
    if (!view) return E_INVALIDARG;
    const HRESULT hr = HrFromInstallerError(::MsiViewExecute(view, record));
    if (FAILED(hr)) WcaLogError(hr, "failed to execute view");
    return hr;
}

HRESULT WcaOpenExecuteView(LPCWSTR query, MSIHANDLE* view) {
    if (IsEmpty(query) || !view) return E_INVALIDARG;
    HRESULT hr = HrFromInstallerError(::MsiDatabaseOpenViewW(LayerDatabase(), query, view));
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to open view on database");
        return hr;
    }
    hr = HrFromInstallerError(::MsiViewExecute(*view, 0));
    if (FAILED(hr)) WcaLogError(hr, "failed to execute view");
    return hr;
}

HRESULT WcaFetchRecord(MSIHANDLE view, MSIHANDLE* record) {
    if (!view || !record) return E_INVALIDARG;
    const HRESULT hr = HrFromInstallerError(::MsiViewFetch(view, record));
    if (FAILED(hr) && hr != kHrNoMoreItems) WcaLogError(hr, "failed to fetch record from view");
    return hr;
}

HRESULT WcaGetRecordInteger(MSIHANDLE record, UINT field, int* value) {
    if (!record || !value) return E_INVALIDARG;
    *value = ::MsiRecordGetInteger(record, field);
    return *value == static_cast<int>(MSI_NULL_INTEGER) ? S_FALSE : S_OK;
}

HRESULT WcaGetRecordString(MSIHANDLE record, UINT field, LPWSTR* value) {
    if (!record || !value) return E_INVALIDARG;
    auto getter = [&](LPWSTR buffer, DWORD* size) { return ::MsiRecordGetStringW(record, field, buffer, size); };
    return ReadGrowing(value, getter, "Failed to get previous size of string",
                       "Failed to allocate memory for record string", "Failed to get string from record", L"");
}

HRESULT WcaGetRecordFormattedString(MSIHANDLE record, UINT field, LPWSTR* value) {
    if (!record || !value) return E_INVALIDARG;
    ScopedLayerString raw;
    HRESULT hr = WcaGetRecordString(record, field, raw.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to get string from record");
        return hr;
    }
    std::wstring text = raw.str();
    if (text.empty()) return AssignLayerString(value, L"");  // as in WcaGetFormattedString
    ReplaceAll(text, L"[~]", L"!$!");
    UniqueMsiHandle formatRecord(::MsiCreateRecord(1));
    if (!formatRecord) {
        WcaLogError(E_UNEXPECTED, "Failed to create record to format string");
        return E_UNEXPECTED;
    }
    hr = HrFromInstallerError(::MsiRecordSetStringW(formatRecord.get(), 0, text.c_str()));
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to set string to format record");
        return hr;
    }
    const MSIHANDLE install = g_layer.install;
    auto getter = [&](LPWSTR buffer, DWORD* size) {
        return ::MsiFormatRecordW(install, formatRecord.get(), buffer, size);
    };
    hr = ReadGrowing(value, getter, "failed to get max length of string", "Failed to allocate memory for record string",
                     "Failed to format string", L"");
    if (FAILED(hr)) return hr;
    std::wstring formatted = *value;
    ReplaceAll(formatted, L"!$!", L"[~]");
    return AssignLayerString(value, formatted);
}

HRESULT WcaSetRecordString(MSIHANDLE record, UINT field, LPCWSTR value) {
    if (!record || !value) return E_INVALIDARG;
    const HRESULT hr = HrFromInstallerError(::MsiRecordSetStringW(record, field, value));
    if (FAILED(hr)) WcaLogError(hr, "failed to set string in record");
    return hr;
}

// ---- Component state ----

namespace {
bool IsPresent(INSTALLSTATE state) { return state == INSTALLSTATE_LOCAL || state == INSTALLSTATE_SOURCE; }
}  // namespace

bool WcaIsInstalling(INSTALLSTATE installed, INSTALLSTATE action) {
    return IsPresent(action) || (action == INSTALLSTATE_DEFAULT && IsPresent(installed));
}

bool WcaIsUninstalling(INSTALLSTATE installed, INSTALLSTATE action) {
    return (action == INSTALLSTATE_ABSENT || action == INSTALLSTATE_ADVERTISED) && IsPresent(installed);
}

// ---- Temporary rows ----

namespace {

HRESULT OpenTempView(LPCWSTR tableName, MSIHANDLE* tableView) {
    const std::wstring query = FormatWide(L"SELECT * FROM `%s`", tableName);
    HRESULT hr = HrFromInstallerError(::MsiDatabaseOpenViewW(LayerDatabase(), query.c_str(), tableView));
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to open view on database");
    } else {
        hr = HrFromInstallerError(::MsiViewExecute(*tableView, 0));
        if (FAILED(hr)) WcaLogError(hr, "failed to execute view");
    }
    if (FAILED(hr)) WcaLogError(hr, "failed to openexecute temp view with query %S", query.c_str());
    return hr;
}

std::wstring ColumnType(MSIHANDLE columnTypes, UINT column, HRESULT& hr) {
    ScopedLayerString type;
    hr = WcaGetRecordString(columnTypes, column, type.put());
    if (FAILED(hr)) WcaLogError(hr, "failed to get the data type for %d", column);
    return type.str();
}

// Sets one field from the next variable argument, typed by the column.
HRESULT SetTempField(MSIHANDLE record, MSIHANDLE columnTypes, UINT column, UINT uniqueColumn, va_list& args) {
    HRESULT hr = S_OK;
    const std::wstring type = ColumnType(columnTypes, column, hr);
    if (FAILED(hr)) return hr;
    const wchar_t kind = type.empty() ? L'\0' : type[0];
    switch (kind) {
    case L's': case L'S': case L'g': case L'G': case L'l': case L'L': {
        const wchar_t* text = va_arg(args, const wchar_t*);
        std::wstring value = text ? text : L"";
        if (column == uniqueColumn) value = FormatWide(L"%s%u", value.c_str(), ++g_layer.seed);
        hr = HrFromInstallerError(::MsiRecordSetStringW(record, column, value.c_str()));
        if (FAILED(hr)) WcaLogError(hr, "failed to set string value at position %d", column);
        return hr;
    }
    case L'i': case L'I': case L'j': case L'J': {
        const int number = va_arg(args, int);
        hr = HrFromInstallerError(::MsiRecordSetInteger(record, column, number));
        if (FAILED(hr)) WcaLogError(hr, "failed to set integer value at position %d", column);
        return hr;
    }
    default:
        WcaLogError(kHrDatatypeMismatch, "unsupported data type '%S' in column: %d", type.c_str(), column);
        return kHrDatatypeMismatch;
    }
}

void LogInsertFailure(MSIHANDLE view, HRESULT hr) {
    wchar_t column[256] = L"";
    DWORD size = 256;
    const MSIDBERROR dbError = ::MsiViewGetErrorW(view, column, &size);
    WcaLogError(hr, "failed to add temporary row, dberr: %d, err: %S", static_cast<int>(dbError), column);
}

}  // namespace

HRESULT WcaAddTempRecord(MSIHANDLE* tableView, MSIHANDLE* columnTypes, LPCWSTR tableName, UINT uniqueColumn,
                         UINT columnCount, ...) {
    if (!tableView || !columnTypes || IsEmpty(tableName) || columnCount == 0) return E_INVALIDARG;
    if (!g_layer.seeded) {
        g_layer.seed = platform::Api().GetTickCount();
        g_layer.seeded = true;
    }
    HRESULT hr = S_OK;
    if (*tableView == 0 && FAILED(hr = OpenTempView(tableName, tableView))) return hr;
    if (*columnTypes == 0) {
        hr = HrFromInstallerError(::MsiViewGetColumnInfo(*tableView, MSICOLINFO_TYPES, columnTypes));
        if (FAILED(hr)) {
            WcaLogError(hr, "failed to columns for table: %S", tableName);
            return hr;
        }
    }
    UniqueMsiHandle record(::MsiCreateRecord(columnCount));
    if (!record) {
        WcaLogError(E_UNEXPECTED, "could not create temp record for table: %S", tableName);
        return E_UNEXPECTED;
    }
    va_list args;
    va_start(args, columnCount);
    for (UINT column = 1; column <= columnCount && SUCCEEDED(hr); ++column)
        hr = SetTempField(record.get(), *columnTypes, column, uniqueColumn, args);
    va_end(args);
    if (FAILED(hr)) return hr;
    hr = HrFromInstallerError(::MsiViewModify(*tableView, MSIMODIFY_INSERT_TEMPORARY, record.get()));
    if (FAILED(hr)) LogInsertFailure(*tableView, hr);
    return hr;
}

// ---- Deferred actions ----

HRESULT WcaDoDeferredAction(LPCWSTR actionName, LPCWSTR customActionData, UINT cost) {
    if (IsEmpty(actionName)) return E_INVALIDARG;
    if (!IsEmpty(customActionData)) {
        const HRESULT hr = HrFromInstallerError(::MsiSetPropertyW(g_layer.install, actionName, customActionData));
        if (FAILED(hr)) {
            WcaLogError(hr, "Failed to set CustomActionData for deferred action");
            return hr;
        }
    }
    if (cost != 0) {
        UniqueMsiHandle record(::MsiCreateRecord(3));
        ::MsiRecordSetInteger(record.get(), 1, 3);
        ::MsiRecordSetInteger(record.get(), 2, static_cast<int>(cost));
        ::MsiRecordSetInteger(record.get(), 3, 0);
        WcaProcessMessage(INSTALLMESSAGE_PROGRESS, record.get());
    }
    const HRESULT hr = HrFromInstallerError(::MsiDoActionW(g_layer.install, actionName));
    if (FAILED(hr)) WcaLogError(hr, "Failed MsiDoAction on deferred action");
    return hr;
}

// ---- Installer log ----

namespace {

// The text in a field, not as the template: the engine would format it.
void SendLogText(const char* text) {
    UniqueMsiHandle record(::MsiCreateRecord(1));
    if (!record) return;
    ::MsiRecordSetStringA(record.get(), 0, "[1]");
    ::MsiRecordSetStringA(record.get(), 1, text);
    WcaProcessMessage(INSTALLMESSAGE_INFO, record.get());
}

void WriteLogLine(LogLevel level, const char* format, va_list args) noexcept {
    if (g_layer.inLog) return;
    g_layer.inLog = true;
    const bool writes = level == LOGMSG_STANDARD || (level == LOGMSG_VERBOSE && WcaIsVerboseLogging());
    if (writes) {
        char effective[kLogBufferBytes];
        if (g_layer.logName[0]) {
            std::snprintf(effective, sizeof effective, "%s:  %s", g_layer.logName, format);
        } else {
            std::strncpy(effective, format, sizeof effective - 1);
            effective[sizeof effective - 1] = '\0';
        }
        char text[kLogBufferBytes];
        try {
            FormatNarrowInto(text, sizeof text, effective, args);
        } catch (...) {
            std::strcpy(text, "(out of memory formatting a log line)");
        }
        SendLogText(text);
    }
    g_layer.inLog = false;
}

}  // namespace

void WcaLog(LogLevel level, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    WriteLogLine(level, format, args);
    va_end(args);
}

void WcaLogError(HRESULT hr, const char* format, ...) noexcept {
    if (!g_layer.attached) return;
    va_list args;
    va_start(args, format);
    try {
        const std::string message = FormatNarrowV(format, args);
        WcaLog(LOGMSG_STANDARD, "Error 0x%x: %s", static_cast<unsigned>(hr), message.c_str());
    } catch (...) {
        WcaLog(LOGMSG_STANDARD, "Error 0x%x: (out of memory formatting the message)", static_cast<unsigned>(hr));
    }
    va_end(args);
}

bool WcaIsVerboseLogging() {
    if (g_layer.verbose == Verbosity::Unknown)
        g_layer.verbose = WcaIsPropertySet("LOGVERBOSE") || PolicyAsksForVerboseLog() ? Verbosity::On : Verbosity::Off;
    return g_layer.verbose == Verbosity::On;
}

int WcaProcessMessage(INSTALLMESSAGE messageType, MSIHANDLE record) {
    return ::MsiProcessMessage(g_layer.install, messageType, record);
}

}  // namespace ondex::runtime
