// Installer handle wrappers, the error type and the small system helpers.
#include <windows.h>
#include <objbase.h>

#include "setuplib/oxsetuplib.h"

namespace OxSetupLib {

OxMsiString OxWinError::DisplayText() const {
    if (!text_.empty()) return text_;
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code_,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    OxPointerT<wchar_t, OxLocalFreeReleaser<wchar_t>> owner(buffer);
    return length ? OxMsiString(buffer, length) : OxMsiString();
}

void ThrowIfFailed(UINT code) {
    if (code != ERROR_SUCCESS) throw OxWinError(code);
}

void ThrowLastError() { throw OxWinError(::GetLastError()); }

OxMsiObject::~OxMsiObject() { OxMsiObject::Close(); }

void OxMsiObject::Close() {
    if (handle_) ::MsiCloseHandle(handle_);
    handle_ = 0;
}

std::unique_ptr<OxMsiRecord> OxMsiRecord::Create(UINT fields) {
    const MSIHANDLE handle = ::MsiCreateRecord(fields);
    if (!handle) throw OxWinError(ERROR_OUTOFMEMORY);
    return std::make_unique<OxMsiRecord>(handle);
}

void OxMsiRecord::SetString(UINT field, const wchar_t* text) { ThrowIfFailed(::MsiRecordSetStringW(handle_, field, text)); }

OxMsiString OxMsiRecord::GetString(UINT field) const {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    UINT result = ::MsiRecordGetStringW(handle_, field, empty, &size);
    if (result != ERROR_MORE_DATA) ThrowIfFailed(result);
    std::wstring text(size + 1, L'\0');
    size = static_cast<DWORD>(text.size());
    ThrowIfFailed(::MsiRecordGetStringW(handle_, field, text.data(), &size));
    text.resize(size);
    return text;
}

void OxMsiView::Execute(MSIHANDLE parameters) { ThrowIfFailed(::MsiViewExecute(handle_, parameters)); }

bool OxMsiView::Fetch(OxMsiRecord& record) {
    MSIHANDLE row = 0;
    const UINT result = ::MsiViewFetch(handle_, &row);
    if (result == ERROR_NO_MORE_ITEMS) return false;
    ThrowIfFailed(result);
    record.Attach(row);
    return true;
}

void OxMsiView::Close() {
    if (handle_) ::MsiViewClose(handle_);
    OxMsiObject::Close();
}

OxMsiDatabase::OxMsiDatabase(MSIHANDLE session) : OxMsiObject(::MsiGetActiveDatabase(session)) {
    if (!handle_) throw OxWinError(ERROR_INVALID_HANDLE);
}

std::unique_ptr<OxMsiView> OxMsiDatabase::OpenView(const wchar_t* query) const {
    MSIHANDLE view = 0;
    ThrowIfFailed(::MsiDatabaseOpenViewW(handle_, query, &view));
    return std::make_unique<OxMsiView>(view);
}

bool OxMsiEnumBase::Next(OxMsiString& code) {
    wchar_t buffer[39] = {};
    const UINT result = Enumerate(index_, buffer);
    if (result == ERROR_NO_MORE_ITEMS) return false;
    ThrowIfFailed(result);
    ++index_;
    code = buffer;
    return true;
}

UINT OxMsiEnumRelatedProductsWrp::Enumerate(DWORD index, wchar_t* buffer) {
    return ::MsiEnumRelatedProductsW(upgradeCode_.c_str(), 0, index, buffer);
}

UINT OxMsiEnumClientsWrp::Enumerate(DWORD index, wchar_t* buffer) {
    // A component that no product has registered yet simply has no clients.
    const UINT result = ::MsiEnumClientsW(componentCode_.c_str(), index, buffer);
    return result == ERROR_UNKNOWN_COMPONENT ? ERROR_NO_MORE_ITEMS : result;
}

int OxMsiInstall::ProcessMessage(INSTALLMESSAGE type, MSIHANDLE record) {
    const int result = ::MsiProcessMessage(handle_, type, record);
    if (result == -1) throw OxWinError(ERROR_BAD_ARGUMENTS);
    return result;
}

OxRegKeyHelper::OxRegKeyHelper(HKEY root, const wchar_t* subKey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) == ERROR_SUCCESS) key_.Reset(key);
}

DWORD OxRegKeyHelper::ReadDword(const wchar_t* name) const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (!IsOpen() || ::RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                         ERROR_SUCCESS || type != REG_DWORD)
        return 0;
    return value;
}

OxOleInit::OxOleInit() {
    const HRESULT hr = ::CoInitialize(nullptr);
    if (hr == RPC_E_CHANGED_MODE) return;
    if (FAILED(hr)) throw OxWinError(static_cast<DWORD>(hr));
    initialized_ = true;
}

OxOleInit::~OxOleInit() {
    if (initialized_) ::CoUninitialize();
}

OxFindFileWrapper::OxFindFileWrapper(const OxMsiString& pattern) : handle_(::FindFirstFileW(pattern.c_str(), &data_)) {}

bool OxFindFileWrapper::Next() {
    if (::FindNextFileW(handle_.Get(), &data_)) return true;
    if (::GetLastError() == ERROR_NO_MORE_FILES) return false;
    ThrowLastError();
}

}  // namespace OxSetupLib
