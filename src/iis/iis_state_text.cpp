#include "iis/iis_state_text.h"

#include <algorithm>
#include <climits>

namespace ondex::iis {

namespace {

constexpr std::uint32_t kZeroHintMs = 40000;
constexpr std::uint32_t kShortestStopPollMs = 100;
constexpr size_t kPathChars = 259;  // MAX_PATH without its terminator
constexpr std::uint32_t kNoSite = 0xFFFFFFFF;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The decimal number at `at`, saturated; false when there is no digit.
bool ReadNumber(std::wstring_view text, size_t& at, int& value) {
    const size_t first = at;
    long long number = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) number = std::min<long long>(number * 10 + (text[at] - L'0'), INT_MAX);
    value = static_cast<int>(number);
    return at > first;
}

}  // namespace

std::uint32_t PendingLimitMs(std::uint32_t waitHint) { return waitHint == 0 ? kZeroHintMs : waitHint; }

std::uint32_t PendingPauseMs(std::uint32_t waitHint) {
    return std::clamp<std::uint32_t>(PendingLimitMs(waitHint) / 10, 1000, 10000);
}

bool PendingClock::Moving(std::uint32_t checkPoint, std::uint32_t waitHint, std::uint32_t now) {
    if (checkPoint > checkPoint_) {
        checkPoint_ = checkPoint;
        since_ = now;
        return true;
    }
    return now - since_ <= PendingLimitMs(waitHint);
}

std::uint32_t StopPollMs(std::uint32_t waitHint, std::uint32_t elapsed, std::uint32_t timeout) {
    const std::uint32_t left = elapsed < timeout ? timeout - elapsed : 0;
    return std::max(kShortestStopPollMs, std::min(waitHint, left));
}

bool SiteIsStopped(std::uint32_t serverState) { return serverState == 3 || serverState == 4; }

const wchar_t* SiteStartQuestion(std::wstring_view versionNT, std::wstring_view productType) {
    const bool xp = versionNT == L"501" || (versionNT == L"502" && productType == L"1");
    return xp ? L"DefaultWebSite must be started. Would you like the setup program to start it?"
              : L"OndexAlmanac site must be started. Would you like the setup program to start it?";
}

std::wstring SignedSiteNumber(std::uint32_t site) {
    return site == kNoSite ? L"-1" : std::to_wstring(site);
}

FrameworkVersion ParseFrameworkVersion(std::wstring_view version) {
    FrameworkVersion parsed;
    int* parts[] = {&parsed.major, &parsed.minor, &parsed.build};
    size_t at = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (i > 0 && (at >= version.size() || version[at++] != L'.')) break;
        if (!ReadNumber(version, at, *parts[i])) break;
    }
    return parsed;
}

std::wstring GetASPNETREGIISPath(std::wstring_view installRoot, std::wstring_view version) {
    const FrameworkVersion v = ParseFrameworkVersion(version);
    std::wstring path(installRoot);
    path += L"v" + std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.build) + L"\\";
    if (path.size() > kPathChars) path.resize(kPathChars);
    return path;
}

std::wstring WithTrailingBackslash(std::wstring text) {
    if (!text.empty() && text.back() != L'\\') text += L'\\';
    return text;
}

bool IsDefaultWebRootTail(std::wstring_view afterRoot) { return afterRoot == L"Inetpub\\wwwroot\\"; }

std::optional<std::wstring> FolderToDelete(std::wstring_view path) {
    if (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    if (path.empty() || path.find_first_of(L"*?") != std::wstring_view::npos) return std::nullopt;
    return std::wstring(path);
}

}  // namespace ondex::iis
