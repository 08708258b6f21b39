// Stands in for selfssl.exe: writes its command line to commandline.txt
// beside itself and, as the real tool would, gives the site named by /S: a
// certificate hash in the metabase file named by OXIIS_METABASE_FILE. With
// OXIIS_SELFSSL_FAIL set it prints a complaint and exits with 1 instead.
#include <windows.h>

#include <string>

#include "iis/metabase_model.h"

namespace {

std::wstring Beside(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

void RecordCommandLine() {
    const HANDLE file = CreateFileW(Beside(L"commandline.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const char* line = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    RecordCommandLine();
    if (!Environment(L"OXIIS_SELFSSL_FAIL").empty()) {
        puts("selfssl: the certificate could not be created");
        return 1;
    }
    const std::wstring line = GetCommandLineW();
    const size_t site = line.find(L"/S:");
    const std::wstring metabase = Environment(L"OXIIS_METABASE_FILE");
    if (site == std::wstring::npos || metabase.empty()) return 2;
    ondex::test::MetabaseModel model;
    model.BackWithFile(metabase);
    model.Put(L"/LM/W3SVC/" + line.substr(site + 3, line.find(L' ', site) - site - 3), {5506, 0, 1, 3, {0xC0, 0xDE}});
    return 0;
}
