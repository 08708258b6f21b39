#pragma once
// The local computer's name, read into a buffer of the given size (the
// account actions use different sizes); empty when it cannot be read.
#include <windows.h>

#include <string>
#include <vector>

namespace ondex::accounts {

inline std::wstring ComputerName(DWORD bufferChars) {
    std::vector<wchar_t> name(bufferChars, L'\0');
    DWORD size = bufferChars;
    return ::GetComputerNameW(name.data(), &size) ? std::wstring(name.data()) : std::wstring();
}

}  // namespace ondex::accounts
