#include "setuplib/oxa_common.h"

#include "runtime/text_format.h"
#include "setuplib/ox_trusted_fs.h"

namespace OxSetupLib::oxa {

bool Is64Bit(const OxCustomAction& action) { return !action.GetProperty(L"VersionNT64").empty(); }

OxMsiString FormatFileKey(const OxCustomAction& action, const wchar_t* fileKey) {
    const auto record = OxMsiRecord::Create(1);
    record->SetString(0, fileKey);
    return action.FormatRecord(record->Handle());
}

OxMsiString ProductStorageFolder(OxCustomAction& action) {
    const OxMsiString productCode = action.GetProperty(L"ProductCode");
    if (productCode.empty()) {
        action.Log(L"This function should be called only into initial state.");
        throw OxWinError(ERROR_INVALID_OPERATION);
    }
    return TrustedTempFolder(productCode);
}

bool DetectUpgrade(OxCustomAction& action, bool ignoreMvx) {
    const OxMsiDatabase database(action.Handle());
    const auto view = database.OpenView(L"SELECT DISTINCT `Upgrade`.`UpgradeCode` FROM `Upgrade`");
    view->Execute();
    for (OxMsiRecord row; view->Fetch(row);) {
        const OxMsiString code = row.GetString(1);
        if (ignoreMvx && ::lstrcmpiW(code.c_str(), kMvxUpgradeCode) == 0) {
            action.Log(L"Ignoring MVX upgrade code.");
            continue;
        }
        OxMsiEnumRelatedProductsWrp related(code);
        OxMsiString product;
        if (related.Next(product)) {
            if (ignoreMvx) action.Log(L"This is the upgrade.");
            return true;
        }
    }
    return false;
}

Selection SelectInstallAction(OxCustomAction& action, int componentMode, bool ignoreMvx, std::int32_t current) {
    const bool upgrading = !action.GetProperty(L"UPGRADINGPRODUCTCODE").empty();
    Selection selection{current, action.GetProperty(L"Installed").empty() && DetectUpgrade(action, ignoreMvx),
                        ERROR_SUCCESS};
    const SelectedAction selected = SelectActionForMode(componentMode, upgrading, selection.upgradeDetected);
    if (selected == SA_NONE) {
        action.ShowMessage(kErrorMessage, action.LoadString(103));
        selection.result = ERROR_INSTALL_FAILURE;
    } else {
        selection.action = selected;
    }
    action.Log(L"Selected action: %d.", selection.action);
    return selection;
}

void SetDeferredData(const OxCustomAction& action, const wchar_t* className, const OxMsiString& storage) {
    for (const wchar_t* ending : {L"_Commit64", L"_ExecuteInstall64", L"_ExecuteRemove64", L"_Rollback64"})
        action.SetProperty((className + std::wstring(ending)).c_str(), storage.c_str());
}

void CleanupStorage(OxCustomAction& action, const wchar_t* line, const OxMsiString& storage) {
    action.Log(L"%s", line);
    if (::DeleteFileW(storage.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) return;
    ::MoveFileExW(storage.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

OxMsiString LoadFormatted(const OxCustomAction& action, UINT id, DWORD code) {
    return ondex::runtime::FormatWide(action.LoadString(id).c_str(), code);
}

UINT ReportManagedFailure(OxCustomAction& action, const OxComError& error, HRESULT toleratedCode) {
    action.Log(L"COM-exception occurred while executing .Net assembly. Error code: 0x%08X. NArg: %d.",
               static_cast<unsigned>(error.Code()), static_cast<int>(error.ArgumentIndex()));
    if (!error.IsManagedException()) {
        action.ShowMessage(kErrorMessage, LoadFormatted(action, 102, error.Code()));
        return ERROR_INSTALL_USEREXIT;
    }
    const bool tolerated = toleratedCode != S_OK && error.ExceptionCode() == toleratedCode;
    action.ShowMessage(tolerated ? kWarningMessage : kErrorMessage, error.Text());
    return tolerated ? ERROR_SUCCESS : ERROR_INSTALL_USEREXIT;
}

UINT ReportManagedFailure(OxCustomAction& action, const OxWinError& error) {
    action.Log(L"Exception occurred while while executing .Net assembly. Error code: 0x%08X.",
               static_cast<unsigned>(error.Code()));
    action.ShowMessage(kErrorMessage, LoadFormatted(action, 102, error.Code()));
    return ERROR_INSTALL_USEREXIT;
}

}  // namespace OxSetupLib::oxa
