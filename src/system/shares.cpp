#include "system/shares.h"

#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include <optional>
#include <vector>

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/win_exception.h"
#include "system/shares_text.h"

namespace ondex::system {

using platform::Api;
using runtime::CWinEExc;
using runtime::LogTimestamped;
using runtime::MsiProperty;

namespace {

constexpr DWORD kDuplicateShare = 2118;  // NERR_DuplicateShare
constexpr DWORD kShareNameNotFound = 2310;  // NERR_NetNameNotFound
constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
constexpr wchar_t kDuplicateNameLine[] = L"Error: such share name is already in use on this server.";

using platform::UniqueNetBuffer;

[[noreturn]] void Fail(const wchar_t* operation, const wchar_t* step, DWORD code) {
    throw CWinEExc(std::wstring(operation) + step, code);
}

// The share's information at `level`, or the query's status.
DWORD QueryShare(const std::wstring& name, DWORD level, UniqueNetBuffer& info) {
    return Api().NetShareGetInfo(nullptr, const_cast<LPWSTR>(name.c_str()), level, info.put());
}

constexpr wchar_t kPathQueryFailed[] = L" NetShareGetInfo failed. Get local path with specified name.";

// Compares the path in a share's level-2 information with the folder.
int ComparePathOf(const UniqueNetBuffer& info, const std::wstring& folder) {
    const auto* share = reinterpret_cast<const SHARE_INFO_2*>(info.get());
    return CompareSharedPath(share->shi2_path ? share->shi2_path : L"", folder);
}

void LogError(MSIHANDLE hInstall, const CWinEExc& error) {
    runtime::LogTimestampedError(hInstall, error.Code(), error.Message().c_str());
}

// The dialog's verdict on CATALOGPATH and CATSHARENAME, logged when negative.
std::wstring ShareFolderVerdict(MSIHANDLE hInstall) {
    const std::wstring folder = MsiProperty(hInstall, L"CATALOGPATH").Str();
    if (const auto rejection = RejectCatalogFolder(folder)) {
        LogTimestamped(hInstall, std::wstring(rejection->logLine).c_str());
        return std::wstring(rejection->verdict);
    }
    const std::wstring name = MsiProperty(hInstall, L"CATSHARENAME").Str();
    if (name.empty()) {
        LogTimestamped(hInstall, L"CATSHARENAME is not found.");
        return L"ERR_PROP";
    }
    try {
        if (CheckShare(folder, name) != kShareOtherFolder) return L"OK";
        LogTimestamped(hInstall, kDuplicateNameLine);
        return L"ERR_DUPLICATE";
    } catch (const CWinEExc& error) {
        LogError(hInstall, error);
        return L"ERR_UNKNOWN";
    }
}

// The deferred data's items when there are exactly `count`; logs and sets
// the result otherwise (an empty text is no error).
std::optional<std::vector<std::wstring>> DeferredItems(MSIHANDLE hInstall, size_t count, UINT& result) {
    const std::wstring data = MsiProperty(hInstall, L"CustomActionData").Str();
    if (data.empty()) {
        LogTimestamped(hInstall, L"CustomActionData is not set.");
        return std::nullopt;
    }
    auto items = SplitItems(data);
    if (items.size() == count) return items;
    LogTimestamped(hInstall, L"Some property is not set.");
    result = ERROR_NOT_FOUND;
    return std::nullopt;
}

constexpr wchar_t kPermissionOperation[] = L"SetShareFolderAdminPermission";

// A descriptor whose DACL lets only the local Administrators read and execute,
// with the SID and ACL it refers to.
class AdminOnlyDescriptor {
public:
    AdminOnlyDescriptor() {
        PSID administrators = nullptr;
        if (!::ConvertStringSidToSidW(kAdministratorsSid, &administrators))
            Fail(kPermissionOperation, L" ConvertStringSidToSid failed.", ::GetLastError());
        sid_.reset(administrators);

        EXPLICIT_ACCESSW access{};
        access.grfAccessPermissions = GENERIC_READ | GENERIC_EXECUTE;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        access.Trustee.ptstrName = static_cast<LPWSTR>(administrators);
        PACL dacl = nullptr;
        if (const DWORD status = ::SetEntriesInAclW(1, &access, nullptr, &dacl))
            Fail(kPermissionOperation, L" SetEntriesInAcl failed.", status);
        dacl_.reset(dacl);

        descriptor_.reset(::LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
        if (!descriptor_) Fail(kPermissionOperation, L" LocalAlloc for SECURITY_DESCRIPTOR failed.", ::GetLastError());
        if (!::InitializeSecurityDescriptor(descriptor_.get(), SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(descriptor_.get(), TRUE, dacl, FALSE))
            Fail(kPermissionOperation, L" InitializeSecurityDescriptor failed.", ::GetLastError());
    }
    PSECURITY_DESCRIPTOR get() const { return descriptor_.get(); }

private:
    platform::UniqueLocalMemory sid_;
    platform::UniqueLocalMemory dacl_;
    platform::UniqueLocalMemory descriptor_;
};

}  // namespace

int CheckShare(const std::wstring& folder, const std::wstring& name) {
    UniqueNetBuffer info;
    const DWORD status = QueryShare(name, 2, info);
    if (status == kShareNameNotFound) return kShareNotFound;
    if (status) Fail(L"CheckShare", kPathQueryFailed, status);
    return ComparePathOf(info, folder);
}

int ShareFolder(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = WithoutTrailingBackslash(folder);
    wchar_t noRemark[] = L"";
    // The share exists only with its descriptor: never a moment open to everyone.
    const AdminOnlyDescriptor descriptor;
    SHARE_INFO_502 share{};
    share.shi502_netname = const_cast<LPWSTR>(name.c_str());
    share.shi502_type = STYPE_DISKTREE;
    share.shi502_remark = noRemark;
    share.shi502_permissions = 0;
    share.shi502_max_uses = static_cast<DWORD>(-1);
    share.shi502_current_uses = 0;
    share.shi502_path = path.data();
    share.shi502_passwd = nullptr;
    share.shi502_security_descriptor = descriptor.get();
    DWORD badParameter = 0;
    const DWORD status = Api().NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&share), &badParameter);
    if (status == NERR_Success) return kShareCreated;
    if (status != kDuplicateShare) Fail(L"ShareFolder", L" NetShareAdd failed.", status);
    UniqueNetBuffer info;
    if (const DWORD query = QueryShare(name, 2, info)) Fail(L"ShareFolder", kPathQueryFailed, query);
    return ComparePathOf(info, folder);
}

void SetShareFolderAdminPermission(const std::wstring& name) {
    const AdminOnlyDescriptor descriptor;
    UniqueNetBuffer info;
    if (const DWORD status = QueryShare(name, 502, info)) Fail(kPermissionOperation, L" NetShareGetInfo failed.", status);
    reinterpret_cast<SHARE_INFO_502*>(info.get())->shi502_security_descriptor = descriptor.get();
    DWORD badParameter = 0;
    if (const DWORD status =
            Api().NetShareSetInfo(nullptr, const_cast<LPWSTR>(name.c_str()), 502, info.get(), &badParameter))
        Fail(kPermissionOperation, L" NetShareSetInfo failed.", status);
}

void CheckShareFolderImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"CheckShareFolderResult");
    result = L"";
    result = ShareFolderVerdict(hInstall);
}

void ShareLocalFolderImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const auto items = DeferredItems(hInstall, 2, result);
    if (!items) return;
    const std::wstring& folder = (*items)[0];
    const std::wstring& name = (*items)[1];
    try {
        const int shared = ShareFolder(folder, name);
        if (shared == kShareOtherFolder) {
            LogTimestamped(hInstall, kDuplicateNameLine);
            result = ERROR_BAD_ENVIRONMENT;
            return;
        }
        // A new share already has its descriptor; one taken over gets it now.
        if (shared == kShareSameFolder) SetShareFolderAdminPermission(name);
    } catch (const CWinEExc& error) {
        LogError(hInstall, error);
        result = error.Code();
    }
}

void DelShareFolderImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const auto items = DeferredItems(hInstall, 1, result);
    if (!items) return;
    Api().NetShareDel(nullptr, const_cast<LPWSTR>((*items)[0].c_str()), 0);
}

}  // namespace ondex::system
