#include "system/local_groups.h"

#include <lm.h>
#include <sddl.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/deferred_data.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "system/local_groups_text.h"

namespace ondex::system {

using platform::Api;
using platform::UniqueMsiHandle;
using runtime::AssertBox;
using runtime::GetTracerFlags;
using runtime::LogTimestamped;
using runtime::TraceIf;
using runtime::WcaLogError;

namespace {

// ---- The logoff mark ----

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Ondex\\Setup";
constexpr wchar_t kLogoffValue[] = L"IsNeedLogoff";

// Marks that the user must log off for a new membership to take effect.
bool setLogoffNeeded(MSIHANDLE hInstall) {
    platform::UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        LogTimestamped(hInstall, L"Create/Open registry key failed.");
        return false;
    }
    const DWORD needed = 1;
    const LSTATUS status =
        ::RegSetValueExW(key.get(), kLogoffValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&needed), sizeof needed);
    key.reset();
    if (status != ERROR_SUCCESS) {
        LogTimestamped(hInstall, L"Set value of registry key failed.");
        return false;
    }
    return true;
}

void ClearLogoffMark(MSIHANDLE hInstall) {
    platform::UniqueHKey key;
    constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, kAccess, key.put()) != ERROR_SUCCESS) {
        LogTimestamped(hInstall, L"Open registry key failed.");
        return;
    }
    if (::RegDeleteValueW(key.get(), kLogoffValue) != ERROR_SUCCESS)
        LogTimestamped(hInstall, L"Delete value from registry key failed.");
}

// ---- Reading the table ----

struct LocalGroupRow {
    MSIHANDLE hInstall = 0;
    std::wstring localGroup, component, name, description, parentGroup;
    std::uint32_t attributes = 0;
    std::wstring resultProperty;
    INSTALLSTATE installed = INSTALLSTATE_UNKNOWN;
    INSTALLSTATE action = INSTALLSTATE_UNKNOWN;

    GroupRequest Request() const { return {name, description, parentGroup, attributes}; }
};

constexpr wchar_t kLocalGroupQuery[] =
    L"SELECT `LocalGroup`, `Component_`, `Name`, `Description`, `ParentGroup`, `Attributes`, `ResultProperty` "
    L"FROM `LocalGroup` ORDER BY `LocalGroup`";

HRESULT ReadString(MSIHANDLE record, UINT field, std::wstring& value, const char* failure) {
    runtime::ScopedLayerString text;
    const HRESULT hr = runtime::WcaGetRecordString(record, field, text.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "%s", failure);
        return hr;
    }
    value = text.str();
    return hr;
}

HRESULT ReadRow(MSIHANDLE record, LocalGroupRow& row) {
    struct Column {
        std::wstring* value;
        const char* failure;
    };
    const Column before[] = {{&row.localGroup, "failed to get LocalGroup record  LocalGroup"},
                             {&row.component, "failed to get LocalGroup record Component_"},
                             {&row.name, "failed to get LocalGroup record Name"},
                             {&row.description, "failed to get LocalGroup record Description"},
                             {&row.parentGroup, "failed to get LocalGroup record ParentGroup"}};
    UINT field = 1;
    for (const Column& column : before) {
        const HRESULT hr = ReadString(record, field++, *column.value, column.failure);
        if (FAILED(hr)) return hr;
    }
    // A null cell reads as the installer's null integer: no low bit set.
    int attributes = 0;
    const HRESULT hr = runtime::WcaGetRecordInteger(record, field++, &attributes);
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to get LocalGroup record Attributes");
        return hr;
    }
    row.attributes = static_cast<std::uint32_t>(attributes);
    return ReadString(record, field, row.resultProperty, "failed to get LocalGroup record ResultProperty");
}

bool Selected(const LocalGroupRow& row, bool installing) {
    return installing ? runtime::WcaIsInstalling(row.installed, row.action)
                      : runtime::WcaIsUninstalling(row.installed, row.action);
}

// Appends the rows whose component is being installed (or removed), in key order.
HRESULT readLocalGroup(MSIHANDLE hInstall, std::vector<LocalGroupRow>& rows, bool installing) {
    UniqueMsiHandle view;
    HRESULT hr = runtime::WcaOpenExecuteView(kLocalGroupQuery, view.put());
    if (FAILED(hr)) {
        WcaLogError(hr, "failed to open view on LocalGroup table");
        return hr;
    }
    std::vector<LocalGroupRow> kept;
    UniqueMsiHandle record;
    while (SUCCEEDED(hr = runtime::WcaFetchRecord(view.get(), record.put()))) {
        LocalGroupRow row;
        row.hInstall = hInstall;
        hr = ReadRow(record.get(), row);
        if (FAILED(hr)) return hr;
        hr = runtime::HrFromInstallerError(
            ::MsiGetComponentStateW(hInstall, row.component.c_str(), &row.installed, &row.action));
        if (FAILED(hr)) {
            WcaLogError(hr, "failed to get Component state for LocalGroup");
            break;
        }
        if (Selected(row, installing)) kept.push_back(std::move(row));
    }
    if (hr != runtime::kHrNoMoreItems) {
        WcaLogError(hr, "failed while looping through all objects in LocalGroup table");
        return hr;
    }
    std::vector<std::wstring> keys;
    for (const auto& row : kept) keys.push_back(row.localGroup);
    for (std::size_t index : SelectionOrder(keys)) rows.push_back(std::move(kept[index]));
    return S_OK;
}

