#include "log_report.h"

#include <algorithm>
#include <cstdio>

#include "log_text.h"

namespace ondex::logreader {
namespace {

// The library's own secrets (see src/runtime/session.cpp).
constexpr std::string_view kLibrarySecrets[] = {"ShellCommandHidden", "CREDUICONFIRM"};
// Shorter values would mask ordinary digits and words; their names still mask them.
constexpr size_t kShortestMaskedValue = 3;
constexpr int kDayMilliseconds = 24 * 60 * 60 * 1000;

bool NamesPassword(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return upper.find("PASSWORD") != std::string::npos;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Masks what follows a secret name ending at text[end]: "NAME = v", "NAME=v",
// "NAME: v" to the end of the line, or the next quoted text ("'NAME' ... 'v'").
void MaskAfterName(std::string& text, size_t end) {
    size_t at = end;
    if (at < text.size() && text[at] == '\'') ++at;
    while (at < text.size() && text[at] == ' ') ++at;
    if (at < text.size() && (text[at] == '=' || text[at] == ':')) {
        size_t value = at + 1;
        while (value < text.size() && text[value] == ' ') ++value;
        if (value < text.size()) text.replace(value, std::string::npos, kMask);
        return;
    }
    const size_t open = text.find('\'', at);
    const size_t close = open == std::string::npos ? open : text.find('\'', open + 1);
    if (close != std::string::npos && close > open + 1) text.replace(open + 1, close - open - 1, kMask);
}

ClockTime WithMilliseconds(ClockTime time, const std::optional<ClockTime>& stamp) {
    if (stamp && stamp->millisecondsOfDay / 1000 == time.millisecondsOfDay / 1000) return *stamp;
    return time;
}

std::string ClockText(ClockTime time) {
    const int ms = time.millisecondsOfDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    std::string result = text;
    if (time.hasMilliseconds) {
        std::snprintf(text, sizeof text, ".%03d", ms % 1000);
        result += text;
    }
    return result;
}

std::string DurationText(ClockTime start, ClockTime end) {
    int ms = end.millisecondsOfDay - start.millisecondsOfDay;
    if (ms < 0) ms += kDayMilliseconds;  // past midnight
    char text[24];
    if (start.hasMilliseconds && end.hasMilliseconds)
        std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    else
        std::snprintf(text, sizeof text, "%d s", ms / 1000);
    return text;
}

std::string ResultText(const ActionRun& run, bool windowsEngine) {
    if (run.skipped) return "skipped";
    if (run.deferred && run.end) {
        const bool failed = std::any_of(run.lines.begin(), run.lines.end(),
                                        [](const RunLine& line) { return line.text.starts_with("CustomAction "); });
        return failed ? "failure(3)" : "success";
    }
    if (!run.returnValue) return "not ended";
    switch (*run.returnValue) {
    case 0: return windowsEngine ? "skipped(0)" : "failure(0)";
    case 1: return "success";
    case 2: return "cancel(2)";
    case 3: return "failure(3)";
    case 4: return "suspended(4)";
    default: return "unknown(" + std::to_string(*run.returnValue) + ")";
    }
}

// An action run being read, with whether the library spoke inside it.
struct OpenRun {
    size_t index;
    bool library;
    bool deferred;
};

class RunReader {
public:
    explicit RunReader(const std::vector<std::string>& lines) : mask_(lines) {}

    void Read(std::string_view text) {
        const LogLine line = ParseLogLine(text);
        if (line.stamp) lastStamp_ = line.stamp;
        switch (line.kind) {
        case LineKind::ActionStart: Start(line); break;
        case LineKind::ActionEnded: End(line); break;
        case LineKind::ActionSkipped: Skip(line); break;
        case LineKind::ScriptAction: StartDeferred(line); break;
        case LineKind::EntryPoint:
            if (!open_.empty()) Top().exportName = line.name;
            break;
        case LineKind::LibraryLine:
        case LineKind::LibraryError:
        case LineKind::EngineError: Keep(line, text); break;
        default: break;
        }
    }

    LogReport Finish(bool windowsEngine) {
        for (const auto& run : open_) Close(run, std::nullopt);
        LogReport report{{}, windowsEngine};
        for (size_t i = 0; i < runs_.size(); ++i)
            if (library_[i] || IsLibraryExport(runs_[i].action) || IsLibraryExport(runs_[i].exportName))
                report.runs.push_back(std::move(runs_[i]));
        return report;
    }

private:
    ActionRun& Top() { return runs_[open_.back().index]; }

    size_t Add(ActionRun run) {
        runs_.push_back(std::move(run));
        library_.push_back(false);
        return runs_.size() - 1;
    }

    void Start(const LogLine& line) {
        ActionRun run;
        run.action = line.name;
        run.start = WithMilliseconds(*line.time, lastStamp_);
        open_.push_back({Add(std::move(run)), false, false});
    }

    // A deferred action runs until the script's next action or the end of
    // the action that runs the script (InstallFinalize).
    void StartDeferred(const LogLine& line) {
        if (!open_.empty() && open_.back().deferred) {
            Close(open_.back(), lastStamp_);
            open_.pop_back();
        }
        ActionRun run;
        run.action = line.name;
        run.start = lastStamp_;
        run.deferred = true;
        open_.push_back({Add(std::move(run)), false, true});
    }

    void Close(const OpenRun& open, std::optional<ClockTime> end) {
        library_[open.index] = library_[open.index] || open.library;
        if (open.deferred) runs_[open.index].end = end;
    }

    // Ends the innermost open run of that name; runs opened inside it stay unended.
    void End(const LogLine& line) {
        const auto match = std::find_if(open_.rbegin(), open_.rend(),
                                        [&](const OpenRun& run) { return runs_[run.index].action == line.name; });
        if (match == open_.rend()) return;
        ActionRun& run = runs_[match->index];
        run.end = WithMilliseconds(*line.time, lastStamp_);
        run.returnValue = line.returnValue;
        for (auto it = open_.rbegin(); it != match + 1; ++it) Close(*it, run.end);
        open_.erase(match.base() - 1, open_.end());
    }

    void Skip(const LogLine& line) {
        ActionRun run;
        run.action = line.name;
        if (lastStamp_) run.start = *lastStamp_;
        run.skipped = true;
        Add(std::move(run));
    }

    void Keep(const LogLine& line, std::string_view text) {
        if (open_.empty()) return;
        ActionRun& run = Top();
        if (line.kind != LineKind::EngineError) {
            open_.back().library = true;
            if (run.exportName.empty() && IsLibraryExport(line.name)) run.exportName = line.name;
        }
        run.lines.push_back({mask_.Apply(Printable(text)), line.kind != LineKind::LibraryLine});
    }

    SecretMask mask_;
    std::vector<ActionRun> runs_;
    std::vector<bool> library_;
    std::vector<OpenRun> open_;
    std::optional<ClockTime> lastStamp_;
};

}  // namespace

SecretMask::SecretMask(const std::vector<std::string>& lines) {
    std::vector<LogLine> properties;
    for (const auto& text : lines) {
        LogLine line = ParseLogLine(text);
        if (line.kind != LineKind::Property) continue;
        if (line.name == "MsiHiddenProperties") {
            for (size_t start = 0; start <= line.value.size();) {
                const size_t end = std::min(line.value.find(';', start), line.value.size());
                if (end > start) hiddenNames_.push_back(line.value.substr(start, end - start));
                start = end + 1;
            }
        }
        properties.push_back(std::move(line));
    }
    for (const auto& property : properties) {
        if (!IsSecretName(property.name)) continue;
        secretNames_.push_back(property.name);
        if (property.value.size() >= kShortestMaskedValue && property.value != kMask)
            secretValues_.push_back(property.value);
    }
    std::sort(secretValues_.begin(), secretValues_.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
}

bool SecretMask::IsSecretName(std::string_view name) const {
    return std::find(std::begin(kLibrarySecrets), std::end(kLibrarySecrets), name) != std::end(kLibrarySecrets) ||
           NamesPassword(name) || std::find(hiddenNames_.begin(), hiddenNames_.end(), name) != hiddenNames_.end();
}

std::string SecretMask::Apply(std::string_view line) const {
    std::string text(line);
    for (const auto& value : secretValues_) ReplaceAll(text, value, kMask);
    for (size_t at = 0; at < text.size();) {
        if (!IsNameChar(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        size_t nameEnd = end;
        while (nameEnd > at && text[nameEnd - 1] == '.') --nameEnd;
        if (IsSecretName(std::string_view(text).substr(at, nameEnd - at))) MaskAfterName(text, nameEnd);
        at = end;
    }
    return text;
}

LogReport ReadLog(const std::vector<std::string>& lines) {
    RunReader reader(lines);
    bool windowsEngine = false;
    for (const auto& line : lines) {
        windowsEngine = windowsEngine || line.starts_with("MSI (");
        reader.Read(line);
    }
    return reader.Finish(windowsEngine);
}

std::string FormatRun(const ActionRun& run, bool windowsEngine) {
    std::string text = run.action;
    if (!run.exportName.empty() && run.exportName != run.action) text += " (export " + run.exportName + ")";
    if (run.start) text += " start " + ClockText(*run.start);
    if (run.start && run.end) text += ", " + DurationText(*run.start, *run.end);
    text += ", result " + ResultText(run, windowsEngine) + "\n";
    for (const auto& line : run.lines) text += (line.error ? "  ! " : "    ") + line.text + "\n";
    return text;
}

std::string FormatReport(const LogReport& report) {
    std::string text;
    size_t unsuccessful = 0;
    for (const auto& run : report.runs) {
        text += FormatRun(run, report.windowsEngine);
        unsuccessful += ResultText(run, report.windowsEngine) != "success";
    }
    text += std::to_string(report.runs.size()) + " runs of the library's actions, " + std::to_string(unsuccessful) +
            " not successful\n";
    return text;
}

}  // namespace ondex::logreader
