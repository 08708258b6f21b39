#include "prereq/prerequisites.h"

#include <array>
#include <string>
#include <utility>

#include "platform/handles.h"
#include "prereq/shell.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::prereq {

namespace {

using platform::UniqueMsiHandle;

constexpr wchar_t kPrerequisitesQuery[] =
    L"SELECT `Order`, `PrerequisiteId`, `Name`, `RequiredVersion`, `InstalledVersionPropertyName`, "
    L"`StatusPropertyName`, `StatusTextPropertyName` FROM `Prerequisites` ORDER BY `Order`";
constexpr wchar_t kStepsQuery[] =
    L"SELECT `Order`, `PrerequisiteId_`, `ActionFlags`, `Condition`, `Property`, `Value`, `Action`, "
    L"`ProgressText`, `ExpectedDuration`, `ProgressUpdateInterval` FROM `PrerequisiteActions` "
    L"WHERE `PrerequisiteId_`=? ORDER BY `Order`";

constexpr char kReadPrerequisitesKey[] = "INTF_readPrerequisites";
constexpr char kReadStepsKey[] = "INTF_readPrerequisiteActions";
constexpr char kReadCheckStepsKey[] = "INTF_readCheckActions";
constexpr char kReadInstallStepsKey[] = "INTF_readInstallActions";
constexpr char kExecKey[] = "INTF_ExecPrerequisiteActions";
constexpr wchar_t kExecScope[] = L"ExecPrerequisiteActions";

constexpr wchar_t kResultProperty[] = L"CheckPrerequisitesResult";

// The display values of a prerequisite, published under "CHKRQ_PROD" + slot
// + suffix; the slot is a prerequisite's id or a number.
constexpr std::array<const wchar_t*, 5> kSuffixes{L"_NAME", L"_VERSIONNEED", L"_VERSIONFOUND", L"_STATUSTEXT",
                                                  L"_STATUSCODE"};
using DisplayValues = std::array<std::wstring, kSuffixes.size()>;
constexpr int kClearedSlots = 4;
constexpr size_t kPropertyNameChars = 120;  // the name buffer, terminator included

void SetProperty(MSIHANDLE hInstall, const std::wstring& name, const std::wstring& value) {
    ::MsiSetPropertyW(hInstall, name.c_str(), value.c_str());
}

std::wstring PropertyValue(MSIHANDLE hInstall, const std::wstring& name) {
    return runtime::MsiProperty(hInstall, name.c_str()).Str();
}

// Reads the columns of one row in turn; the first failure is logged as
// "failed to get <table> record <column>" and ends the reading.
class RowReader {
public:
    RowReader(MSIHANDLE record, const char* table) : record_(record), table_(table) {}

    // A null integer reads as 0.
    bool Integer(UINT field, const char* column, int& value) {
        const HRESULT hr = runtime::WcaGetRecordInteger(record_, field, &value);
        if (hr == S_FALSE) value = 0;
        return Succeeded(hr, column);
    }
    bool String(UINT field, const char* column, std::wstring& value) {
        return Text(&runtime::WcaGetRecordString, field, column, value);
    }
    bool Formatted(UINT field, const char* column, std::wstring& value) {
        return Text(&runtime::WcaGetRecordFormattedString, field, column, value);
    }
    HRESULT Status() const { return status_; }

private:
    using TextReader = HRESULT (*)(MSIHANDLE, UINT, LPWSTR*);

    bool Text(TextReader read, UINT field, const char* column, std::wstring& value) {
        runtime::ScopedLayerString text;
        const HRESULT hr = read(record_, field, text.put());
        value = text.str();
        return Succeeded(hr, column);
    }
    bool Succeeded(HRESULT hr, const char* column) {
        if (SUCCEEDED(hr)) return true;
        status_ = hr;
        runtime::WcaLogError(hr, "failed to get %s record %s", table_, column);
        return false;
    }