void LogTableError(HRESULT hr) {
    runtime::WcaLog(runtime::LOGMSG_STANDARD, "Error 0x%X while reading `LocalGroup` table.",
                    static_cast<unsigned>(hr));
}

// ---- Creating one group ----

// Where reports go and whether a changed membership is marked.
struct PerformContext {
    MSIHANDLE hInstall;
    UINT flags;
    const wchar_t* scope;
    bool markLogoff;
};

enum class GroupOutcome { Done, Stopped, ParentFailed };

// Stops the pass when the row demands a group it does not create.
bool isGroupAlreadyExisting(const GroupRequest& request) {
    if (!GroupTakenAsMissing(request.attributes)) return true;
    WcaLogError(runtime::kHrNoMoreItems, "Local group \"%S\" doesn't exist.", request.name.c_str());
    return false;
}

void AddInstallingUser(const GroupRequest& request, const PerformContext& context) {
    const std::wstring sidText = runtime::MsiProperty(context.hInstall, L"UserSID").Str();
    // Windows refuses an empty SID text; some implementations make a null SID of it.
    PSID converted = nullptr;
    if (sidText.empty() || !::ConvertStringSidToSidW(sidText.c_str(), &converted)) return;
    platform::UniqueLocalMemory sid;
    sid.reset(converted);
    LOCALGROUP_MEMBERS_INFO_0 member{converted};
    const NET_API_STATUS status = Api().NetLocalGroupAddMembers(nullptr, request.name.c_str(), 0,
                                                                reinterpret_cast<LPBYTE>(&member), 1);
    if (status == NERR_Success && context.markLogoff) setLogoffNeeded(context.hInstall);
}

// Creates the group, nests it into its parent and adds the installing account,
// as the attributes say.
GroupOutcome PerformGroup(const GroupRequest& request, const PerformContext& context) {
    const bool required = (request.attributes & LGA_CREATE_REQUIRED) != 0;
    if (request.attributes & LGA_CREATE) {
        LOCALGROUP_INFO_1 info{const_cast<LPWSTR>(request.name.c_str()),
                               const_cast<LPWSTR>(request.description.c_str())};
        const NET_API_STATUS status = Api().NetLocalGroupAdd(nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr);
        if (status == NERR_Success) {
            if (context.markLogoff) setLogoffNeeded(context.hInstall);
        } else if (status != NERR_GroupExists && status != ERROR_ALIAS_EXISTS && required) {
            AssertBox(context.flags, context.scope, L"Perform group creation", L"Error creating group: %s",
                      request.name.c_str());
            return GroupOutcome::Stopped;
        }
    }
    if (!request.parentGroup.empty()) {
        LOCALGROUP_MEMBERS_INFO_3 member{const_cast<LPWSTR>(request.name.c_str())};
        const NET_API_STATUS status = Api().NetLocalGroupAddMembers(nullptr, request.parentGroup.c_str(), 3,
                                                                    reinterpret_cast<LPBYTE>(&member), 1);
        if (status != NERR_Success && status != ERROR_MEMBER_IN_ALIAS && (request.attributes & LGA_PARENT_REQUIRED)) {
            AssertBox(context.flags, context.scope, L"AddUserToGroup", L"Failed adding local group: %s\nError: %i",
                      request.name.c_str(), static_cast<int>(status));
            return GroupOutcome::ParentFailed;
        }
    }
    if (request.attributes & LGA_ADD_USER) AddInstallingUser(request, context);
    return GroupOutcome::Done;
}

// ---- The passes over the selected rows ----

constexpr wchar_t kExecuteScope[] = L"executeCreateLocalGroups";

// One deferred CreateGroup per row, until a row demands a missing group.
void ScheduleCreateGroups(const std::vector<LocalGroupRow>& rows) {
    const UINT flags = GetTracerFlags("INTF_executeCreateLocalGroups");
    for (const LocalGroupRow& row : rows) {
        const GroupRequest request = row.Request();
        if (!isGroupAlreadyExisting(request)) return;
        std::wstring data;
        try {
            data = WriteCreateGroupData(request);
        } catch (const std::bad_alloc&) {
            AssertBox(flags, kExecuteScope, L"Store deferred CA data", L"Error allocating buffer szDeferredExecData[%i]",
                      static_cast<int>(CreateGroupDataCapacity(request)));
            return;
        }
        const HRESULT hr = runtime::WcaDoDeferredAction(kCreateGroupName, data.c_str(), 3680);
        TraceIf(flags, runtime::TF_TRACE, kExecuteScope, L"WcaDoDeferredAction", L"WcaDoDeferredAction Result: 0x%X",
                static_cast<unsigned>(hr));
    }
}

