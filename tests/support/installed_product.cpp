#include "support/installed_product.h"

#include <msi.h>

#include <stdexcept>

#include "platform/handles.h"
#include "support/package.h"

namespace ondex::test {

namespace {

std::wstring InstallPropertiesKey(const std::wstring& code) {
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
           PackedGuid(code) + L"\\InstallProperties";
}

// Sets or (with nullptr) deletes the product's "LocalPackage" registration.
void SetLocalPackage(const std::wstring& code, const std::wstring* path) {
    platform::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstallPropertiesKey(code).c_str(), 0, KEY_SET_VALUE, key.put()) != 0)
        throw std::runtime_error("the product's InstallProperties key is missing");
    if (path == nullptr)
        RegDeleteValueW(key.get(), L"LocalPackage");
    else
        RegSetValueExW(key.get(), L"LocalPackage", 0, REG_SZ, reinterpret_cast<const BYTE*>(path->c_str()),
                       static_cast<DWORD>((path->size() + 1) * sizeof(wchar_t)));
}

void InstallQuietly(const std::wstring& package, const wchar_t* command) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const UINT status = MsiInstallProductW(package.c_str(), command);
    if (status != ERROR_SUCCESS) throw std::runtime_error("MsiInstallProductW failed: " + std::to_string(status));
}

// One feature is what makes the engine publish; without RegisterProduct the
// product is published (advertised) but not registered as installed.
void BuildPackage(TestPackage& package, const std::wstring& code, const std::wstring& upgradeCode, bool registered,
                  const std::wstring& version) {
    package.Sql(L"UPDATE `Property` SET `Value` = '" + code + L"' WHERE `Property` = 'ProductCode'");
    package.Sql(L"UPDATE `Property` SET `Value` = '" + version + L"' WHERE `Property` = 'ProductVersion'");
    package.Property(L"UpgradeCode", upgradeCode).Property(L"ALLUSERS", L"1");
    package.Table(L"Feature").Row(L"Feature", {{L"Feature", L"'Main'"}, {L"Level", L"1"}, {L"Attributes", L"0"}});
    package.Table(L"InstallExecuteSequence");
    int sequence = 0;
    for (const std::wstring action : {L"CostInitialize", L"FileCost", L"CostFinalize", L"InstallValidate",
                                      L"InstallInitialize", L"ProcessComponents", L"RegisterProduct", L"PublishFeatures", L"PublishProduct",
                                      L"InstallFinalize"}) {
        sequence += 100;
        if (action == L"RegisterProduct" && !registered) continue;
        package.Row(L"InstallExecuteSequence", {{L"Action", Quoted(action)}, {L"Sequence", Number(sequence)}});
    }
}

}  // namespace

std::wstring PackedGuid(const std::wstring& guid) {
    // Each group's characters reversed; the last two groups byte by byte.
    static const int kOrder[] = {8,  7,  6,  5,  4,  3,  2,  1,  13, 12, 11, 10, 18, 17, 16, 15,
                                 21, 20, 23, 22, 26, 25, 28, 27, 30, 29, 32, 31, 34, 33, 36, 35};
    std::wstring packed;
    for (int i : kOrder) packed += guid.at(i);
    return packed;
}

InstalledProduct::InstalledProduct(const std::wstring& productCode, const std::wstring& upgradeCode, State state,
                                   const std::wstring& version, const std::function<void(TestPackage&)>& extend)
    : code_(productCode), source_(std::make_unique<TestPackage>()) {
    BuildPackage(*source_, code_, upgradeCode, state == State::Installed, version);
    if (extend) extend(*source_);
    InstallQuietly(source_->Commit(), L"ALLUSERS=1");
}

InstalledProduct::~InstalledProduct() {
    try {
        if (!forgottenPackage_.empty()) SetLocalPackage(code_, &forgottenPackage_);
        InstallQuietly(source_->Path(), L"REMOVE=ALL");
    } catch (const std::exception&) {
        // A product that cannot be removed stays; the next run installs over it.
    }
}

std::wstring InstalledProduct::LocalPackage() const {
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    MsiGetProductInfoW(code_.c_str(), INSTALLPROPERTY_LOCALPACKAGE, path, &size);
    return path;
}

void InstalledProduct::ForgetLocalPackage() {
    forgottenPackage_ = LocalPackage();
    SetLocalPackage(code_, nullptr);
}

}  // namespace ondex::test
