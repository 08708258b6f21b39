#include "system/share_double.h"

#include <lm.h>

#include <cwchar>
#include <stdexcept>

namespace ondex::test {

namespace {

ShareDouble* g_double = nullptr;

constexpr DWORD kDuplicateShare = 2118;
constexpr DWORD kNameNotFound = 2310;

// One NetApi buffer: the information structure followed by its strings.
template <typename Info>
LPBYTE Allocate(const std::wstring& name, const DoubledShare& share, Info** info, wchar_t** strings) {
    const size_t chars = name.size() + share.path.size() + share.remark.size() + 3;
    void* block = nullptr;
    NetApiBufferAllocate(static_cast<DWORD>(sizeof(Info) + chars * sizeof(wchar_t)), &block);
    ZeroMemory(block, sizeof(Info));
    *info = static_cast<Info*>(block);
    *strings = reinterpret_cast<wchar_t*>(*info + 1);
    return static_cast<LPBYTE>(block);
}

wchar_t* Place(wchar_t*& cursor, const std::wstring& text) {
    wchar_t* start = cursor;
    wmemcpy(cursor, text.c_str(), text.size() + 1);
    cursor += text.size() + 1;
    return start;
}

template <typename Info>
LPBYTE Describe(const std::wstring& name, const DoubledShare& share, Info** info) {
    wchar_t* cursor = nullptr;
    const LPBYTE block = Allocate(name, share, info, &cursor);
    auto& fields = **info;
    fields.shi2_netname = Place(cursor, name);
    fields.shi2_type = share.type;
    fields.shi2_remark = Place(cursor, share.remark);
    fields.shi2_max_uses = share.maxUses;
    fields.shi2_path = Place(cursor, share.path);
    return block;
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
    if (level == 2) {
        SHARE_INFO_2* info = nullptr;
        *buffer = Describe(found->first, found->second, &info);
    } else if (level == 502) {
        // SHARE_INFO_502 begins with the fields of SHARE_INFO_2.
        struct Info502 : SHARE_INFO_2 {
            DWORD shi502_reserved;
            PSECURITY_DESCRIPTOR shi502_security_descriptor;
        };
        static_assert(sizeof(Info502) == sizeof(SHARE_INFO_502));
        Info502* info = nullptr;
        *buffer = Describe(found->first, found->second, &info);
        // The caller's buffer refers to our copy, as the real call's would.
        info->shi502_security_descriptor =
            found->second.descriptor.empty() ? nullptr : const_cast<BYTE*>(found->second.descriptor.data());
    } else {
        return ERROR_INVALID_LEVEL;
    }
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
