// Resource strings, Binary streams, component situations, folders and the
// extension action's parameter record.
#include <windows.h>
#include <shlobj.h>

#include "runtime/module.h"
#include "runtime/text_format.h"
#include "platform/seam.h"
#include "setuplib/ox_trusted_fs.h"
#include "setuplib/oxsetuplib.h"

namespace OxSetupLib {
namespace {

constexpr LANGID kFallbackLanguage = 1033;

// Entry `id` mod 16 of the string-table block (id / 16) + 1 in `language`; empty when absent.
OxMsiString FindTableString(UINT id, LANGID language) {
    const HMODULE module = ondex::runtime::ModuleHandle();
    HRSRC resource = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!resource) return {};
    HGLOBAL loaded = ::LoadResource(module, resource);
    const auto* units = loaded ? static_cast<const WORD*>(::LockResource(loaded)) : nullptr;
    if (!units) return {};
    const WORD* end = units + ::SizeofResource(module, resource) / sizeof(WORD);
    for (UINT entry = 0; entry < id % 16 && units < end; ++entry) units += 1 + *units;
    if (units >= end || units + 1 + *units > end) return {};
    return OxMsiString(reinterpret_cast<const wchar_t*>(units + 1), *units);
}

int ComponentModeFromState(INSTALLSTATE installed, INSTALLSTATE action, bool maintenance) {
    const INSTALLSTATE state = action == INSTALLSTATE_UNKNOWN ? installed : action;
    const bool present = installed != INSTALLSTATE_ABSENT;
    switch (state) {
    case INSTALLSTATE_ABSENT: return present ? 1 : 0;
    case INSTALLSTATE_LOCAL:
    case INSTALLSTATE_SOURCE: return present ? 2 : 3;
    case INSTALLSTATE_DEFAULT:
        if (present) return maintenance ? 2 : 3;
        return -1;
    default: return -1;
    }
}

bool IsRelatedProduct(const OxMsiString& upgradeCode, const OxMsiString& product) {
    OxMsiEnumRelatedProductsWrp related(upgradeCode);
    for (OxMsiString code; related.Next(code);)
        if (::lstrcmpiW(code.c_str(), product.c_str()) == 0) return true;
    return false;
}

void CreateOneDirectory(const OxMsiString& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr)) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) throw OxWinError(error);
    if (!(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) throw OxWinError(ERROR_FILE_EXISTS);
}

}  // namespace

OxMsiString OxCustomAction::LoadString(UINT id) const {
    const int language = GetIntProperty(L"PRODUCTLANGUAGE");
    OxMsiString text = FindTableString(id, static_cast<LANGID>(language));
    if (text.empty()) text = FindTableString(id, kFallbackLanguage);
    return text;
}

OxMsiString OxCustomAction::extractBinary(const OxMsiString& name, const OxMsiString& targetPath) {
    const OxMsiDatabase database(handle_);
    // Name is the table's key, so one row at most matches. No DISTINCT: Wine's
    // distinct view cannot hand out streams and crashes on the read.
    const std::wstring query = ondex::runtime::FormatWide(
        L"SELECT `%s`.`Data` FROM `%s` WHERE `%s`.`Name`='%s'", L"Binary", L"Binary", L"Binary", name.c_str());
    const auto view = database.OpenView(query.c_str());
    view->Execute();
    OxMsiRecord row;
    if (!view->Fetch(row)) throw OxWinError(ERROR_FILE_NOT_FOUND);

    const OxMsiString path = targetPath.empty() ? OxMsiString(TempPath() + name) : targetPath;
    OxFileHandle file;
    CreateReplacingFile(path, GENERIC_WRITE, file);
    char chunk[1024];
    for (;;) {
        DWORD size = sizeof(chunk);
        ThrowIfFailed(::MsiRecordReadStream(row.Handle(), 1, chunk, &size));
        DWORD written = 0;
        if (size && !::WriteFile(file.Get(), chunk, size, &written, nullptr)) ThrowLastError();
        if (size < sizeof(chunk)) break;
    }
    return path;
}

