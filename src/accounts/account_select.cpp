#include "accounts/account_select.h"

#include <cstddef>
#include <cwchar>

#include "accounts/account_select_text.h"
#include "platform/com.h"
#include "accounts/local_computer.h"
#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::accounts {

namespace {

using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr DWORD kComputerNameChars = 24;
constexpr DWORD kMostUsers = 100;
constexpr DWORD kPickedBufferChars = kPickedNameChars + 1;

wchar_t SystemCaseFold(wchar_t c) {
    ::CharUpperBuffW(&c, 1);
    return c;
}

// Offers each account as a ComboBox row (Order 1, 2, …); a failed row does
// not stop the walk.
void OfferAccounts(const std::vector<std::wstring>& accounts, const wchar_t* actionName, UINT flags) {
    platform::UniqueMsiHandle view, columns;  // kept across the rows, closed at the end
    MSIHANDLE* const viewSlot = view.put();
    MSIHANDLE* const columnsSlot = columns.put();
    int order = 1;
    for (const std::wstring& account : accounts) {
        TraceIf(flags, TF_TRACE, actionName, L"Before WcaAddTempRecord", L"Adding \"%s\" to ComboBox table",
                account.c_str());
        const HRESULT hr = runtime::WcaAddTempRecord(viewSlot, columnsSlot, L"ComboBox", 0, 3, kAccountProperty,
                                                     order++, account.c_str());
        TraceIf(flags, TF_TRACE, actionName, L"After WcaAddTempRecord", L"hResult = %i", static_cast<int>(hr));
    }
}

// Frees a storage medium that GetData filled.
class UniqueStgMedium {
public:
    UniqueStgMedium() = default;
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
    ~UniqueStgMedium() { ::ReleaseStgMedium(&medium_); }
    STGMEDIUM* put() { return &medium_; }
    const STGMEDIUM& get() const { return medium_; }

private:
    STGMEDIUM medium_{};  // TYMED_NULL: nothing to release
};

// Keeps a global block locked for the scope.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) : block_(block), data_(block ? ::GlobalLock(block) : nullptr) {}
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    ~GlobalLockScope() {
        if (data_) ::GlobalUnlock(block_);
    }
    const void* data() const { return data_; }
    SIZE_T size() const { return data_ ? ::GlobalSize(block_) : 0; }

private:
    HGLOBAL block_;
    void* data_;
};

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

// A picked user's SAM-compatible name: its UPN, else its ADsPath, translated
// by the system; failing that, the name its ADsPath gives.
std::wstring AccountNameOf(const DS_SELECTION& selected) {
    const bool hasUpn = *OrEmpty(selected.pwzUPN) != L'\0';
    const wchar_t* source = hasUpn ? selected.pwzUPN : OrEmpty(selected.pwzADsPath);
    wchar_t name[kPickedBufferChars] = L"";
    ULONG size = kPickedBufferChars;
    if (platform::Api().TranslateNameW(source, hasUpn ? NameUserPrincipal : NameDnsDomain, NameSamCompatible, name,
                                       &size))
        return std::wstring(name, ::wcsnlen(name, kPickedNameChars));
    return UntranslatedAccountName(OrEmpty(selected.pwzADsPath));
}

// The users of a selection list in its order; the item count is held to
// what the block can carry.
std::vector<std::wstring> UsersOf(const GlobalLockScope& locked) {
    constexpr SIZE_T kHeader = offsetof(DS_SELECTION_LIST, aDsSelection);
    std::vector<std::wstring> users;
    if (locked.size() < kHeader) return users;
    const auto* list = static_cast<const DS_SELECTION_LIST*>(locked.data());
    const SIZE_T fitting = (locked.size() - kHeader) / sizeof(DS_SELECTION);
    const SIZE_T count = list->cItems < fitting ? list->cItems : fitting;
    for (SIZE_T index = 0; index < count; ++index) {
        const DS_SELECTION& selected = list->aDsSelection[index];
        if (!IsUserClass(OrEmpty(selected.pwzClass))) continue;
        if (std::wstring name = AccountNameOf(selected); !name.empty()) users.push_back(std::move(name));
    }
    return users;
}

std::vector<std::wstring> ReadSelection(IDataObject* selection) {
    FORMATETC format{static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(CFSTR_DSOP_DS_SELECTION_LIST)), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    UniqueStgMedium medium;
    if (FAILED(selection->GetData(&format, medium.put())) || medium.get().tymed != TYMED_HGLOBAL) return {};
    const GlobalLockScope locked(medium.get().hGlobal);
    return UsersOf(locked);
}

}  // namespace

std::vector<std::wstring> EnumerateLocalUsers() {
    const std::wstring computer = ComputerName(kComputerNameChars);
    platform::UniqueNetBuffer buffer;
    DWORD count = 0;
    const NET_API_STATUS status = platform::Api().NetQueryDisplayInformation(
        nullptr, 1, 0, kMostUsers, MAX_PREFERRED_LENGTH, &count, reinterpret_cast<PVOID*>(buffer.put()));
    std::vector<std::wstring> users;
    // A full first page (more entries waiting) is used as it is.
    if ((status != NERR_Success && status != ERROR_MORE_DATA) || !buffer) return users;
    const auto* entries = reinterpret_cast<const NET_DISPLAY_USER*>(buffer.get());
    for (DWORD index = 0; index < count && index < kMostUsers; ++index)
        if (!(entries[index].usri1_flags & UF_ACCOUNTDISABLE))
            users.push_back(computer + L"\\" + OrEmpty(entries[index].usri1_name));
    return users;
}

