// Whether CheckPrerequisites stays linear in the number of prerequisites. For
// 10, 100 and 1,000 prerequisites (each with one check step that sets its
// status to "OK", so every one is found present) it times, in alternating
// rounds, (a) the action and (b) a bare loop making the same installer calls
// per prerequisite (the three property reads, the five display values, the
// step query with its record, condition and formatted text, the step's
// property, the status read), each on its own session. Prints per size the
// time per prerequisite of both (medians of the rounds), the median of the
// rounds' ratios a/b, and for 100 and 1,000 the growth of a's time per
// prerequisite against 10 (target: about 1).
#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_rounds.h"
#include "exports/exports.h"
#include "platform/handles.h"
#include "support/package.h"

using ondex::test::Number;
using ondex::test::Quoted;
using ondex::test::TestPackage;

namespace {

std::unique_ptr<TestPackage> PackageWith(int count) {
    auto package = std::make_unique<TestPackage>();
    ondex::test::CreatePrerequisiteTables(*package);
    for (int i = 1; i <= count; ++i) {
        const std::wstring id = L"P" + std::to_wstring(i);
        package->Row(L"Prerequisites", {{L"PrerequisiteId", Quoted(id)}, {L"Order", Number(i)},
                                        {L"Name", Quoted(L"Prerequisite " + id)}, {L"RequiredVersion", Quoted(L"1.0")},
                                        {L"StatusPropertyName", Quoted(id + L"_STATUS")}});
        package->Row(L"PrerequisiteActions", {{L"PrerequisiteId_", Quoted(id)}, {L"Order", Number(1)},
                                              {L"ActionFlags", Number(1)}, {L"Property", Quoted(id + L"_STATUS")},
                                              {L"Value", Quoted(L"OK")}});
    }
    return package;
}

constexpr wchar_t kStepsQuery[] =
    L"SELECT `Order`, `PrerequisiteId_`, `ActionFlags`, `Condition`, `Property`, `Value`, `Action`, "
    L"`ProgressText`, `ExpectedDuration`, `ProgressUpdateInterval` FROM `PrerequisiteActions` "
    L"WHERE `PrerequisiteId_`=? ORDER BY `Order`";

std::wstring Get(MSIHANDLE session, const std::wstring& name) {
    wchar_t value[256] = L"";
    DWORD size = 256;
    MsiGetPropertyW(session, name.c_str(), value, &size);
    return value;
}

// The installer calls CheckPrerequisites cannot avoid, for `count` prerequisites.
void BareCalls(MSIHANDLE session, int count) {
    using ondex::platform::UniqueMsiHandle;
    const UniqueMsiHandle database(MsiGetActiveDatabase(session));
    for (int i = 1; i <= count; ++i) {
        const std::wstring id = L"P" + std::to_wstring(i);
        for (const wchar_t* suffix : {L"_VERSION", L"_TEXT", L"_STATUS"}) Get(session, id + suffix);
        for (const wchar_t* suffix : {L"_NAME", L"_VERSIONNEED", L"_VERSIONFOUND", L"_STATUSTEXT", L"_STATUSCODE"})
            MsiSetPropertyW(session, (L"CHKRQ_PROD" + id + suffix).c_str(), L"x");
        const UniqueMsiHandle parameters(MsiCreateRecord(1));
        MsiRecordSetStringW(parameters.get(), 1, id.c_str());
        UniqueMsiHandle view, record;
        MsiDatabaseOpenViewW(database.get(), kStepsQuery, view.put());
        MsiViewExecute(view.get(), parameters.get());
        while (MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS) {
            wchar_t text[256];
            for (UINT field : {2u, 4u, 5u, 6u, 7u, 8u}) {
                DWORD size = 256;
                MsiRecordGetStringW(record.get(), field, text, &size);
            }
            for (UINT field : {1u, 3u, 9u, 10u}) MsiRecordGetInteger(record.get(), field);
            MsiEvaluateConditionW(session, L"");
            DWORD size = 256;
            MsiFormatRecordW(session, record.get(), text, &size);
            MsiSetPropertyW(session, (id + L"_STATUS").c_str(), L"OK");
        }
        MsiViewClose(view.get());
        Get(session, id + L"_STATUS");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = ondex::bench::CountArgument(argc, argv, 1, 9, 1, "prereq_bench [rounds >= 1]");
    const std::vector<int> counts{10, 100, 1000};
    // Sides 2k and 2k + 1: the action and the bare calls for counts[k], each on its own package.
    std::vector<std::unique_ptr<TestPackage>> packages;
    std::vector<std::function<void()>> sides;
    for (int count : counts) {
        packages.push_back(PackageWith(count));
        const MSIHANDLE action = packages.back()->Session();
        sides.push_back([action] {
            if (CheckPrerequisites(action) != 0) {
                std::fprintf(stderr, "prereq_bench: CheckPrerequisites failed\n");
                std::exit(1);
            }
        });
        packages.push_back(PackageWith(count));
        const MSIHANDLE bare = packages.back()->Session();
        sides.push_back([bare, count] { BareCalls(bare, count); });
    }
    for (const auto& side : sides) side();  // warm every session, and check what the action found
    if (packages[packages.size() - 2]->Get(L"CheckPrerequisitesResult") != L"OK") {
        std::fprintf(stderr, "prereq_bench: the prerequisites were not all found present\n");
        return 1;
    }
    const auto times = ondex::bench::AlternatingRounds(sides, rounds);

    std::printf("CheckPrerequisites: %d rounds\n", rounds);
    std::vector<std::vector<double>> perPrerequisite(sides.size());
    for (size_t k = 0; k < sides.size(); ++k)
        for (double seconds : times[k]) perPrerequisite[k].push_back(seconds / counts[k / 2]);
    for (size_t k = 0; k < counts.size(); ++k) {
        const auto& action = perPrerequisite[2 * k];
        const auto& bare = perPrerequisite[2 * k + 1];
        std::printf("%5d prerequisites   (a) action %8.1f us   (b) bare calls %8.1f us per prerequisite   a/b %.3f",
                    counts[k], ondex::bench::Median(action) * 1e6, ondex::bench::Median(bare) * 1e6,
                    ondex::bench::MedianRatio(action, bare));
        if (k > 0) std::printf("   a against 10: %.3f", ondex::bench::MedianRatio(action, perPrerequisite[0]));
        std::printf("\n");
    }
    return 0;
}