    MSIHANDLE record_;
    const char* table_;
    HRESULT status_ = S_OK;
};

// Hands every row of an executed view to `readRow` until the end of the
// view (success) or the first failure.
template <typename ReadRow>
HRESULT ForEachRow(MSIHANDLE view, const char* table, ReadRow readRow) {
    for (;;) {
        UniqueMsiHandle record;
        HRESULT hr = runtime::WcaFetchRecord(view, record.put());
        if (hr == runtime::kHrNoMoreItems) return S_OK;
        if (FAILED(hr)) {
            runtime::WcaLogError(hr, "failed while looping through all objects in %s table", table);
            return hr;
        }
        hr = readRow(record.get());
        if (FAILED(hr)) return hr;
    }
}

HRESULT ReadPrerequisite(MSIHANDLE hInstall, MSIHANDLE record, std::vector<Prerequisite>& prerequisites) {
    RowReader row(record, "Prerequisites");
    Prerequisite prerequisite;
    prerequisite.hInstall = hInstall;
    const bool complete =
        row.Integer(1, "Order", prerequisite.order) && row.String(2, "PrerequisiteId", prerequisite.id) &&
        row.Formatted(3, "Name", prerequisite.name) && row.String(4, "RequiredVersion", prerequisite.requiredVersion) &&
        row.String(5, "InstalledVersionPropertyName", prerequisite.installedVersionPropertyName) &&
        row.String(6, "StatusPropertyName", prerequisite.statusPropertyName) &&
        row.String(7, "StatusTextPropertyName", prerequisite.statusTextPropertyName);
    if (complete) prerequisites.push_back(std::move(prerequisite));
    return row.Status();
}

HRESULT ReadPrerequisiteRows(MSIHANDLE hInstall, std::vector<Prerequisite>& prerequisites) {
    UniqueMsiHandle view;
    HRESULT hr = runtime::WcaOpenView(kPrerequisitesQuery, view.put());
    if (SUCCEEDED(hr)) hr = runtime::WcaExecuteView(view.get(), 0);
    if (FAILED(hr)) {
        runtime::WcaLogError(hr, "failed to open view on Prerequisites table");
        return hr;
    }
    return ForEachRow(view.get(), "Prerequisites",
                      [&](MSIHANDLE record) { return ReadPrerequisite(hInstall, record, prerequisites); });
}

// ActionFlags first: a row that the mask does not take is not read further.
HRESULT ReadStep(MSIHANDLE hInstall, MSIHANDLE record, std::uint32_t mask, std::vector<PrerequisiteStep>& steps) {
    RowReader row(record, "PrerequisiteActions");
    int actionFlags = 0;
    if (!row.Integer(3, "ActionFlags", actionFlags)) return row.Status();
    if (!(static_cast<std::uint32_t>(actionFlags) & mask)) return S_OK;

    PrerequisiteStep step;
    step.hInstall = hInstall;
    step.actionFlags = static_cast<std::uint32_t>(actionFlags);
    std::wstring condition;
    if (!(row.Integer(1, "Order", step.order) && row.String(2, "PrerequisiteId_", step.prerequisiteId) &&
          row.String(4, "Condition", condition)))
        return row.Status();
    step.condition = ::MsiEvaluateConditionW(hInstall, condition.c_str());
    const bool complete = row.String(5, "Property", step.property) && row.String(6, "Value", step.value) &&
                          row.String(7, "Action", step.action) && row.Formatted(8, "ProgressText", step.progressText) &&
                          row.Integer(9, "ExpectedDuration", step.expectedDuration) &&
                          row.Integer(10, "ProgressUpdateInterval", step.progressUpdateInterval);
    if (complete) steps.push_back(std::move(step));
    return row.Status();
}

HRESULT ReadStepRows(MSIHANDLE hInstall, std::vector<PrerequisiteStep>& steps, const std::wstring& prerequisiteId,
                     std::uint32_t mask) {
    UniqueMsiHandle parameters(::MsiCreateRecord(1));
    if (!parameters) {
        runtime::WcaLogError(E_OUTOFMEMORY, "Failed to create record in readPrerequisiteActions");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = runtime::WcaSetRecordString(parameters.get(), 1, prerequisiteId.c_str());
    if (FAILED(hr)) {
        runtime::WcaLogError(hr, "Failed to set record string in readPrerequisiteActions");
        return hr;
    }
    UniqueMsiHandle view;
    hr = runtime::WcaOpenView(kStepsQuery, view.put());
    if (FAILED(hr)) {
        runtime::WcaLogError(hr, "failed to open view on PrerequisiteActions table");
        return hr;
    }
    hr = runtime::WcaExecuteView(view.get(), parameters.get());
    if (FAILED(hr)) {
        runtime::WcaLogError(hr, "Failed to execute view on PrerequisiteActions table");
        return hr;
    }
    return ForEachRow(view.get(), "PrerequisiteActions",
                      [&](MSIHANDLE record) { return ReadStep(hInstall, record, mask, steps); });
}

std::vector<PrerequisiteStep> ReadPassSteps(MSIHANDLE hInstall, const std::wstring& prerequisiteId, std::uint32_t mask,
                                            const char* traceKey, const wchar_t* scope) {
    const UINT flags = runtime::GetTracerFlags(traceKey);
    std::vector<PrerequisiteStep> steps;
    const HRESULT hr = readPrerequisiteActions(hInstall, steps, prerequisiteId, mask);
    if (FAILED(hr))
        runtime::AssertBox(flags, scope, L"readPrerequisiteActions Failed",
                           L"Error 0x%X while reading `PrerequisiteActions` table.", static_cast<unsigned>(hr));
    return steps;
}

// An installer action: its result is only traced.
std::wstring RunInstallerAction(const PrerequisiteStep& step, UINT flags) {
    const UINT result = ::MsiDoActionW(step.hInstall, step.action.c_str());
    if (flags & runtime::TF_TRACE) {
        const std::wstring title = runtime::FormatWide(L"MsiDoAction(%i, \"%s\") result",
                                                       static_cast<int>(step.hInstall), step.action.c_str());
        runtime::RaiseEvent(flags, runtime::TF_TRACE, kExecScope, title.c_str(), L"result = 0x%X", result);
    }
    return kOutcomeOk;
}

// A command line with progress: its exit code goes to the step's property.
std::wstring RunCommand(const PrerequisiteStep& step) {
    const int code = ShellWithProgress(step.action.c_str(), step.hInstall, step.progressText.c_str(),
                                       step.expectedDuration, step.progressUpdateInterval);
    const std::wstring text = std::to_wstring(code);
    if (!step.property.empty()) SetProperty(step.hInstall, step.property, text);
    return code == 0 ? kOutcomeOk : text;
}

// "CHKRQ_PROD" + slot + suffix, cut like the name buffer cuts it.
std::wstring DisplayPropertyName(const std::wstring& slot, const wchar_t* suffix) {
    std::wstring name = L"CHKRQ_PROD" + slot + suffix;
    if (name.size() >= kPropertyNameChars) name.resize(kPropertyNameChars - 1);
    return name;
}

void PublishDisplayValues(MSIHANDLE hInstall, const std::wstring& slot, const DisplayValues& values) {
    for (size_t i = 0; i < kSuffixes.size(); ++i)
        SetProperty(hInstall, DisplayPropertyName(slot, kSuffixes[i]), values[i]);
}

DisplayValues CurrentDisplayValues(const Prerequisite& prerequisite) {
    const MSIHANDLE hInstall = prerequisite.hInstall;
    return {prerequisite.name, prerequisite.requiredVersion,
            PropertyValue(hInstall, prerequisite.installedVersionPropertyName),
            PropertyValue(hInstall, prerequisite.statusTextPropertyName),
            PropertyValue(hInstall, prerequisite.statusPropertyName)};
}

bool IsPresentStatus(const std::wstring& status) { return status == L"OK" || status == L"1"; }

// The prerequisites, or nothing after an assertion report when the table
// cannot be read: the pass then assumes everything is present.
bool ReadPrerequisitesOrReport(MSIHANDLE hInstall, const wchar_t* actionName, UINT flags,
                               std::vector<Prerequisite>& prerequisites) {
    const HRESULT hr = readPrerequisites(hInstall, prerequisites);
    if (SUCCEEDED(hr)) return true;
    runtime::AssertBox(flags, actionName, L"readPrerequisites Failed",
                       L"Error 0x%X while checking prerequisites, assume everything is present.\n"
                       L"(Installer may fail later if not the case.)",
                       static_cast<unsigned>(hr));
    return false;
}

}  // namespace

HRESULT readPrerequisites(MSIHANDLE hInstall, std::vector<Prerequisite>& prerequisites) {
    const runtime::WcaInitializer attached(hInstall, kReadPrerequisitesKey);
    const UINT flags = runtime::GetTracerFlags(kReadPrerequisitesKey);
    const HRESULT hr = ReadPrerequisiteRows(hInstall, prerequisites);
    runtime::TraceIf(flags, runtime::TF_TRACE, L"readPrerequisites", L"return hr;", L"Finishing with code: 0x%X",
                     static_cast<unsigned>(hr));
    return hr;
}

HRESULT readPrerequisiteActions(MSIHANDLE hInstall, std::vector<PrerequisiteStep>& steps,
                                const std::wstring& prerequisiteId, std::uint32_t mask) {
    const runtime::WcaInitializer attached(hInstall, kReadStepsKey);
    const UINT flags = runtime::GetTracerFlags(kReadStepsKey);
    const HRESULT hr = ReadStepRows(hInstall, steps, prerequisiteId, mask);
    runtime::TraceIf(flags, runtime::TF_TRACE, L"readPrerequisiteActions", L"return hr;", L"Finishing with code: 0x%X",
                     static_cast<unsigned>(hr));
    return hr;
}

std::vector<PrerequisiteStep> readCheckActions(MSIHANDLE hInstall, const std::wstring& prerequisiteId) {
    return ReadPassSteps(hInstall, prerequisiteId, kCheckPassMask, kReadCheckStepsKey, L"readCheckActions");
}

std::vector<PrerequisiteStep> readInstallActions(MSIHANDLE hInstall, const std::wstring& prerequisiteId) {
    return ReadPassSteps(hInstall, prerequisiteId, kInstallPassMask, kReadInstallStepsKey, L"readInstallActions");
}

std::wstring ExecPrerequisiteActions(MSIHANDLE hInstall, const std::vector<PrerequisiteStep>& steps) {
    const runtime::WcaInitializer attached(hInstall, kExecKey);
    const UINT flags = runtime::GetTracerFlags(kExecKey);
    std::wstring outcome = kOutcomeNone;
    for (const PrerequisiteStep& step : steps) {
        if (step.condition == MSICONDITION_ERROR) {
            runtime::AssertBox(flags, kExecScope, L"Failed performing MsiEvaluateCondition", L"%s",
                               kOutcomeConditionError);
            return kOutcomeConditionError;
        }
        if (step.condition == MSICONDITION_FALSE) continue;
        if (!step.property.empty()) SetProperty(hInstall, step.property, step.value);
        if (step.action.empty()) continue;
        outcome = (step.actionFlags & kCommandStep) ? RunCommand(step) : RunInstallerAction(step, flags);
    }
    return outcome;
}

void CheckPrerequisitesImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    SetProperty(hInstall, kResultProperty, L"OK");
    std::vector<Prerequisite> prerequisites;
    if (!ReadPrerequisitesOrReport(hInstall, actionName, flags, prerequisites)) return;

