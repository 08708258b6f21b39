#include "accounts/account_select_text.h"

#include <algorithm>

#include "runtime/ascii_text.h"

namespace ondex::accounts {

namespace {

constexpr std::wstring_view kWinNTPrefix = L"WinNT://";

}  // namespace

WinNTPathParts ParseWinNTPath(std::wstring_view adsPath) {
    const size_t last = adsPath.rfind(L'/');
    if (last == std::wstring_view::npos) return {std::wstring(adsPath), L""};
    WinNTPathParts parts{std::wstring(adsPath.substr(last + 1)), L""};
    const size_t before = last == 0 ? std::wstring_view::npos : adsPath.rfind(L'/', last - 1);
    const size_t start = before == std::wstring_view::npos ? 0 : before + 1;
    parts.container = adsPath.substr(start, last - start);
    return parts;
}

bool IsWinNTPath(std::wstring_view adsPath) {
    return runtime::StartsWithAsciiNoCase(adsPath, kWinNTPrefix);
}

std::wstring UntranslatedAccountName(std::wstring_view adsPath) {
    std::wstring name(adsPath);
    if (IsWinNTPath(adsPath)) {
        const WinNTPathParts parts = ParseWinNTPath(adsPath);
        name = parts.container + L"\\" + parts.user;
    }
    if (name.size() > kPickedNameChars) name.resize(kPickedNameChars);
    return name;
}

bool IsUserClass(std::wstring_view objectClass) { return objectClass == L"user" || objectClass == L"User"; }

bool SameAccountName(std::wstring_view a, std::wstring_view b, CaseFold fold) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [fold](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

void PutCurrentUserFirst(std::vector<std::wstring>& accounts, const std::wstring& current, CaseFold fold) {
    if (current.empty()) return;
    const auto same = [&](const std::wstring& account) { return SameAccountName(account, current, fold); };
    const bool listed = std::any_of(accounts.begin(), accounts.end(), same);
    if (!listed) accounts.insert(accounts.begin(), current);
}

}  // namespace ondex::accounts
