#include "system/share_double.h"

#include <lm.h>

#include <cwchar>

namespace ondex::test {

namespace {

ShareDouble* g = nullptr;

constexpr DWORD kDuplicateShare = 2118;
constexpr DWORD kNameNotFound = 2310;

// A level-502 block (it begins with the level-2 fields) holding the path and,
// at level 502, our copy of the descriptor, as the real call's buffer refers to its own.
SHARE_INFO_502* Describe(DoubledShare& share, DWORD level) {
    void* block = nullptr;
    const size_t chars = share.path.size() + 1;
    NetApiBufferAllocate(static_cast<DWORD>(sizeof(SHARE_INFO_502) + chars * sizeof(wchar_t)), &block);
    auto* info = static_cast<SHARE_INFO_502*>(block);
    *info = SHARE_INFO_502{};
    info->shi502_path = wmemcpy(reinterpret_cast<wchar_t*>(info + 1), share.path.c_str(), chars);
    if (level == 502 && !share.descriptor.empty()) info->shi502_security_descriptor = share.descriptor.data();
    return info;
}

DWORD WINAPI GetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE* buffer) {
    g->calls.push_back(L"GetInfo " + std::to_wstring(level) + L" " + name);
    if (server || (level != 2 && level != 502)) return ERROR_INVALID_PARAMETER;
    if (DWORD injected = level == 2 ? g->inject.getInfo2 : g->inject.getInfo502) return injected;
    const auto found = g->shares.find(name);
    if (found == g->shares.end()) return kNameNotFound;
    *buffer = reinterpret_cast<LPBYTE>(Describe(found->second, level));
    return NERR_Success;
}

// A self-relative copy of `given`, as the service keeps it.
DWORD KeepDescriptor(PSECURITY_DESCRIPTOR given, std::vector<BYTE>& kept) {
    DWORD size = 0;
    MakeSelfRelativeSD(given, nullptr, &size);
    std::vector<BYTE> copy(size);
    if (!MakeSelfRelativeSD(given, copy.data(), &size)) return GetLastError();
    kept = std::move(copy);
    return NERR_Success;
}

DWORD WINAPI Add(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD) {
    const auto& info = *reinterpret_cast<const SHARE_INFO_502*>(buffer);
    g->calls.push_back(std::wstring(L"Add ") + info.shi502_netname);
    if (server || level != 502) return ERROR_INVALID_PARAMETER;
    if (g->inject.add) return g->inject.add;
    if (g->shares.count(info.shi502_netname)) return kDuplicateShare;
    DoubledShare share;
    share.path = info.shi502_path;
    share.added = std::to_wstring(info.shi502_type) + L"|" + (info.shi502_remark ? info.shi502_remark : L"(null)") +
                  L"|" + std::to_wstring(info.shi502_permissions) + L"|" + std::to_wstring(info.shi502_max_uses) +
                  L"|" + std::to_wstring(info.shi502_current_uses) + L"|" + (info.shi502_passwd ? L"password" : L"");
    if (info.shi502_security_descriptor)
        if (const DWORD status = KeepDescriptor(info.shi502_security_descriptor, share.descriptor)) return status;
    g->shares[info.shi502_netname] = std::move(share);
    return NERR_Success;
}

DWORD WINAPI SetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE buffer, LPDWORD) {
    g->calls.push_back(L"SetInfo " + std::to_wstring(level) + L" " + name);
    if (server || level != 502) return ERROR_INVALID_PARAMETER;
    if (g->inject.setInfo) return g->inject.setInfo;
    const auto found = g->shares.find(name);
    if (found == g->shares.end()) return kNameNotFound;
    return KeepDescriptor(reinterpret_cast<SHARE_INFO_502*>(buffer)->shi502_security_descriptor,
                          found->second.descriptor);
}

DWORD WINAPI Del(LPWSTR server, LPWSTR name, DWORD) {
    g->calls.push_back(std::wstring(L"Del ") + name);
    if (server) return ERROR_INVALID_PARAMETER;
    if (g->inject.del) return g->inject.del;
    return g->shares.erase(name) ? NERR_Success : kNameNotFound;
}

}  // namespace

ShareDouble::ShareDouble() {
    g = this;
    override_.api().NetShareGetInfo = GetInfo;
    override_.api().NetShareAdd = Add;
    override_.api().NetShareSetInfo = SetInfo;
    override_.api().NetShareDel = Del;
}

ShareDouble::~ShareDouble() { g = nullptr; }

}  // namespace ondex::test