std::optional<std::wstring> GetCurrentUserEntry() {
    ULONG size = 0;
    ::GetUserNameExW(NameSamCompatible, nullptr, &size);
    if (size == 0) return std::nullopt;
    std::wstring name(size, L'\0');
    if (!::GetUserNameExW(NameSamCompatible, name.data(), &size)) return std::nullopt;
    name.resize(size);
    return name;
}

HRESULT initObjectPicker(IDsObjectPicker* picker) {
    static_assert(sizeof(DSOP_SCOPE_INIT_INFO) == 56 && sizeof(DSOP_INIT_INFO) == 48, "the 64-bit records");
    DSOP_SCOPE_INIT_INFO scope{};
    scope.cbSize = sizeof scope;
    scope.flType = DSOP_SCOPE_TYPE_TARGET_COMPUTER | DSOP_SCOPE_TYPE_UPLEVEL_JOINED_DOMAIN |
                   DSOP_SCOPE_TYPE_DOWNLEVEL_JOINED_DOMAIN | DSOP_SCOPE_TYPE_ENTERPRISE_DOMAIN |
                   DSOP_SCOPE_TYPE_GLOBAL_CATALOG | DSOP_SCOPE_TYPE_EXTERNAL_UPLEVEL_DOMAIN |
                   DSOP_SCOPE_TYPE_EXTERNAL_DOWNLEVEL_DOMAIN | DSOP_SCOPE_TYPE_USER_ENTERED_UPLEVEL_SCOPE |
                   DSOP_SCOPE_TYPE_USER_ENTERED_DOWNLEVEL_SCOPE;
    scope.flScope = DSOP_SCOPE_FLAG_STARTING_SCOPE | DSOP_SCOPE_FLAG_WANT_PROVIDER_WINNT |
                    DSOP_SCOPE_FLAG_DEFAULT_FILTER_USERS | DSOP_SCOPE_FLAG_DEFAULT_FILTER_GROUPS;
    scope.FilterFlags.Uplevel.flBothModes = DSOP_FILTER_USERS;
    scope.FilterFlags.Uplevel.flMixedModeOnly = DSOP_FILTER_USERS;
    scope.FilterFlags.Uplevel.flNativeModeOnly = DSOP_FILTER_USERS;
    scope.FilterFlags.flDownlevel = DSOP_DOWNLEVEL_FILTER_USERS;
    DSOP_INIT_INFO init{};
    init.cbSize = sizeof init;
    init.cDsScopeInfos = 1;
    init.aDsScopeInfos = &scope;
    init.flOptions = DSOP_FLAG_SKIP_TARGET_COMPUTER_DC_CHECK;  // single selection
    const HRESULT hr = picker->Initialize(&init);
    const UINT flags = runtime::GetTracerFlags("INTF_initObjectPicker");
    const std::wstring scopeResults = runtime::FormatWide(L"[%i] hr = 0x%X\n", 0, static_cast<unsigned>(scope.hr));
    TraceIf(flags, TF_TRACE, L"initObjectPicker", L"Initialize", L"Each scope HRs:\n%s", scopeResults.c_str());
    TraceIf(flags, TF_TRACE, L"initObjectPicker", L"Initialize", L"Final HR: 0x%X", static_cast<unsigned>(hr));
    return hr;
}

std::optional<std::wstring> PickUserAccount() {
    platform::ComPtr<IDsObjectPicker> picker;
    if (FAILED(::CoCreateInstance(CLSID_DsObjectPicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDsObjectPicker,
                                  picker.put_void())) ||
        FAILED(initObjectPicker(picker.get())))
        return std::nullopt;
    const HWND parent = platform::Api().FindWindowW(kInstallerDialogClass, nullptr);
    platform::ComPtr<IDataObject> selection;
    if (picker->InvokeDialog(parent, selection.put()) != S_OK || !selection) return std::nullopt;
    const std::vector<std::wstring> users = ReadSelection(selection.get());
    if (users.empty()) return std::nullopt;
    return users.front();
}

void PopulateUserAccountsImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty(hInstall, L"CURRENTACTIONTEXT") = L"Enumerating user accounts";
    std::vector<std::wstring> accounts = EnumerateLocalUsers();
    const std::wstring current = GetCurrentUserEntry().value_or(L"");
    PutCurrentUserFirst(accounts, current, &SystemCaseFold);
    OfferAccounts(accounts, actionName, flags);
    MsiProperty(hInstall, kAccountProperty) = current;
}

void DoObjSelDlgImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty pickResult(hInstall, L"CredUIDialogPickAccountResult"), account(hInstall, kAccountProperty),
        password(hInstall, L"CREDUIPASSWORD"), confirmation(hInstall, L"CREDUICONFIRM");
    const auto trace = [&](const wchar_t* title) {  // the passwords are never shown
        TraceIf(flags, TF_TRACE, actionName, title, L"CredUIDialogPickAccountResult=\"%s\"\nCREDUIACCOUNTNAME=\"%s\"",
                pickResult.Str().c_str(), account.Str().c_str());
    };
    trace(L"Before dialog");
    std::optional<std::wstring> picked;
    {
        const platform::ComApartment apartment(COINIT_APARTMENTTHREADED);  // CoInitialize(nullptr)
        if (SUCCEEDED(apartment.Status())) picked = PickUserAccount();
    }
    if (picked) {
        account = *picked;
        password = L"";
        confirmation = L"";
        pickResult = L"OK";
        TraceIf(flags, TF_TRACE, actionName, L"Select OK", L"User selected \"%s\"", picked->c_str());
    } else {
        pickResult = L"CANCEL";
        TraceIf(flags, TF_TRACE, actionName, L"Select CANCEL", L"Do nothing!");
    }
    trace(L"After dialog");
}

}  // namespace ondex::accounts
