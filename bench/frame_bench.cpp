// What the entry frame costs beyond the platform work it must do. In one
// process and one session it times
//   (a) a framed action whose implementation does nothing, default flags;
//   (b) a bare function doing only the frame's platform work: read the
//       action's Tracer property and the three settings values (each read
//       opens and closes the settings key);
// in alternating rounds, once without the settings key and once with it
// present (holding no value for the action), and prints calls per second and
// the time ratio a/b (the frame's target: at most 1.2). It rewrites HKLM\SOFTWARE\Ondex\setupdebug of the
// prefix it runs in and removes it at the end.
#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench_rounds.h"
#include "platform/handles.h"
#include "runtime/entry_frame.h"
#include "support/package.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Ondex\\setupdebug";
constexpr REGSAM kSettingsAccess = 0x20019;

void DoNothing(UINT&, const wchar_t*, UINT, MSIHANDLE) {}

UINT FramedNoOp(MSIHANDLE hInstall) { return ondex::runtime::RunClassicAction(hInstall, "BenchNoOp", DoNothing); }

// One settings value read: open the key, ask the value's type and size, close.
void ReadSetting(const wchar_t* name) {
    ondex::platform::UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, kSettingsAccess, key.put()) != ERROR_SUCCESS) return;
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size);
}

UINT BarePlatformWork(MSIHANDLE hInstall) {
    wchar_t value[10] = L"0";
    DWORD size = 10;
    MsiGetPropertyW(hInstall, L"TracerBenchNoOp_TRACERFLAGS", value, &size);
    ReadSetting(L"BenchNoOp");
    ReadSetting(L"@TRACERFLAGS_ANDORMASK");
    ReadSetting(L"@TRACERFLAGS_XORMASK");
    return 0;
}

// `calls` calls of `action`.
void Calls(UINT (*action)(MSIHANDLE), MSIHANDLE hInstall, int calls) {
    for (int i = 0; i < calls; ++i) {
        if (action(hInstall) != 0) {
            std::fprintf(stderr, "an action returned non-zero\n");
            std::exit(1);
        }
    }
}

// Rates come from each side's best round; the ratio is the median of the
// rounds' own ratios.
void Compare(const char* scenario, MSIHANDLE hInstall, int calls, int rounds) {
    auto framed = [=] { Calls(FramedNoOp, hInstall, calls); };
    auto bare = [=] { Calls(BarePlatformWork, hInstall, calls); };
    framed();  // warm both paths
    bare();
    const auto times = ondex::bench::AlternatingRounds({framed, bare}, rounds);
    std::printf("%-22s (a) framed no-op %7.0f calls/s   (b) bare platform work %7.0f calls/s   time a/b %.3f\n",
                scenario, calls / ondex::bench::Best(times[0]), calls / ondex::bench::Best(times[1]),
                ondex::bench::MedianRatio(times[0], times[1]));
}

}  // namespace

int main(int argc, char** argv) {
    constexpr char kUsage[] = "frame_bench [calls per round >= 10] [rounds >= 1]";
    const int calls = ondex::bench::CountArgument(argc, argv, 1, 200, 10, kUsage);
    const int rounds = ondex::bench::CountArgument(argc, argv, 2, 31, 1, kUsage);
    std::printf("entry frame benchmark: %d rounds of %d calls per side\n", rounds, calls);
    ondex::test::TestPackage package;
    MSIHANDLE hInstall = package.Session();

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
    Compare("settings key absent", hInstall, calls, rounds);

    ondex::test::OndexRegistryScope::SetDword(kSettingsKey, L"SomeOtherAction", 0x101);
    Compare("settings key present", hInstall, calls, rounds);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
    return 0;
}
