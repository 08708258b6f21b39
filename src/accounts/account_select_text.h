#pragma once
// The rules of the account choice: the name a picked user becomes when the
// system cannot translate it, which picked objects count, and where the
// running user goes in the offered list. Pure logic: no Windows headers.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::accounts {

// Characters a picked name keeps: a 64-character buffer and its terminator.
inline constexpr size_t kPickedNameChars = 63;

// An ADsPath's last two segments, scanning from the end: the text after the
// last slash is the user, the text between the last two slashes the
// container (a domain, or the computer of a local account).
struct WinNTPathParts {
    std::wstring user, container;
};
WinNTPathParts ParseWinNTPath(std::wstring_view adsPath);

// The path begins with "WinNT://", ASCII case ignored.
bool IsWinNTPath(std::wstring_view adsPath);

// A picked user's name from its ADsPath alone: container + "\" + user for a
// WinNT path, else the path itself; cut to kPickedNameChars.
std::wstring UntranslatedAccountName(std::wstring_view adsPath);

// Only users are taken from a selection: class exactly "user" or "User".
bool IsUserClass(std::wstring_view objectClass);

// The case folding of one UTF-16 unit, as the system does it.
using CaseFold = wchar_t (*)(wchar_t);

// Equal after folding each unit.
bool SameAccountName(std::wstring_view a, std::wstring_view b, CaseFold fold);

// Puts the running user in front of the list unless it is listed already
// (case ignored); an unknown (empty) running user is not added.
void PutCurrentUserFirst(std::vector<std::wstring>& accounts, const std::wstring& current, CaseFold fold);

}  // namespace ondex::accounts
