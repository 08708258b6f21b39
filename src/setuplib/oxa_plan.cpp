#include "setuplib/oxa_plan.h"

namespace OxSetupLib {

SelectedAction SelectActionForMode(int componentMode, bool upgradingProductCode, bool upgradeDetected) {
    switch (componentMode) {
    case 1: return upgradingProductCode ? SA_UNINSTALL_FOR_UPGRADE : SA_UNINSTALL;
    case 2:
    case 4: return SA_MAINTAIN;
    case 3: return upgradeDetected ? SA_UPGRADE : SA_INSTALL;
    default: return SA_NONE;
    }
}

StagePlan PlanStage(int selectedAction, Stage stage) {
    constexpr StagePlan skip{StageStep::Skip, 0, false};
    switch (selectedAction) {
    case SA_INSTALL:
        if (stage == Stage::Install) return {StageStep::RunManaged, SA_INSTALL, true};
        if (stage == Stage::Rollback) return {StageStep::RunManaged, SA_UNINSTALL, false};
        return skip;
    case SA_UPGRADE:
        return stage == Stage::Install ? StagePlan{StageStep::LeaveToExtension, 0, false} : skip;
    case SA_MAINTAIN:
        return stage == Stage::Install ? StagePlan{StageStep::RunManaged, SA_MAINTAIN, true} : skip;
    case SA_UNINSTALL:
    case SA_UNINSTALL_FOR_UPGRADE:
        if (stage == Stage::Remove) return {StageStep::RunManaged, selectedAction, false};
        if (stage == Stage::Rollback) return {StageStep::RunManaged, SA_MAINTAIN, false};
        return skip;
    default: return {StageStep::Unknown, 0, false};
    }
}

const wchar_t* StageName(Stage stage) {
    switch (stage) {
    case Stage::Remove: return L"ExecuteRemove";
    case Stage::Install: return L"ExecuteInstall";
    default: return L"Rollback";
    }
}

std::uint64_t PackedVersion(std::wstring_view text) {
    std::uint64_t packed = 0;
    int part = 0;
    for (size_t start = 0; part < 4; ++part) {
        std::uint16_t value = 0;
        size_t at = start;
        for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
            value = static_cast<std::uint16_t>(value * 10 + (text[at] - L'0'));
        packed |= static_cast<std::uint64_t>(value) << (48 - 16 * part);
        const size_t dot = text.find(L'.', start);
        if (dot == std::wstring_view::npos) break;
        start = dot + 1;
    }
    return packed;
}

bool IsBlockingBetaVersion(std::wstring_view text) { return PackedVersion(text) < 0x00060005000001F4ull; }

}  // namespace OxSetupLib
