#include "planted_paths.h"

#include <windows.h>
#include <sddl.h>

#include <cwctype>
#include <map>
#include <set>

namespace ondex::test {

namespace {

std::set<std::wstring> g_links;
std::map<std::wstring, std::wstring> g_owners;

// Paths compared as the file system does: case-insensitive, no final backslash.
std::wstring Key(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    for (wchar_t& c : path) c = static_cast<wchar_t>(std::towlower(c));
    return path;
}

DWORD WINAPI Attributes(LPCWSTR path) {
    const DWORD real = platform::RealApi().GetFileAttributesW(path);
    return real != INVALID_FILE_ATTRIBUTES && g_links.count(Key(path)) ? real | FILE_ATTRIBUTE_REPARSE_POINT : real;
}

DWORD WINAPI Security(LPCWSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION which, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    const auto planted = g_owners.find(Key(path));
    if (planted == g_owners.end())
        return platform::RealApi().GetNamedSecurityInfoW(path, type, which, owner, group, dacl, sacl, descriptor);
    BOOL defaulted = FALSE;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + planted->second).c_str(), SDDL_REVISION_1,
                                                              descriptor, nullptr) ||
        !GetSecurityDescriptorOwner(*descriptor, owner, &defaulted))
        return GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace

PlantedPaths::PlantedPaths() {
    override_.api().GetFileAttributesW = Attributes;
    override_.api().GetNamedSecurityInfoW = Security;
}

PlantedPaths::~PlantedPaths() {
    g_links.clear();
    g_owners.clear();
}

void PlantedPaths::Link(const std::wstring& path) { g_links.insert(Key(path)); }
void PlantedPaths::OwnedBy(const std::wstring& path, const std::wstring& sid) { g_owners[Key(path)] = sid; }

}  // namespace ondex::test
