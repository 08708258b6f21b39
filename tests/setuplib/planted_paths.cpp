#include "planted_paths.h"

#include <windows.h>
#include <sddl.h>

#include <cwctype>
#include <map>
#include <set>

namespace ondex::test {

namespace {

std::set<std::wstring> g_links;
std::map<std::wstring, std::wstring> g_descriptors;  // as SDDL

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
    const auto planted = g_descriptors.find(Key(path));
    if (planted == g_descriptors.end())
        return platform::RealApi().GetNamedSecurityInfoW(path, type, which, owner, group, dacl, sacl, descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(planted->second.c_str(), SDDL_REVISION_1, descriptor,
                                                              nullptr) ||
        (owner && !GetSecurityDescriptorOwner(*descriptor, owner, &defaulted)) ||
        (dacl && !GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted)))
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
    g_descriptors.clear();
}

void PlantedPaths::Link(const std::wstring& path) { g_links.insert(Key(path)); }
void PlantedPaths::OwnedBy(const std::wstring& path, const std::wstring& sid) {
    g_descriptors[Key(path)] = L"O:" + sid + L"D:(A;;FA;;;" + sid + L")";
}
void PlantedPaths::WritableBy(const std::wstring& path, const std::wstring& sid) {
    g_descriptors[Key(path)] = L"O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;" + sid + L")";  // 0x1301bf: modify
}

}  // namespace ondex::test
