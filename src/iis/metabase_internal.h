#pragma once
// Pieces the metabase layer's files share: a private admin object in its own
// apartment, an owned record, an open key, debug reports and the no-throw
// guard of every operation.
#include <windows.h>
#include <iadmw.h>

#include <string>
#include <string_view>

#include "iis/metabase.h"
#include "platform/com.h"

namespace ondex::iis::detail {

inline constexpr DWORD kReadWrite = METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE;
inline constexpr DWORD kKeyTimeout = 60000;
inline constexpr DWORD kShortKeyTimeout = 5000;
inline constexpr wchar_t kWebRoot[] = L"/LM/W3SVC";

// A debug report at error level under the trace key, shown only when its
// flags ask for it. An abort answer is not passed on: the layer never throws.
void Report(const char* traceKey, const wchar_t* scope, const wchar_t* title, const wchar_t* text) noexcept;
// The same at trace (verbose) level.
void Trace(const char* traceKey, const wchar_t* scope, const wchar_t* text) noexcept;

// The result of `body`, or `onFailure` (last error 8) when it throws.
template <typename Result, typename Body>
Result Guarded(Result onFailure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return onFailure;
    }
}

// COM initialised and an IIS Admin Base Object made for one operation.
class PrivateAdminBase {
public:
    PrivateAdminBase();
    PrivateAdminBase(const PrivateAdminBase&) = delete;
    PrivateAdminBase& operator=(const PrivateAdminBase&) = delete;
    // The failing step's code, or S_OK.
    HRESULT ComStatus() const { return com_.Status(); }
    HRESULT CreateStatus() const { return create_; }
    IMSAdminBaseW* get() const { return admin_.get(); }

private:
    platform::ComApartment com_;
    HRESULT create_ = E_FAIL;
    platform::ComPtr<IMSAdminBaseW> admin_;
};

// A record whose buffer MetaGetValue fills; freed with the object.
struct OwnedRecord {
    OwnedRecord(DWORD identifier, DWORD attributes, DWORD userType, DWORD dataType);
    OwnedRecord(const OwnedRecord&) = delete;
    OwnedRecord& operator=(const OwnedRecord&) = delete;
    ~OwnedRecord() { MetaFreeValue(&record); }

    HRESULT Read(IMSAdminBaseW* admin, const std::wstring& path);
    // The first string of the data, or its first DWORD.
    std::wstring_view Text() const;
    DWORD Dword() const;

    METADATA_RECORD record{};
};

// A metabase key opened by OpenKey; closed with the object unless Close ran.
class OpenedKey {
public:
    OpenedKey(IMSAdminBaseW* admin, LPCWSTR path, DWORD access, DWORD timeout);
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey() { Close(); }
    HRESULT Status() const { return status_; }
    METADATA_HANDLE get() const { return handle_; }
    HRESULT Close();

private:
    IMSAdminBaseW* admin_;
    METADATA_HANDLE handle_ = 0;
    HRESULT status_;
    bool open_ = false;
};

// The InitWamAdmin / UnInitWamAdmin bracket as a scope: Status() is
// InitWamAdmin's code; End() closes it early and gives UnInitWamAdmin's.
class WamAdminScope {
public:
    WamAdminScope() : status_(InitWamAdmin()) {}
    WamAdminScope(const WamAdminScope&) = delete;
    WamAdminScope& operator=(const WamAdminScope&) = delete;
    ~WamAdminScope() { End(); }
    HRESULT Status() const { return status_; }
    HRESULT End() {
        if (!open_) return S_OK;
        open_ = false;
        return UnInitWamAdmin();
    }

private:
    HRESULT status_;
    bool open_ = SUCCEEDED(status_);
};

inline bool NotFound(HRESULT hr) { return hr == kHrDataNotFound || hr == kHrPathNotFound; }

}  // namespace ondex::iis::detail
