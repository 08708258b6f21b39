#include "prereq/shell_text.h"

#include <climits>

namespace ondex::prereq {

namespace {
// A trailing remainder this short is not taken as a command.
constexpr size_t kLongestIgnoredRemainder = 4;
constexpr int kDefaultShellDuration = 60;

constexpr std::uint32_t kShortestTickMs = 100;
constexpr std::uint32_t kUsualTickMs = 1000;
constexpr int kLongestTickSeconds = INT_MAX / 1000;

// Blanks, a sign and decimal digits; a magnitude beyond INT_MAX stops growing.
long long SaturatedDecimal(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    const bool negative = i < text.size() && text[i] == L'-';
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && magnitude <= INT_MAX; ++i)
        magnitude = magnitude * 10 + (text[i] - L'0');
    return negative ? -magnitude : magnitude;
}
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

UsedValue<int> ShellDurationTicks(std::wstring_view value) {
    if (value.empty()) return {kDefaultShellDuration, false};
    const long long seconds = SaturatedDecimal(value);
    if (seconds < 0) return {kDefaultShellDuration, true};
    if (seconds > INT_MAX) return {INT_MAX, true};
    return {static_cast<int>(seconds), false};
}

UsedValue<std::uint32_t> ProgressTickWait(int intervalSeconds) {
    if (intervalSeconds == 0) return {kShortestTickMs, true};
    if (intervalSeconds < 0) return {kUsualTickMs, true};
    if (intervalSeconds > kLongestTickSeconds) return {kLongestTickSeconds * 1000u, true};
    return {static_cast<std::uint32_t>(intervalSeconds) * 1000u, false};
}

bool ProgressTicks::AfterTimeout(bool incrementCounted) {
    if (SendsIncrements() && incrementCounted) ++done_;
    if (done_ <= total_) return false;
    done_ = 0;
    return true;
}

}  // namespace ondex::prereq
