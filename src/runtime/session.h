#pragma once
// The installer-session layer: attach and detach, properties, views and
// records on the active database, temporary rows, deferred actions and the
// installer log. Every status is an HRESULT; every failure other than a bad
// argument or the end of a view is logged once through WcaLogError.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

namespace ondex::runtime {

// Status values callers test.
inline constexpr HRESULT kHrBufferTooSmall = static_cast<HRESULT>(0x8007007A);
inline constexpr HRESULT kHrNoMoreItems = static_cast<HRESULT>(0x80070103);
inline constexpr HRESULT kHrDatatypeMismatch = static_cast<HRESULT>(0x8007065D);

// An installer error e > 0 as 0x80070000 | (e & 0xFFFF); 0 stays 0.
HRESULT HrFromInstallerError(UINT error);

// ---- Layer strings: process-heap wide strings owned by the caller. ----
// Allocates (zero-filled) or grows *string to hold `chars` characters.
HRESULT StrAlloc(LPWSTR* string, size_t chars);
// Capacity in characters (block size / 2).
HRESULT StrSize(LPCWSTR string, size_t* chars);
void StrFree(LPWSTR string);
// Copies with truncation into a fixed buffer; 0x8007007A when it did not fit.
HRESULT StrCopyTruncate(LPWSTR destination, size_t capacity, LPCWSTR source);
// Allocates *string and formats into it (starts at 256 characters, doubles).
HRESULT StrAllocFormatted(LPWSTR* string, LPCWSTR format, ...);

// Frees a layer string when the scope ends.
class ScopedLayerString {
public:
    ScopedLayerString() = default;
    ScopedLayerString(const ScopedLayerString&) = delete;
    ScopedLayerString& operator=(const ScopedLayerString&) = delete;
    ~ScopedLayerString() { StrFree(value_); }
    LPWSTR* put() { return &value_; }
    LPWSTR get() const { return value_; }
    std::wstring str() const { return value_ ? value_ : L""; }

private:
    LPWSTR value_ = nullptr;
};

// ---- Attach and detach. An attach inside an attached action keeps the
// outer session; the matching detach gives it back. ----
HRESULT WcaInitialize(MSIHANDLE hInstall, const char* actionLogName);
void WcaFinalize(UINT result);
bool WcaIsAttached();
MSIHANDLE WcaGetInstallHandle();
MSIHANDLE WcaGetDatabaseHandle();
const char* WcaGetLogName();
// The log name of the outermost attach: the running export.
const char* WcaGetActionName();

// ---- Properties. ----
HRESULT WcaGetProperty(LPCWSTR name, LPWSTR* value);
HRESULT WcaGetFormattedProperty(LPCWSTR name, LPWSTR* value);
HRESULT WcaGetFormattedString(LPCWSTR text, LPWSTR* value);
HRESULT WcaSetProperty(LPCWSTR name, LPCWSTR value);
bool WcaIsPropertySet(const char* name);

// ---- Views and records. ----
HRESULT WcaOpenView(LPCWSTR query, MSIHANDLE* view);
HRESULT WcaExecuteView(MSIHANDLE view, MSIHANDLE record);
HRESULT WcaOpenExecuteView(LPCWSTR query, MSIHANDLE* view);
HRESULT WcaFetchRecord(MSIHANDLE view, MSIHANDLE* record);
HRESULT WcaGetRecordInteger(MSIHANDLE record, UINT field, int* value);
HRESULT WcaGetRecordString(MSIHANDLE record, UINT field, LPWSTR* value);
HRESULT WcaGetRecordFormattedString(MSIHANDLE record, UINT field, LPWSTR* value);
HRESULT WcaSetRecordString(MSIHANDLE record, UINT field, LPCWSTR value);

// ---- Component state (INSTALLSTATE values). ----
bool WcaIsInstalling(INSTALLSTATE installed, INSTALLSTATE action);
bool WcaIsUninstalling(INSTALLSTATE installed, INSTALLSTATE action);

// ---- Temporary rows. The variable arguments are one per column, typed by
// the table's own column definitions: LPCWSTR for string columns, int for
// integer columns. The caller keeps and finally closes both handles. ----
HRESULT WcaAddTempRecord(MSIHANDLE* tableView, MSIHANDLE* columnTypes, LPCWSTR tableName, UINT uniqueColumn,
                         UINT columnCount, ...);

// ---- Deferred actions. ----
HRESULT WcaDoDeferredAction(LPCWSTR actionName, LPCWSTR customActionData, UINT cost);

// ---- Installer log. ----
enum LogLevel { LOGMSG_TRACEONLY = 0, LOGMSG_VERBOSE = 1, LOGMSG_STANDARD = 2 };
void WcaLog(LogLevel level, const char* format, ...) noexcept;
void WcaLogError(HRESULT hr, const char* format, ...) noexcept;
bool WcaIsVerboseLogging();
int WcaProcessMessage(INSTALLMESSAGE messageType, MSIHANDLE record);

// Properties whose values never reach a log or trace file: those listed in
// "MsiHiddenProperties", any whose name contains PASSWORD, those the library
// treats as secret ("ShellCommandHidden", "CREDUICONFIRM"), and "CustomActionData" when the
// running action's name is such a name.
bool WcaIsHiddenProperty(MSIHANDLE hInstall, LPCWSTR name);
inline constexpr wchar_t kHiddenValue[] = L"**********";

// Forgets the computed verbose-logging state and the temporary-row seed (tests).
void WcaResetProcessState();

// ---- One session property, read on demand. ----
class MsiProperty {
public:
    MsiProperty(MSIHANDLE hInstall, const wchar_t* name);
    ~MsiProperty();
    MsiProperty(const MsiProperty&) = delete;
    MsiProperty& operator=(const MsiProperty&) = delete;

    // Each read releases the buffer and reads the property afresh.
    const wchar_t* Value();
    std::wstring Str();
    void CopyTo(wchar_t* destination, size_t capacity);
    // Sets the property.
    MsiProperty& operator=(const std::wstring& value);
    // The formatted value (attaches the layer for the call when detached).
    std::wstring Format();
    void freePropValueBuf();

    const std::wstring& Name() const { return name_; }
    DWORD Length() const { return length_; }

private:
    void Read();

    std::wstring name_;
    wchar_t* buffer_ = nullptr;
    DWORD length_ = 0;
    MSIHANDLE hInstall_;
};

// A property value that is wiped from memory when the scope ends.
class SecretValue {
public:
    SecretValue(MSIHANDLE hInstall, const wchar_t* name) : value_(MsiProperty(hInstall, name).Str()) {}
    ~SecretValue() { ::SecureZeroMemory(value_.data(), value_.size() * sizeof(wchar_t)); }
    SecretValue(const SecretValue&) = delete;
    SecretValue& operator=(const SecretValue&) = delete;
    const wchar_t* c_str() const { return value_.c_str(); }
    const std::wstring& str() const { return value_; }

private:
    std::wstring value_;
};

// Attaches the layer for the length of a block.
class WcaInitializer {
public:
    WcaInitializer(MSIHANDLE hInstall, const char* actionLogName);
    ~WcaInitializer() noexcept(false);
    WcaInitializer(const WcaInitializer&) = delete;
    WcaInitializer& operator=(const WcaInitializer&) = delete;

    HRESULT Status() const { return status_; }

private:
    HRESULT status_;
};

}  // namespace ondex::runtime