    DisplayValues cleared;
    cleared.fill(L"  ");
    for (int slot = 1; slot <= kClearedSlots; ++slot) PublishDisplayValues(hInstall, std::to_wstring(slot), cleared);

    int failed = 0;
    for (const Prerequisite& prerequisite : prerequisites) {
        const DisplayValues values = CurrentDisplayValues(prerequisite);  // before any step runs
        PublishDisplayValues(hInstall, prerequisite.id, values);
        const std::vector<PrerequisiteStep> steps = readCheckActions(hInstall, prerequisite.id);
        if (steps.empty() || ExecPrerequisiteActions(hInstall, steps) == kOutcomeNone) continue;
        if (IsPresentStatus(PropertyValue(hInstall, prerequisite.statusPropertyName))) continue;
        PublishDisplayValues(hInstall, std::to_wstring(++failed), values);
        SetProperty(hInstall, kResultProperty, L"E_FAILED");
    }
}

void InstallPrerequisitesImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    std::vector<Prerequisite> prerequisites;
    if (!ReadPrerequisitesOrReport(hInstall, actionName, flags, prerequisites)) return;
    for (const Prerequisite& prerequisite : prerequisites) {
        const std::vector<PrerequisiteStep> steps = readInstallActions(hInstall, prerequisite.id);
        if (!steps.empty()) ExecPrerequisiteActions(hInstall, steps);
    }
}

}  // namespace ondex::prereq
