#pragma once
// Decisions of the managed extension actions on plain values: which install
// action the immediate phase selects, what each deferred stage does with it,
// and how an installed product's version is compared. No Windows headers.
#include <cstdint>
#include <string_view>

namespace OxSetupLib {

// The install action an extension action performs (persisted, 1 until selected).
enum SelectedAction : int {
    SA_NONE = 1,
    SA_INSTALL = 2,
    SA_UPGRADE = 3,
    SA_MAINTAIN = 4,
    SA_UNINSTALL = 5,
    SA_UNINSTALL_FOR_UPGRADE = 6,
};

// The action for a component mode (0 absent .. 4 installing beside another
// product's copy); SA_NONE when the mode maps to none.
SelectedAction SelectActionForMode(int componentMode, bool upgradingProductCode, bool upgradeDetected);

enum class Stage { Remove, Install, Rollback };

// What one stage does for a selected action.
enum class StageStep {
    Skip,             // logged as not executed in this stage
    RunManaged,       // runs the managed code `code`
    LeaveToExtension, // the upgrade is done by the extension action
    Unknown,          // the selected action is not one of the known ones
};

struct StagePlan {
    StageStep step;
    int code;            // for RunManaged
    bool resultReturned; // the managed run's result becomes the stage's result
};

StagePlan PlanStage(int selectedAction, Stage stage);
// "ExecuteRemove", "ExecuteInstall" or "Rollback".
const wchar_t* StageName(Stage stage);

// "a.b.c.d" as a.b.c.d packed into 16 bits each (missing parts 0, each part
// truncated to 16 bits).
std::uint64_t PackedVersion(std::wstring_view text);
// An installed beta older than 6.5.0.500 blocks the installation.
bool IsBlockingBetaVersion(std::wstring_view text);

}  // namespace OxSetupLib