// Creates the groups at once; E_FAIL when a required nesting failed.
HRESULT PerformCreateGroups(MSIHANDLE hInstall, const std::vector<LocalGroupRow>& rows) {
    const PerformContext context{hInstall, GetTracerFlags("INTF_executeCreateLocalGroups"), kExecuteScope, true};
    for (const LocalGroupRow& row : rows) {
        const GroupRequest request = row.Request();
        if (!isGroupAlreadyExisting(request)) return S_OK;
        switch (PerformGroup(request, context)) {
            case GroupOutcome::Done: break;
            case GroupOutcome::Stopped: return S_OK;
            case GroupOutcome::ParentFailed: return E_FAIL;
        }
    }
    return S_OK;
}

// ---- The deferred side ----

enum class DeferredRead { Ok, WrongFunction, MissingField };

// Checks the function name and reads the fields; the reader reports failures.
DeferredRead ReadRequest(wchar_t* data, UINT flags, const wchar_t* actionName, GroupRequest& request) {
    wchar_t* context = data;
    if (!runtime::ReadFunctionName(context, kCreateGroupName, flags, actionName)) return DeferredRead::WrongFunction;
    const runtime::TokenReport report{flags, actionName};
    const TokenSource next = [&context, &report](const wchar_t* tokenName) -> const wchar_t* {
        const wchar_t* nameRead = nullptr;
        wchar_t* value = nullptr;
        return SUCCEEDED(runtime::deserializeNxtToken(tokenName, nameRead, value, context, &report)) ? value : nullptr;
    };
    if (ReadGroupFields(next, request) != nullptr) return DeferredRead::MissingField;
    TraceIf(flags, runtime::TF_TRACE, actionName, L"Getting deferred CA data complete ",
            L"Performing actual execution of deferred CA ");
    return DeferredRead::Ok;
}

}  // namespace

void CreateLocalGroupsImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    std::vector<LocalGroupRow> rows;
    const HRESULT hr = readLocalGroup(hInstall, rows, true);
    if (FAILED(hr)) return LogTableError(hr);
    ScheduleCreateGroups(rows);
}

void CreateLocalGroupsImmediateImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    ClearLogoffMark(hInstall);
    std::vector<LocalGroupRow> rows;
    HRESULT hr = readLocalGroup(hInstall, rows, true);
    if (FAILED(hr)) return LogTableError(hr);
    hr = PerformCreateGroups(hInstall, rows);
    if (FAILED(hr)) WcaLogError(hr, "failed to add/remove `CreateLocalGroups` actions");
}

void RemoveLocalGroupsImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    std::vector<LocalGroupRow> rows;
    const HRESULT hr = readLocalGroup(hInstall, rows, false);
    if (FAILED(hr)) return LogTableError(hr);
    // executeRemoveLocalGroups: groups are never removed; only its trace scope remains.
    GetTracerFlags("INTF_executeRemoveLocalGroups");
}

void CreateGroupImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    std::unique_ptr<wchar_t[]> data;
    size_t length = 0;
    if (runtime::InitDeferredCAData(hInstall, data, length) != ERROR_SUCCESS) {
        AssertBox(flags, actionName, L"Error calling InitDeferredCAData", L"cchCAData = %i", static_cast<int>(length));
        result = ERROR_INSTALL_FAILURE;
        return;
    }
    GroupRequest request;
    switch (ReadRequest(data.get(), flags, actionName, request)) {
        case DeferredRead::WrongFunction: result = ERROR_INSTALL_FAILURE; return;
        case DeferredRead::MissingField: return;
        case DeferredRead::Ok: break;
    }
    // A stop ends the action with success; the deferred run never marks a logoff.
    PerformGroup(request, {hInstall, flags, actionName, false});
}

void RemoveGroupImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    std::unique_ptr<wchar_t[]> data;
    size_t length = 0;
    runtime::InitDeferredCAData(hInstall, data, length);  // missing data shows as a missing function name
    GroupRequest request;
    switch (ReadRequest(data.get(), flags, actionName, request)) {
        case DeferredRead::WrongFunction: result = ERROR_INSTALL_FAILURE; return;
        case DeferredRead::MissingField: return;
        case DeferredRead::Ok: break;
    }
    TraceIf(flags, runtime::TF_ERROR, actionName, L"Perform group removal", L"NOT IMPLEMENTED!");
}

}  // namespace ondex::system
