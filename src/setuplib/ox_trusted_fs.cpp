// Trust checks and protected creation of the setup library's folders and files.
#include "setuplib/ox_trusted_fs.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/handles.h"
#include "platform/seam.h"

namespace OxSetupLib {
namespace {

using ondex::platform::Api;
using ondex::platform::UniqueHandle;
using ondex::platform::UniqueLocalMemory;

constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

OxMsiString SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) ThrowLastError();
    const UniqueLocalMemory owner(text);
    return text;
}

OxMsiString ProcessUser() {
    UniqueHandle token;
    if (!Api().OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) ThrowLastError();
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (!::GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) ThrowLastError();
    return SidText(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

OxMsiString OwnerOf(const OxMsiString& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error = Api().GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                                        &owner, nullptr, nullptr, nullptr, &descriptor))
        throw OxWinError(error);
    const UniqueLocalMemory held(descriptor);
    return SidText(owner);
}

bool IsTrustedOwner(const OxMsiString& sid) {
    for (const wchar_t* trusted : {kSystem, kAdministrators, kTrustedInstaller})
        if (sid == trusted) return true;
    return sid == ProcessUser();
}

[[noreturn]] void Refuse(const OxMsiString& path, const OxMsiString& reason) {
    throw OxWinError(ERROR_ACCESS_DENIED, L"The setup library does not use '" + path + L"': " + reason);
}

// Rights through which an account could change what a tool runs (in a
// folder, FILE_WRITE_DATA and FILE_APPEND_DATA add files and folders).
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr wchar_t kEveryone[] = L"S-1-1-0";

// The first account other than the trusted owners that the DACL of `path`
// lets change it; Everyone for a missing DACL; empty when there is none.
OxMsiString UntrustedWriterOf(const OxMsiString& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error = Api().GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                        nullptr, nullptr, &dacl, nullptr, &descriptor))
        throw OxWinError(error);
    const UniqueLocalMemory held(descriptor);
    if (!dacl) return kEveryone;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) ThrowLastError();
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || (ace->Header.AceFlags & INHERIT_ONLY_ACE) ||
            !(ace->Mask & kChangeRights))
            continue;
        const OxMsiString sid = SidText(const_cast<DWORD*>(&ace->SidStart));
        if (!IsTrustedOwner(sid)) return sid;
    }
    return {};
}

// Full control for SYSTEM, Administrators and this process's user, inherited; protected from the parent's entries.
OxMsiString ProtectedFolderSddl() {
    OxMsiString sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const OxMsiString user = ProcessUser();
    if (user != kSystem) sddl += L"(A;OICI;FA;;;" + user + L")";
    return sddl;
}

}  // namespace

bool IsReparsePoint(const OxMsiString& path) {
    const DWORD attributes = Api().GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD RequireTrusted(const OxMsiString& path) {
    const DWORD attributes = Api().GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return attributes;
        throw OxWinError(error);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) Refuse(path, L"it is a reparse point (a link).");
    const OxMsiString owner = OwnerOf(path);
    if (!IsTrustedOwner(owner))
        Refuse(path, L"its owner " + owner + L" is neither SYSTEM, Administrators, TrustedInstaller nor this account.");
    return attributes;
}

namespace {

// Runs a check that refuses by throwing: false, with the refusal's text, when it does.
template <typename Check>
bool Passes(Check check, std::wstring* refusal) try {
    check();
    return true;
} catch (const OxWinError& error) {
    *refusal = error.DisplayText();
    return false;
}

}  // namespace

bool IsTrusted(const OxMsiString& path, std::wstring* refusal) {
    return Passes([&] { RequireTrusted(path); }, refusal);
}

bool IsTrustedTool(const OxMsiString& path, std::wstring* refusal) {
    return Passes(
        [&] {
            if (RequireTrusted(path) == INVALID_FILE_ATTRIBUTES) Refuse(path, L"it does not exist.");
            if (const OxMsiString writer = UntrustedWriterOf(path); !writer.empty())
                Refuse(path, L"its DACL lets " + writer + L" change it.");
        },
        refusal);
}

void CreateTrustedDirectory(const OxMsiString& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(ProtectedFolderSddl().c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        ThrowLastError();
    const UniqueLocalMemory held(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    if (Api().CreateDirectoryW(path.c_str(), &attributes)) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) throw OxWinError(error);
    if (!(RequireTrusted(path) & FILE_ATTRIBUTE_DIRECTORY)) throw OxWinError(ERROR_FILE_EXISTS);
}

OxMsiString TrustedTempFolder(const OxMsiString& name) {
    const OxMsiString folder = GetTempFolder() + name;
    CreateTrustedDirectory(folder);
    return folder + L"\\";
}

void CreateReplacingFile(const OxMsiString& path, DWORD access, OxFileHandle& file) {
    ::DeleteFileW(path.c_str());
    file.Reset(::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) ThrowLastError();
}

}  // namespace OxSetupLib
