#include "prereq/shell_actions.h"

#include <string>

#include "prereq/shell.h"
#include "prereq/shell_text.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"
#include "runtime/user_box.h"

namespace ondex::prereq {

namespace {

constexpr UINT kToolFailureBoxStyle = MB_ICONWARNING | MB_TOPMOST;

// `text` with every occurrence of `command` masked.
std::wstring MaskCommand(std::wstring text, const std::wstring& command) {
    runtime::ReplaceAll(text, command, runtime::kHiddenValue);
    return text;
}

// Runs the command held by `commandProperty`; its text is traced only when
// the property is neither secret by nature nor listed as hidden.
void RunShellCommandProperty(const wchar_t* commandProperty, bool commandIsSecret, const wchar_t* actionName,
                             UINT flags, MSIHANDLE hInstall) {
    runtime::MsiProperty command(hInstall, commandProperty);
    runtime::MsiProperty status(hInstall, L"ShellStatus");
    runtime::MsiProperty duration(hInstall, L"ShellDuration");
    const std::wstring commandLine = command.Str();
    const std::wstring statusText = status.Str();
    const UsedValue<int> ticks = ShellDurationTicks(duration.Str());
    if (ticks.adjusted)
        runtime::WcaLog(runtime::LOGMSG_STANDARD,
                        "ShellDuration is out of range; the progress bar is sized for %d ticks.", ticks.value);

    const bool hidden = commandIsSecret || runtime::WcaIsHiddenProperty(hInstall, commandProperty);
    const wchar_t* shown = hidden ? runtime::kHiddenValue : commandLine.c_str();
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"Executing SQL Express installer", L"%s", shown);
    const int code = ShellWithProgress(commandLine.c_str(), hInstall, statusText.c_str(), ticks.value, 1);
    runtime::TraceIf(flags, runtime::TF_TRACE, actionName, L"ShellProgress Result Code", L"%i", code);
}

}  // namespace

void ShellProgressImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    RunShellCommandProperty(L"ShellCommand", false, actionName, flags, hInstall);
}

void ShellProgressHiddenImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    RunShellCommandProperty(L"ShellCommandHidden", true, actionName, flags, hInstall);
}

void BathShellImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const auto script = SplitBathShellData(runtime::MsiProperty(hInstall, L"CustomActionData").Str());
    if (!script) return;
    const wchar_t* title = script->title.c_str();
    if (SendActionStart(hInstall, L"BathShell", title, title) == IDCANCEL) {
        result = ERROR_INSTALL_USEREXIT;
        return;
    }
    for (const std::wstring& command : script->commands) {
        std::wstring errorText;
        if (RunToolCaptured(command.c_str(), errorText)) continue;
        // The data is hidden: an explanation of a tool that could not start
        // names it without its command line, since the box reaches the log.
        runtime::ShowBox(hInstall, nullptr, ToolFailureBoxText(MaskCommand(errorText, command)).c_str(), L"Setup",
                         kToolFailureBoxStyle);
        result = ERROR_INSTALL_FAILURE;
        return;
    }
}

}  // namespace ondex::prereq
