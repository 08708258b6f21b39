#pragma once
// One line of a verbose installer log, as the reader needs it. Lines of
// Windows' engine carry a prefix "MSI (s) (C8:2C) [12:34:56:789]: ".
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ondex::logreader {

// A time of day; milliseconds are 0 where the log gives seconds only.
struct ClockTime {
    int millisecondsOfDay = 0;
    bool hasMilliseconds = false;
};

enum class LineKind {
    Other,
    ActionStart,    // "Action start 12:34:56: Name."
    ActionEnded,    // "Action ended 12:34:57: Name. Return value 3."
    ActionSkipped,  // "Skipping action: Name (condition is false)"
    EntryPoint,     // "Invoking remote custom action. DLL: ..., Entrypoint: Export"
    ScriptAction,   // "Executing op: ActionStart(Name=Name,...)": a deferred action in the script
    Property,       // "Property(S): Name = value", "PROPERTY CHANGE: Adding Name property. Its value is 'value'."
    LibraryLine,    // "Tolka 12:34:56: ...", "Scope:  ...", "***Ondex*** ..."
    LibraryError,   // "Scope:  Error 0x...", "Scope:  ! ...", a stamped "***Ondex*** [...]" failure
    EngineError,    // "CustomAction Name returned actual error code 1603 ..."
};

struct LogLine {
    LineKind kind = LineKind::Other;
    std::string name;   // the action, property or export
    std::string value;  // a property's value
    std::optional<ClockTime> time;  // of an action's start or end
    std::optional<ClockTime> stamp;  // of the engine's prefix
    int returnValue = 0;
};

LogLine ParseLogLine(std::string_view line);

// "H:MM:SS" or "HH:MM:SS", optionally followed by ":mmm" or ".mmm".
std::optional<ClockTime> ParseClock(std::string_view text);

// A character of a property, action or scope name.
bool IsNameChar(char c);

// The DLL's export names, from src/exports/OndexSetupCA.def.
std::span<const std::string_view> LibraryExports();
bool IsLibraryExport(std::string_view name);

}  // namespace ondex::logreader
