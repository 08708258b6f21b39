#include "system/share_double.h"

#include <lm.h>

#include <cwchar>

namespace ondex::test {

namespace {

ShareDouble* g_double = nullptr;

constexpr DWORD kDuplicateShare = 2118;
constexpr DWORD kNameNotFound = 2310;

// A level-502 block (it begins with the level-2 fields) holding the path:
// what the product reads of a share, or passes back to NetShareSetInfo.
SHARE_INFO_502* Describe(const DoubledShare& share) {
    void* block = nullptr;
    const size_t chars = share.path.size() + 1;
    NetApiBufferAllocate(static_cast<DWORD>(sizeof(SHARE_INFO_502) + chars * sizeof(wchar_t)), &block);
    auto* info = static_cast<SHARE_INFO_502*>(block);
    *info = SHARE_INFO_502{};
    info->shi502_path = reinterpret_cast<wchar_t*>(info + 1);
    wmemcpy(info->shi502_path, share.path.c_str(), chars);
    return info;
}

}  // namespace

ShareDouble::ShareDouble() {
    g_double = this;
    override_.api().NetShareGetInfo = GetInfo;
    override_.api().NetShareAdd = Add;
    override_.api().NetShareSetInfo = SetInfo;
    override_.api().NetShareDel = Del;
}

ShareDouble::~ShareDouble() { g_double = nullptr; }

DWORD WINAPI ShareDouble::GetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE* buffer) {
    g_double->calls_.push_back(L"GetInfo " + std::to_wstring(level) + L" " + name);
    if (server) return ERROR_INVALID_PARAMETER;
    const DWORD injected = level == 2 ? g_double->inject.getInfo2 : g_double->inject.getInfo502;
    if (injected) return injected;
    const auto found = g_double->shares_.find(name);
    if (found == g_double->shares_.end()) return kNameNotFound;
    if (level != 2 && level != 502) return ERROR_INVALID_LEVEL;
    SHARE_INFO_502* info = Describe(found->second);
    // Refers to our copy, as the real call's buffer refers to its own.
    std::vector<BYTE>& descriptor = found->second.descriptor;
    if (level == 502 && !descriptor.empty()) info->shi502_security_descriptor = descriptor.data();
    *buffer = reinterpret_cast<LPBYTE>(info);
    return NERR_Success;
}

DWORD WINAPI ShareDouble::Add(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD) {
    const auto* info = reinterpret_cast<const SHARE_INFO_2*>(buffer);
    g_double->calls_.push_back(std::wstring(L"Add ") + info->shi2_netname);
    if (server || level != 2) return ERROR_INVALID_PARAMETER;
    if (g_double->inject.add) return g_double->inject.add;
    if (g_double->shares_.count(info->shi2_netname)) return kDuplicateShare;
    DoubledShare& share = g_double->shares_[info->shi2_netname];
    share.path = info->shi2_path;
    share.type = info->shi2_type;
    share.remark = info->shi2_remark ? info->shi2_remark : L"(null)";  // a missing remark shows
    share.permissions = info->shi2_permissions;
    share.maxUses = info->shi2_max_uses;
    share.currentUses = info->shi2_current_uses;
    share.hasPassword = info->shi2_passwd != nullptr;
    return NERR_Success;
}

DWORD WINAPI ShareDouble::SetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE buffer, LPDWORD) {
    g_double->calls_.push_back(L"SetInfo " + std::to_wstring(level) + L" " + name);
    if (server || level != 502) return ERROR_INVALID_PARAMETER;
    if (g_double->inject.setInfo) return g_double->inject.setInfo;
    const auto found = g_double->shares_.find(name);
    if (found == g_double->shares_.end()) return kNameNotFound;
    const PSECURITY_DESCRIPTOR given = reinterpret_cast<SHARE_INFO_502*>(buffer)->shi502_security_descriptor;
    DWORD size = 0;
    MakeSelfRelativeSD(given, nullptr, &size);
    std::vector<BYTE> copy(size);
    if (!MakeSelfRelativeSD(given, copy.data(), &size)) return GetLastError();
    found->second.descriptor = std::move(copy);
    return NERR_Success;
}

DWORD WINAPI ShareDouble::Del(LPWSTR server, LPWSTR name, DWORD) {
    g_double->calls_.push_back(std::wstring(L"Del ") + name);
    if (server) return ERROR_INVALID_PARAMETER;
    if (g_double->inject.del) return g_double->inject.del;
    return g_double->shares_.erase(name) ? NERR_Success : kNameNotFound;
}

}  // namespace ondex::test
