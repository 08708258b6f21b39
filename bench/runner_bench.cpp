// What RunToolCaptured's draining costs against the least a program can do to
// copy a tool's output out of a pipe. In alternating rounds it runs the tests'
// tool writing 100 MB to standard output and failing (so that the output is
// kept for the report), once through RunToolCaptured and once through a bare
// loop: one pipe, CreateProcess, ReadFile into 64 KB until the end, the wait
// and the exit code. Prints each side's throughput (best round) and the median of
// the rounds' throughput ratios (target: RunToolCaptured at least half the
// bare copy's). Standard output is the NUL device meanwhile, so that neither
// side echoes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "platform/handles.h"
#include "prereq/shell.h"
#include "support/package.h"

namespace {

constexpr unsigned long long kBytes = 100ull * 1024 * 1024;

std::wstring ToolCommand() { return ondex::test::TestTool(L"outbytes:" + std::to_wstring(kBytes) + L" exit:4"); }

void Fail(const char* what) {
    std::fprintf(stderr, "runner_bench: %s\n", what);
    std::exit(1);
}

void Captured() {
    std::wstring errorText;
    if (ondex::prereq::RunToolCaptured(ToolCommand().c_str(), errorText) != 0 || errorText.empty())
        Fail("RunToolCaptured did not report the failing tool");
}

void BareCopy() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    ondex::platform::UniqueHandle reader, writer;
    if (!CreatePipe(reader.put(), writer.put(), &inherit, 0)) Fail("CreatePipe failed");
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writer.get();
    PROCESS_INFORMATION process{};
    std::wstring command = ToolCommand();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        Fail("CreateProcess failed");
    ondex::platform::UniqueHandle processHandle(process.hProcess), thread(process.hThread);
    writer.reset();
    std::vector<char> buffer(64 * 1024);
    DWORD read = 0;
    unsigned long long total = 0;
    while (ReadFile(reader.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
        total += read;
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(processHandle.get(), &code);
    if (total != kBytes || code != 4) Fail("the bare copy lost output");
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = ondex::bench::CountArgument(argc, argv, 1, 9, 1, "runner_bench [rounds >= 1]");
    ondex::platform::UniqueHandle nul(
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nul.get());
    const auto times = ondex::bench::AlternatingRounds({Captured, BareCopy}, rounds);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);

    const double megabytes = static_cast<double>(kBytes) / (1024 * 1024);
    std::printf("tool output drain: %d rounds of %.0f MB per side\n", rounds, megabytes);
    for (size_t side = 0; side < times.size(); ++side)
        std::printf("%-16s best %7.1f MB/s   median %7.1f MB/s\n", side == 0 ? "RunToolCaptured" : "bare pipe copy",
                    megabytes / ondex::bench::Best(times[side]), megabytes / ondex::bench::Median(times[side]));
    std::printf("throughput ratio RunToolCaptured / bare copy (median of the rounds): %.3f\n",
                ondex::bench::MedianRatio(times[1], times[0]));
    return 0;
}