int OxCustomAction::getComponentMode(const OxMsiString& componentKey, const OxMsiString& componentCode) {
    if (componentKey.empty()) throw OxWinError(ERROR_BAD_ARGUMENTS);
    INSTALLSTATE installed = INSTALLSTATE_UNKNOWN;
    INSTALLSTATE action = INSTALLSTATE_UNKNOWN;
    ThrowIfFailed(::MsiGetComponentStateW(handle_, componentKey.c_str(), &installed, &action));
    int mode = ComponentModeFromState(installed, action,
                                      ondex::platform::Api().MsiGetMode(handle_, MSIRUNMODE_MAINTENANCE));

    const OxMsiString productCode = GetProperty(L"ProductCode");
    const OxMsiString upgradeCode = GetProperty(L"UpgradeCode");
    INSTALLSTATE lastPath = INSTALLSTATE_UNKNOWN;
    bool relatedMatch = false;
    OxMsiEnumClientsWrp clients(componentCode);
    for (OxMsiString client; !relatedMatch && clients.Next(client);) {
        if (::lstrcmpiW(client.c_str(), productCode.c_str()) == 0) continue;
        lastPath = ondex::platform::Api().MsiGetComponentPathW(client.c_str(), componentCode.c_str(), nullptr, nullptr);
        if (lastPath > INSTALLSTATE_ABSENT) relatedMatch = IsRelatedProduct(upgradeCode, client);
    }
    if (mode == 3 && lastPath == INSTALLSTATE_SOURCEABSENT && !relatedMatch) mode = 4;
    return mode;
}

OxMsiString WithBackslash(const OxMsiString& text) {
    if (text.empty() || text.back() == L'\\') return text;
    return text + L"\\";
}

OxMsiString TempPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (!length || length > MAX_PATH) ThrowLastError();
    return WithBackslash(OxMsiString(buffer, length));
}

OxMsiString DirectoryOf(const OxMsiString& path) {
    wchar_t full[MAX_PATH] = {};
    wchar_t* filePart = nullptr;
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, &filePart);
    if (!length || length >= MAX_PATH) ThrowLastError();
    OxMsiString directory(full, length);
    const size_t last = directory.find_last_of(L'\\');
    return last == OxMsiString::npos ? directory : OxMsiString(directory.substr(0, last));
}

bool PathExists(const OxMsiString& path) {
    OxMsiString pattern = path;
    if (!pattern.empty() && pattern.back() == L'\\') pattern.pop_back();
    return OxFindFileWrapper(pattern).IsValid();
}

void CreateDirectoryTree(const OxMsiString& path) {
    if (path.empty()) throw OxWinError(ERROR_BAD_ARGUMENTS);
    // Each prefix that ends before a backslash, skipping a drive root or a UNC server and share.
    size_t start = path.rfind(L"\\\\", 0) == 0 ? path.find(L'\\', path.find(L'\\', 2) + 1) : path.find(L'\\');
    for (size_t at = start; at != OxMsiString::npos; at = path.find(L'\\', at + 1))
        if (at > 0 && path[at - 1] != L':') CreateOneDirectory(path.substr(0, at));
    if (path.back() != L'\\') CreateOneDirectory(path);
}

void DeleteDirectoryTree(const OxMsiString& path, bool strict) {
    const OxMsiString folder = WithBackslash(path);
    const OxMsiString bare = folder.substr(0, folder.size() - 1);
    if (IsReparsePoint(bare)) {
        // A junction or directory link goes by itself; what it points to is never entered.
        if (!::RemoveDirectoryW(bare.c_str()) && strict) ThrowLastError();
        return;
    }
    OxFindFileWrapper find(folder + L"*");
    if (!find.IsValid()) throw OxWinError(ERROR_INVALID_HANDLE);
    do {
        const WIN32_FIND_DATAW& data = find.Data();
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const OxMsiString child = folder + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteDirectoryTree(child, strict);
        } else {
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileW(child.c_str()) && strict) ThrowLastError();
        }
    } while (find.Next());
    if (!::RemoveDirectoryW(folder.c_str()) && strict) ThrowLastError();
}

OxMsiString GetTempFolder() {
    wchar_t base[MAX_PATH] = {};
    const HRESULT hr = ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base);
    if (hr != S_OK && hr != E_FAIL) throw OxWinError(HRESULT_CODE(hr));
    OxMsiString folder = base;
    for (const wchar_t* level : {L"\\Ondex", L"\\Setup", L"\\Temp"}) {
        folder += level;
        CreateTrustedDirectory(folder);
    }
    return folder + L"\\";
}

OxMsiString OxExtensionData::FilePath() const { return GetTempFolder() + key_ + L"\\RPCAssembly.dat"; }

void OxExtensionData::Serialize(OxSerializator& serializer) {
    serializer.Serialize(assemblyPath);
    serializer.Serialize(selectedAction);
    serializer.Serialize(sqlServerName);
    serializer.Serialize(sqlInstanceName);
    serializer.Serialize(installFolder);
    serializer.Serialize(sqlServerDatabase);
    serializer.Serialize(wmiServicePath);
    serializer.Serialize(reserved);
    serializer.Serialize(present);
}

void OxExtensionData::Load() {
    OxFileSerializator serializer(FilePath());
    serializer.Load();
    Serialize(serializer);
}

void OxExtensionData::Store() {
    OxFileSerializator serializer(TrustedTempFolder(key_) + L"RPCAssembly.dat");
    Serialize(serializer);
    serializer.Write();
}

}  // namespace OxSetupLib
