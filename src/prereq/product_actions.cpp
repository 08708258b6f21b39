#include "prereq/product_actions.h"

#include <string>

#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::prereq {

using runtime::LogTimestamped;
using runtime::MsiProperty;

namespace {

constexpr size_t kGuidChars = 39;  // braced GUID and terminator

void LogError(MSIHANDLE hInstall, UINT error, const wchar_t* text) {
    runtime::LogTimestampedError(hInstall, error, text);
}

// The cached package of `product`; empty when the engine reports none (the
// reason is logged).
std::wstring CachedPackage(MSIHANDLE hInstall, const wchar_t* product) {
    wchar_t none[1] = L"";
    DWORD size = 0;
    UINT status = ::MsiGetProductInfoW(product, INSTALLPROPERTY_LOCALPACKAGE, none, &size);
    // An empty path arrives as success or, from engines that count the
    // terminator, as "more data" of length 0.
    if (status == ERROR_SUCCESS || (status == ERROR_MORE_DATA && size == 0)) {
        LogTimestamped(hInstall, L"First call of MsiGetProductInfo (INSTALLPROPERTY_LOCALPACKAGE) return "
                                 L"ERROR_SUCCESS with empty package buffer.");
        return {};
    }
    if (status != ERROR_MORE_DATA) {
        LogError(hInstall, status, L"First call of MsiGetProductInfo failed.");
        return {};
    }
    std::wstring path(++size, L'\0');
    status = ::MsiGetProductInfoW(product, INSTALLPROPERTY_LOCALPACKAGE, path.data(), &size);
    if (status != ERROR_SUCCESS) {
        LogError(hInstall, status, L"Second call of MsiGetProductInfo failed.");
        return {};
    }
    path.resize(size);
    return path;
}

// Clears `result` and reads the upgrade code of the property `input`; an
// empty code is logged and answered with "ERR_PROP".
std::wstring ReadUpgradeCode(MSIHANDLE hInstall, MsiProperty& result, const wchar_t* input) {
    result = L"";
    const std::wstring upgradeCode = MsiProperty(hInstall, input).Str();
    if (upgradeCode.empty()) {
        LogTimestamped(hInstall, (L"Property " + std::wstring(input) + L" is empty.").c_str());
        result = L"ERR_PROP";
    }
    return upgradeCode;
}

}  // namespace

void IsProductLineInstalledImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"IsProductLineInstalledResult");
    const std::wstring upgradeCode = ReadUpgradeCode(hInstall, result, L"IsInstUpgradeCode");
    if (upgradeCode.empty()) return;
    wchar_t product[kGuidChars] = L"";
    const UINT status = ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, 0, product);
    if (status == ERROR_SUCCESS) {
        result = L"YES";
    } else if (status == ERROR_NO_MORE_ITEMS) {
        result = L"NO";
    } else {
        LogError(hInstall, status, L"MsiEnumRelatedProducts failed.");
        result = L"ERR";
    }
}

void IsProductInstalledImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"IsProductInstalledResult");
    result = L"";
    const std::wstring productCode = MsiProperty(hInstall, L"IsInstProductCode").Str();
    result = ::MsiQueryProductStateW(productCode.c_str()) == INSTALLSTATE_DEFAULT ? L"YES" : L"NO";
}

void GetMsiPathImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"GetMsiPathResult");
    const std::wstring upgradeCode = ReadUpgradeCode(hInstall, result, L"GTMUpgradeCode");
    if (upgradeCode.empty()) return;
    // The first related product with a cached package wins.
    for (DWORD index = 0;; ++index) {
        wchar_t product[kGuidChars] = L"";
        const UINT status = ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, product);
        if (status == ERROR_NO_MORE_ITEMS) return;
        if (status != ERROR_SUCCESS) {
            LogError(hInstall, status, L"MsiEnumRelatedProducts failed.");
            result = L"ERR";
            return;
        }
        const std::wstring path = CachedPackage(hInstall, product);
        if (!path.empty()) {
            result = path;
            return;
        }
    }
}

}  // namespace ondex::prereq
