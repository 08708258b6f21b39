#pragma once
// Plain decisions of the IIS state and maintenance actions: the waits on a
// pending service, the site states and questions, and the paths the package
// is given (the ASP.NET tool folder, the web root, the folder to delete).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ondex::iis {

// ---- A service in a pending start or stop ----

// The wait hint a wait goes by: a hint of 0 counts as 40 s.
std::uint32_t PendingLimitMs(std::uint32_t waitHint);
// The pause between two queries: a tenth of the hint, at least 1 s and at most 10 s.
std::uint32_t PendingPauseMs(std::uint32_t waitHint);

// Whether a pending service still moves: a higher check point restarts the
// clock; no progress for longer than the hint ends the wait.
class PendingClock {
public:
    PendingClock(std::uint32_t checkPoint, std::uint32_t now) : checkPoint_(checkPoint), since_(now) {}
    // After a query: false when the service has stalled.
    bool Moving(std::uint32_t checkPoint, std::uint32_t waitHint, std::uint32_t now);

private:
    std::uint32_t checkPoint_;
    std::uint32_t since_;
};

// The pause between the queries of a stop: the service's wait hint, but at
// least 100 ms (no busy loop on a zero hint) and no longer than what is left
// of the time-out (the time-out is seen when it comes).
std::uint32_t StopPollMs(std::uint32_t waitHint, std::uint32_t elapsed, std::uint32_t timeout);

// ---- Web sites ----

// ServerState 3 (stopping) and 4 (stopped); every other value runs.
bool SiteIsStopped(std::uint32_t serverState);
// The question before starting the product's site: the default web site on
// Windows XP (also x64: 502 with a workstation product type), otherwise the
// product's own site.
const wchar_t* SiteStartQuestion(std::wstring_view versionNT, std::wstring_view productType);
// A site number as the logs and keys write it: kNoSite is "-1".
std::wstring SignedSiteNumber(std::uint32_t site);

// ---- Paths ----

struct FrameworkVersion {
    int major = 0, minor = 0, build = 0;
};
// The first three of up to four '.'-separated decimal numbers; reading stops
// at the first part that is not one, and missing parts are 0. A number too
// large for an int stays at 2147483647.
FrameworkVersion ParseFrameworkVersion(std::wstring_view version);
// The framework folder of a version: "<root>v<a>.<b>.<c>\", at most 259 characters.
std::wstring GetASPNETREGIISPath(std::wstring_view installRoot, std::wstring_view version);

// The text with one '\' appended when it is not empty and lacks one.
std::wstring WithTrailingBackslash(std::wstring text);
// Whether the part of a web root after its drive or share is IIS's default.
bool IsDefaultWebRootTail(std::wstring_view afterRoot);
// The folder of a site's root as a delete takes it: one trailing '\'
// removed; nothing for an empty path or one with wildcards, which the shell
// would expand.
std::optional<std::wstring> FolderToDelete(std::wstring_view path);

}  // namespace ondex::iis
