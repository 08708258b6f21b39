// OxDetectMVXBeta: an installed beta of the mail-explorer product blocks the
// installation.
#include "setuplib/oxa_actions.h"
#include "setuplib/oxa_common.h"

namespace OxSetupLib {

UINT OxDetectMVXBeta::Execute() {
    OxMsiEnumRelatedProductsWrp related(oxa::kMvxUpgradeCode);
    OxMsiString product;
    if (!related.Next(product)) return ERROR_SUCCESS;
    wchar_t version[64] = L"";
    DWORD size = 64;
    if (::MsiGetProductInfoW(product.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &size) != ERROR_SUCCESS ||
        version[0] == L'\0')
        return ERROR_SUCCESS;
    if (!IsBlockingBetaVersion(version)) return ERROR_SUCCESS;
    ShowMessage(oxa::kErrorMessage, LoadString(140));
    return ERROR_INSTALL_FAILURE;
}

}  // namespace OxSetupLib
