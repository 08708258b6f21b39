#pragma once
// The runs of the library's actions in a verbose installer log, with
// secret values masked, and their plain-text report.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log_line.h"

namespace ondex::logreader {

inline constexpr std::string_view kMask = "**********";

// The secret property names and values a log reveals: names listed in
// MsiHiddenProperties, names containing PASSWORD, the library's own secrets.
class SecretMask {
public:
    explicit SecretMask(const std::vector<std::string>& lines);
    bool IsSecretName(std::string_view name) const;
    std::string Apply(std::string_view line) const;

private:
    std::vector<std::string> hiddenNames_;
    std::vector<std::string> secretNames_;
    std::vector<std::string> secretValues_;
};

struct RunLine {
    std::string text;
    bool error = false;
};

struct ActionRun {
    std::string action;
    std::string exportName;  // the DLL entry, when known
    std::optional<ClockTime> start, end;
    std::optional<int> returnValue;
    bool skipped = false;
    bool deferred = false;  // run by the script: no return value of its own
    std::vector<RunLine> lines;
};

struct LogReport {
    std::vector<ActionRun> runs;
    bool windowsEngine = false;  // Wine logs "Return value 0" for a failure
};

LogReport ReadLog(const std::vector<std::string>& lines);
std::string FormatRun(const ActionRun& run, bool windowsEngine);
std::string FormatReport(const LogReport& report);

}  // namespace ondex::logreader
