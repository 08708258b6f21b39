#pragma once
// Pieces shared by the managed extension actions: per-product storage,
// upgrade detection, deferred-data properties, stage logging and the
// reporting of failed managed calls.
#include <cstdint>
#include <utility>

#include "setuplib/clr_host.h"
#include "setuplib/oxa_plan.h"
#include "setuplib/oxsetuplib.h"

namespace OxSetupLib::oxa {

// ShowMessage types: the message-box icon bits on a plain message.
inline const INSTALLMESSAGE kErrorMessage = static_cast<INSTALLMESSAGE>(MB_ICONERROR);
inline const INSTALLMESSAGE kWarningMessage = static_cast<INSTALLMESSAGE>(MB_ICONWARNING);
inline constexpr wchar_t kRuntimeVersion[] = L"v4.0.30319";
inline constexpr wchar_t kMvxUpgradeCode[] = L"{8B4ED8BF-6746-44A5-B041-37C658EA36E1}";

// The 64-bit constants apply when "VersionNT64" is set.
bool Is64Bit(const OxCustomAction& action);
// A file-key reference such as "[#key]" formatted to its path.
OxMsiString FormatFileKey(const OxCustomAction& action, const wchar_t* fileKey);
// GetTempFolder + product code + "\", created; 4317 without a product code.
OxMsiString ProductStorageFolder(OxCustomAction& action);
// True when a code of the Upgrade table has a related product installed;
// with `ignoreMvx` the mail-explorer code is skipped.
bool DetectUpgrade(OxCustomAction& action, bool ignoreMvx);
// The immediate phase's choice from the component mode, the upgrade state and
// the Upgrade table; an unmappable mode is shown and keeps `current`.
struct Selection {
    std::int32_t action;
    bool upgradeDetected;
    UINT result;
};
Selection SelectInstallAction(OxCustomAction& action, int componentMode, bool ignoreMvx, std::int32_t current);
// The first deferred invocation is the remove stage, every later one the install stage.
template <typename RunStage>
UINT RunDeferredStage(std::uint8_t& removeStageDone, RunStage run) {
    if (removeStageDone) return run(Stage::Install);
    const UINT result = run(Stage::Remove);
    removeStageDone = 1;
    return result;
}
// Gives `storage` to the deferred actions <className>_Commit64, _ExecuteInstall64, ...
void SetDeferredData(const OxCustomAction& action, const wchar_t* className, const OxMsiString& storage);
// After rollback or commit: the storage file goes now or at the next restart.
void CleanupStorage(OxCustomAction& action, const wchar_t* line, const OxMsiString& storage);
// Resource string `id` with its "%08X" filled with `code`.
OxMsiString LoadFormatted(const OxCustomAction& action, UINT id, DWORD code);

// Logs what `stage` does for `selected`, runs `run(plan)` when managed code
// is due and gives the stage's result.
template <typename Run>
UINT RunPlannedStage(OxCustomAction& action, int selected, Stage stage, Run run) {
    const StagePlan plan = PlanStage(selected, stage);
    switch (plan.step) {
    case StageStep::Skip:
        action.Log(L"Action '%d' won't be executed while %s.", selected, StageName(stage));
        return 0;
    case StageStep::LeaveToExtension:
        action.Log(L"Upgrade will be performed in OxRPCExtension action.");
        return 0;
    case StageStep::RunManaged: {
        if (stage == Stage::Rollback)
            action.Log(L"Executing Rollback for action '%d' ...", selected);
        else
            action.Log(L"Executing action '%d' while %s...", selected, StageName(stage));
        const UINT result = run(plan);
        return plan.resultReturned ? result : 0;
    }
    default:
        action.Log(L"Unknown action '%d'.", selected);
        action.ShowMessage(kErrorMessage, action.LoadString(103));
        return ERROR_INSTALL_FAILURE;
    }
}

// Shows a failed managed call and gives 1602; with `toleratedCode`, a managed
// exception of that code is only a warning and gives 0.
UINT ReportManagedFailure(OxCustomAction& action, const OxComError& error, HRESULT toleratedCode = S_OK);
UINT ReportManagedFailure(OxCustomAction& action, const OxWinError& error);

template <typename Body>
UINT GuardManaged(OxCustomAction& action, HRESULT toleratedCode, Body body) {
    try {
        return body();
    } catch (const OxComError& error) {
        return ReportManagedFailure(action, error, toleratedCode);
    } catch (const OxWinError& error) {
        return ReportManagedFailure(action, error);
    }
}

}  // namespace OxSetupLib::oxa
