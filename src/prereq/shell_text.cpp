#include "prereq/shell_text.h"

#include "runtime/trace_flags.h"

namespace ondex::prereq {

namespace {
// A trailing remainder this short is not taken as a command.
constexpr size_t kLongestIgnoredRemainder = 4;
constexpr int kDefaultShellDuration = 60;
}  // namespace

std::optional<BathShellScript> SplitBathShellData(std::wstring_view data) {
    const size_t titleEnd = data.find(kBathShellSeparator);
    if (titleEnd == std::wstring_view::npos) return std::nullopt;

    BathShellScript script{std::wstring(data.substr(0, titleEnd)), {}};
    size_t start = titleEnd + kBathShellSeparator.size();
    for (size_t end; (end = data.find(kBathShellSeparator, start)) != std::wstring_view::npos;
         start = end + kBathShellSeparator.size())
        script.commands.emplace_back(data.substr(start, end - start));

    const std::wstring_view remainder = data.substr(start);
    if (remainder.size() > kLongestIgnoredRemainder) script.commands.emplace_back(remainder);
    return script;
}

std::wstring ToolRunExplanation(ToolRunStatus status, std::wstring_view commandLine) {
    std::wstring text = L"An error occurred while trying to run command:\n";
    text += commandLine;
    if (status == ToolRunStatus::StartException) text += L"\nReason:Unknown exception.";
    if (status == ToolRunStatus::StartFailed) text += L"\nReason:Error creating process.";
    return text;
}

std::wstring ToolFailureBoxText(std::wstring_view errorText) {
    return L"Tool execution failed with the following error:\n" + std::wstring(errorText);
}

int ShellDurationTicks(std::wstring_view value) {
    if (value.empty()) return kDefaultShellDuration;
    return static_cast<int>(runtime::ParseDecimal(value));
}

bool ProgressTicks::AfterTimeout(bool incrementCounted) {
    if (SendsIncrements() && incrementCounted) ++done_;
    if (done_ <= total_) return false;
    done_ = 0;
    return true;
}

}  // namespace ondex::prereq
