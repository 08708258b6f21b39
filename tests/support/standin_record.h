#pragma once
// For the stand-ins of the tools the library starts: the command line they
// were started with, written to commandline.txt beside the program, and the
// environment values that script them.
#include <windows.h>

#include <cstring>
#include <string>

namespace ondex::test {

inline std::wstring BesideSelf(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

inline bool RecordCommandLine() {
    const HANDLE file = CreateFileW(BesideSelf(L"commandline.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const char* line = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
    return true;
}

// Empty when unset or longer than a path.
inline std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

}  // namespace ondex::test
