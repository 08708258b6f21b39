// A stand-in for the tools and installers the library starts. Its arguments
// are steps, done in order:
//   sleep:MS       wait MS milliseconds
//   out:TEXT       write TEXT and a line break to standard output
//   err:TEXT       the same to standard error
//   outbytes:N     write N filler bytes to standard output
//   flood:MS       write filler to standard output for MS milliseconds, or until that fails
//   spawn:STEP     start this program with the one step STEP, sharing its handles, and not wait
//   exit:N         the exit code (default 0), applied after the last step
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool Write(DWORD stream, const char* data, size_t size) {
    const HANDLE handle = GetStdHandle(stream);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

void WriteLine(DWORD stream, std::string_view text) {
    const std::string line = std::string(text) + "\r\n";
    Write(stream, line.data(), line.size());
}

void WriteFiller(unsigned long long count) {
    const std::string block(64 * 1024, 'x');
    for (; count > 0; count -= std::min<unsigned long long>(count, block.size()))
        Write(STD_OUTPUT_HANDLE, block.data(), static_cast<size_t>(std::min<unsigned long long>(count, block.size())));
}

// Several writers, so that output is always pending while one write completes.
void Flood(DWORD milliseconds) {
    static DWORD end;
    end = GetTickCount() + milliseconds;
    const auto writer = [](void*) -> DWORD {
        const std::string block(256 * 1024, 'y');
        while (static_cast<LONG>(end - GetTickCount()) > 0 && Write(STD_OUTPUT_HANDLE, block.data(), block.size())) {
        }
        return 0;
    };
    HANDLE others[3];
    for (HANDLE& other : others) other = CreateThread(nullptr, 0, writer, nullptr, 0, nullptr);
    writer(nullptr);
    WaitForMultipleObjects(3, others, TRUE, INFINITE);
    for (HANDLE other : others) CloseHandle(other);
}

void Spawn(const std::string& step) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = "\"" + std::string(self) + "\" " + step;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view step = argv[i];
        const size_t colon = step.find(':');
        const std::string_view verb = step.substr(0, colon);
        const std::string value(colon == std::string_view::npos ? "" : step.substr(colon + 1));
        if (verb == "sleep") Sleep(std::strtoul(value.c_str(), nullptr, 10));
        if (verb == "out") WriteLine(STD_OUTPUT_HANDLE, value);
        if (verb == "err") WriteLine(STD_ERROR_HANDLE, value);
        if (verb == "outbytes") WriteFiller(std::strtoull(value.c_str(), nullptr, 10));
        if (verb == "flood") Flood(std::strtoul(value.c_str(), nullptr, 10));
        if (verb == "spawn") Spawn(value);
        if (verb == "exit") exitCode = std::atoi(value.c_str());
    }
    return exitCode;
}
