// A stand-in for the tools and installers the library starts. Its arguments
// are steps, done in order:
//   sleep:MS       wait MS milliseconds
//   out:TEXT       write TEXT and a line break to standard output
//   err:TEXT       the same to standard error
//   outbytes:N     write N filler bytes to standard output
//   exit:N         the exit code (default 0), applied after the last step
#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Write(DWORD stream, const char* data, size_t size) {
    const HANDLE handle = GetStdHandle(stream);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
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
        if (verb == "exit") exitCode = std::atoi(value.c_str());
    }
    return exitCode;
}
