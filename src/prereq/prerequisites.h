#pragma once
// The table-driven prerequisite engine: the package describes each
// prerequisite in `Prerequisites` and its check and install steps in
// `PrerequisiteActions`; the check pass publishes the outcome in the
// CHKRQ_PROD properties and "CheckPrerequisitesResult", the install pass runs
// the install steps. Neither pass ever fails the installation.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ondex::prereq {

// ActionFlags bits of a step, and the masks that select the steps of a pass.
inline constexpr std::uint32_t kCheckStep = 0x01;
inline constexpr std::uint32_t kInstallStep = 0x02;
inline constexpr std::uint32_t kSecondCheckStep = 0x04;
inline constexpr std::uint32_t kCommandStep = 0x20;  // Action is a command line, not an installer action
inline constexpr std::uint32_t kCheckPassMask = kCheckStep | kSecondCheckStep | kCommandStep;  // 0x25
inline constexpr std::uint32_t kInstallPassMask = kInstallStep | kCommandStep;                 // 0x22

struct Prerequisite {
    MSIHANDLE hInstall = 0;
    int order = 0;
    std::wstring id;
    std::wstring name;  // formatted
    std::wstring requiredVersion;
    std::wstring installedVersionPropertyName;
    std::wstring statusPropertyName;
    std::wstring statusTextPropertyName;
};

struct PrerequisiteStep {
    MSIHANDLE hInstall = 0;
    int order = 0;
    std::wstring prerequisiteId;
    std::uint32_t actionFlags = 0;
    MSICONDITION condition = MSICONDITION_NONE;  // evaluated when the row was read
    std::wstring property;
    std::wstring value;
    std::wstring action;
    std::wstring progressText;  // formatted
    int expectedDuration = 0;
    int progressUpdateInterval = 0;
};

// Outcomes of ExecPrerequisiteActions besides a command's exit code.
inline constexpr wchar_t kOutcomeNone[] = L"NONE";
inline constexpr wchar_t kOutcomeOk[] = L"OK";
inline constexpr wchar_t kOutcomeConditionError[] = L"MSICONDITION_ERROR";

// Appends the `Prerequisites` rows in their order; logs and returns the first failure.
HRESULT readPrerequisites(MSIHANDLE hInstall, std::vector<Prerequisite>& prerequisites);

// Appends the steps of one prerequisite whose ActionFlags meet `mask`,
// evaluating each step's condition as its row is read.
HRESULT readPrerequisiteActions(MSIHANDLE hInstall, std::vector<PrerequisiteStep>& steps,
                                const std::wstring& prerequisiteId, std::uint32_t mask);

// The steps of one pass; a failed read is reported and what was read is kept.
std::vector<PrerequisiteStep> readCheckActions(MSIHANDLE hInstall, const std::wstring& prerequisiteId);
std::vector<PrerequisiteStep> readInstallActions(MSIHANDLE hInstall, const std::wstring& prerequisiteId);

// Runs the steps whose condition held: "NONE" when none ran an action or
// command, otherwise "OK" or the last command's exit code in decimal;
// "MSICONDITION_ERROR" stops at a condition that could not be evaluated.
std::wstring ExecPrerequisiteActions(MSIHANDLE hInstall, const std::vector<PrerequisiteStep>& steps);

void CheckPrerequisitesImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void InstallPrerequisitesImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::prereq
