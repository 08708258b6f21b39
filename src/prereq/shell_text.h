#pragma once
// Text rules of the command runner: the BathShell data layout, the texts the
// runner shows when a tool fails, and the tick counting of the progress bar.
// Pure logic: no Windows headers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::prereq {

inline constexpr std::wstring_view kBathShellSeparator = L"|||";

// BathShell data: title "|||" command1 "|||" ... "|||" commandN.
struct BathShellScript {
    std::wstring title;
    std::vector<std::wstring> commands;
};

// Nothing (the action does nothing) when the data is shorter than the
// separator or holds none. Every separator after the title ends one command,
// empty ones included; the remainder after the last separator counts as a
// command only when it is longer than 4 characters.
std::optional<BathShellScript> SplitBathShellData(std::wstring_view data);

// How RunToolCaptured reports a tool it could not run or follow.
enum class ToolRunStatus { ExitCodeUnknown = -1, StartFailed = -2, StartException = -3 };

// "An error occurred while trying to run command:\n" + command, then the
// reason for a failed start or an exception while starting.
std::wstring ToolRunExplanation(ToolRunStatus status, std::wstring_view commandLine);

// The text of the box BathShell shows for the first failing tool.
std::wstring ToolFailureBoxText(std::wstring_view errorText);

// A value the runner uses, and whether it differs from the one it was given
// (the runner logs that).
template <typename T>
struct UsedValue {
    T value;
    bool adjusted;
};

// "ShellDuration" in ticks: its decimal value; 60 when empty or negative,
// 2147483647 when larger (both adjusted).
UsedValue<int> ShellDurationTicks(std::wstring_view value);

// The wait of one progress tick in milliseconds for an update interval in
// seconds. A null or zero interval waits 100 ms (at most ten ticks a second),
// a negative one the usual 1 s, and an interval whose milliseconds do not fit
// an int the longest that does (2147483 s); all three are adjusted.
UsedValue<std::uint32_t> ProgressTickWait(int intervalSeconds);

// The ticks of one progress bar while a command runs: an increment per timed
// out wait (none when the total is 0), counted when the installer did not
// answer Cancel; once more ticks are done than the total, the bar starts over.
class ProgressTicks {
public:
    explicit ProgressTicks(int total) : total_(total) {}
    bool SendsIncrements() const { return total_ != 0; }
    // After one timed-out wait; true when the bar must be reset.
    bool AfterTimeout(bool incrementCounted);

private:
    int total_;
    int done_ = 0;
};

}  // namespace ondex::prereq
