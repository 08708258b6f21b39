#include "log_line.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace ondex::logreader {
namespace {

constexpr std::string_view kLibraryExports[] = {
#include "ondex_export_names.inc"
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Removes prefix from text when text starts with it.
bool Consume(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// The identifier at the start of text ("Name" of "Name. Return value 1.").
std::string_view LeadingName(std::string_view text) {
    const auto end = std::find_if_not(text.begin(), text.end(), IsNameChar);
    std::string_view name = text.substr(0, end - text.begin());
    while (name.ends_with('.')) name.remove_suffix(1);
    return name;
}

// "12:34:56: Name." after "Action start "; "... Return value N." after "Action ended ".
bool ParseActionTimeAndName(std::string_view rest, LogLine& line) {
    const size_t colon = rest.find(": ");
    if (colon == std::string_view::npos) return false;
    line.time = ParseClock(rest.substr(0, colon));
    line.name = LeadingName(rest.substr(colon + 2));
    return line.time && !line.name.empty();
}

void ParseActionLine(std::string_view text, LogLine& line) {
    if (Consume(text, "Action start ")) {
        if (ParseActionTimeAndName(text, line)) line.kind = LineKind::ActionStart;
    } else if (Consume(text, "Action ended ")) {
        const size_t mark = text.rfind("Return value ");
        if (mark == std::string_view::npos || !ParseActionTimeAndName(text, line)) return;
        std::string_view digits = text.substr(mark + 13);
        if (digits.ends_with('.')) digits.remove_suffix(1);
        if (const auto value = Number(digits)) {
            line.kind = LineKind::ActionEnded;
            line.returnValue = *value;
        }
    }
}

// "Property(S): Name = value" and "Property(C): ...".
void ParsePropertyDump(std::string_view text, LogLine& line) {
    if (!Consume(text, "Property(") || text.size() < 4 || text.substr(1, 3) != "): ") return;
    text.remove_prefix(4);
    const size_t equals = text.find(" = ");
    if (equals == std::string_view::npos || equals == 0) return;
    line.kind = LineKind::Property;
    line.name = text.substr(0, equals);
    line.value = text.substr(equals + 3);
}

// The text between the first "'" after marker and the last "'" before "." at the end.
std::optional<std::string_view> QuotedAfter(std::string_view text, std::string_view marker) {
    const size_t at = text.find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(at + marker.size());
    if (rest.ends_with(".")) rest.remove_suffix(1);
    if (rest.size() < 2 || rest.front() != '\'' || rest.back() != '\'') return std::nullopt;
    return rest.substr(1, rest.size() - 2);
}

// "PROPERTY CHANGE: Adding Name property. Its value is 'v'." and
// "PROPERTY CHANGE: Modifying Name property. Its current value is 'a'. Its new value: 'b'."
void ParsePropertyChange(std::string_view text, LogLine& line) {
    if (!Consume(text, "PROPERTY CHANGE: ")) return;
    if (!Consume(text, "Adding ") && !Consume(text, "Modifying ")) return;
    const std::string_view name = LeadingName(text);
    const auto value = QuotedAfter(text, "Its value is ") ? QuotedAfter(text, "Its value is ")
                                                          : QuotedAfter(text, "Its new value: ");
    if (name.empty() || !value) return;
    line.kind = LineKind::Property;
    line.name = name;
    line.value = *value;
}

void ParseEngineMessage(std::string_view text, LogLine& line) {
    if (Consume(text, "Skipping action: ")) {
        line.name = LeadingName(text);
        if (!line.name.empty()) line.kind = LineKind::ActionSkipped;
    } else if (text.starts_with("Invoking remote custom action.")) {
        const size_t at = text.find("Entrypoint: ");
        if (at == std::string_view::npos) return;
        line.name = LeadingName(text.substr(at + 12));
        if (!line.name.empty()) line.kind = LineKind::EntryPoint;
    } else if (Consume(text, "Executing op: ActionStart(Name=")) {
        line.name = LeadingName(text);
        if (!line.name.empty()) line.kind = LineKind::ScriptAction;
    } else {
        ParsePropertyChange(text, line);
    }
}

// "Scope:  text": the library's log lines carry the action's log name and two spaces.
bool ParseScopedLine(std::string_view text, LogLine& line) {
    const size_t colon = text.find(":  ");
    if (colon == 0 || colon > 64 || colon == std::string_view::npos) return false;
    const std::string_view scope = text.substr(0, colon);
    if (!std::all_of(scope.begin(), scope.end(), IsNameChar) || IsDigit(scope[0])) return false;
    const std::string_view rest = text.substr(colon + 3);
    line.kind = rest.starts_with("Error 0x") || rest.starts_with("! ") ? LineKind::LibraryError : LineKind::LibraryLine;
    line.name = scope;
    return true;
}

void ParseLibraryLine(std::string_view text, LogLine& line) {
    if (text.starts_with("Tolka ") && text.size() > 15 && ParseClock(text.substr(6, 8)) && text.substr(14, 2) == ": ") {
        line.kind = text.find(": (0x") != std::string_view::npos ? LineKind::LibraryError : LineKind::LibraryLine;
    } else if (text.starts_with("***Ondex*** ")) {
        line.kind = text.starts_with("***Ondex*** [") ? LineKind::LibraryError : LineKind::LibraryLine;
    } else if (text.starts_with("CustomAction ") && text.find(" returned actual error code ") != std::string_view::npos) {
        line.kind = LineKind::EngineError;
        line.name = LeadingName(text.substr(13));
    } else {
        ParseScopedLine(text, line);
    }
}

// "MSI (s) (C8:2C) [12:34:56:789]: " in front of the engine's own lines.
std::string_view StripEnginePrefix(std::string_view text, LogLine& line) {
    if (!text.starts_with("MSI (")) return text;
    const size_t open = text.find('[');
    const size_t close = text.find("]: ");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return text;
    line.stamp = ParseClock(text.substr(open + 1, close - open - 1));
    return text.substr(close + 3);
}

}  // namespace

std::optional<ClockTime> ParseClock(std::string_view text) {
    std::array<int, 4> parts{};
    size_t count = 0;
    while (count < parts.size()) {
        const size_t end = std::min(text.find_first_of(":."), text.size());
        const auto value = Number(text.substr(0, end));
        if (!value || end == 0 || end > 3) return std::nullopt;
        parts[count++] = *value;
        if (end == text.size()) break;
        text.remove_prefix(end + 1);
        if (count == parts.size()) return std::nullopt;
    }
    if (count < 3 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return ClockTime{((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + parts[3], count == 4};
}

bool IsNameChar(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.'; }

std::span<const std::string_view> LibraryExports() { return kLibraryExports; }

bool IsLibraryExport(std::string_view name) {
    return std::find(std::begin(kLibraryExports), std::end(kLibraryExports), name) != std::end(kLibraryExports);
}

LogLine ParseLogLine(std::string_view text) {
    LogLine line;
    const bool fromEngine = text.starts_with("MSI (");
    text = StripEnginePrefix(text, line);
    if (text.starts_with("Action ")) {
        ParseActionLine(text, line);
    } else if (text.starts_with("Property(")) {
        ParsePropertyDump(text, line);
    } else if (fromEngine) {
        ParseEngineMessage(text, line);
    } else {
        ParseLibraryLine(text, line);
    }
    if (line.kind == LineKind::Other) {
        LogLine other;
        other.stamp = line.stamp;
        return other;
    }
    return line;
}

}  // namespace ondex::logreader
