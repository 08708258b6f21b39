#include "support/fault_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <map>
#include <string>
#include <thread>

#include "platform/handles.h"
#include "runtime/session.h"
#include "support/seam_faults.h"

namespace ondex::test {

FaultWorld::~FaultWorld() {
    for (auto cleanup = cleanups_.rbegin(); cleanup != cleanups_.rend(); ++cleanup) (*cleanup)();
    while (!kept_.empty()) kept_.pop_back();
}

namespace {

// This process's handles: Wine 8.0's GetProcessHandleCount answers 0, so
// they are counted in the system's handle list instead. Semaphores are left
// out there: Wine gives a critical section one the first time two threads
// meet in it and keeps it until the section is deleted, and its own sections
// (COM's among them) meet at random; the library makes none.
DWORD Handles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count) return count;
    struct Entry {
        ULONG process;
        BYTE type, flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySystemInformation")));
    const platform::UniqueHandle probe(CreateSemaphoreW(nullptr, 0, 1, nullptr));  // tells the semaphores' type
    std::vector<BYTE> buffer(1 << 16);
    ULONG needed = 0;
    LONG status;
    while ((status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == static_cast<LONG>(0xC0000004))
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const ULONG total = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    int semaphore = -1;
    for (ULONG i = 0; i < total; ++i)
        if (entries[i].process == GetCurrentProcessId() &&
            entries[i].value == reinterpret_cast<ULONG_PTR>(probe.get()))
            semaphore = entries[i].type;
    for (ULONG i = 0; i < total; ++i)
        count += entries[i].process == GetCurrentProcessId() && entries[i].type != semaphore;
    return count;
}

struct Outcome {
    UINT code = 0;
    std::vector<std::string> calls;
    std::string failed;
    bool attached = false;
    DWORD before = 0, after = 0;
};

// One run, the world made and ended on the calling thread; handles are
// counted around the action.
Outcome RunInWorld(const FaultScenario& row, int failAt) {
    Outcome outcome;
    FaultWorld world;
    row.setup(world);
    const MSIHANDLE session = world.package.Session();
    SeamFaults faults(failAt);
    outcome.before = Handles();
    outcome.code = row.action(session);
    outcome.attached = runtime::WcaIsAttached();
    if (outcome.attached) runtime::WcaFinalize(0);
    outcome.after = Handles();
    outcome.calls = faults.Calls();
    outcome.failed = faults.Failed();
    return outcome;
}

// The one thread every run of a table happens on: a thread of its own per
// run would make and end handles of its own around the counts. It is given
// a run and answers through events (a future's wait would make semaphores
// while the run counts).
class RunThread {
public:
    RunThread() : thread_([this] { Serve(); }) {}
    ~RunThread() {
        row_ = nullptr;
        SetEvent(posted_.get());
        thread_.join();
    }
    // The run's outcome, or nothing when it did not end within `limit`.
    std::optional<Outcome> Run(const FaultScenario& row, int failAt, DWORD limit) {
        row_ = &row, failAt_ = failAt;
        SetEvent(posted_.get());
        if (WaitForSingleObject(done_.get(), limit) != WAIT_OBJECT_0) return std::nullopt;
        return outcome_;
    }

private:
    void Serve() {
        while (WaitForSingleObject(posted_.get(), INFINITE) == WAIT_OBJECT_0 && row_) {
            outcome_ = RunInWorld(*row_, failAt_);
            SetEvent(done_.get());
        }
    }

    platform::UniqueHandle posted_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    platform::UniqueHandle done_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    const FaultScenario* row_ = nullptr;
    int failAt_ = 0;
    Outcome outcome_;
    std::thread thread_;
};

// Runs the export with call `failAt` failing and checks the rules. Wine opens
// some handles of its own on a path's first use in the process, and early in
// the process now and then one more from a background thread, never again:
// the table is run once before any count is taken (`countHandles` false),
// each case then runs twice, and a leak is a rise in both runs.
Outcome RunOnce(RunThread& thread, const FaultScenario& row, int failAt, bool countHandles = true) {
    Outcome outcome;
    int rises = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const std::optional<Outcome> ended = thread.Run(row, failAt, 10000);
        const std::string where = std::string(row.name) + " with call " + std::to_string(failAt) + " failing";
        if (!ended) {
            std::fprintf(stderr, "%s hangs\n", where.c_str());
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        outcome = *ended;
        SCOPED_TRACE(where + " (" + outcome.failed + ")");
        EXPECT_TRUE(outcome.code == 0 || outcome.code == 1602 || outcome.code == 1603 || row.codes.count(outcome.code))
            << outcome.code;
        EXPECT_FALSE(outcome.attached);
        rises += outcome.after > outcome.before;
        if (countHandles && pass == 1)
            EXPECT_LT(rises, 2) << "handles: " << outcome.before << " before, " << outcome.after << " after";
    }
    return outcome;
}

}  // namespace

void RunFaultTable(std::span<const FaultScenario> rows) {
    ASSERT_NE(0u, Handles());
    RunThread thread;
    for (const FaultScenario& row : rows) RunOnce(thread, row, 0, false);
    for (const FaultScenario& row : rows) {
        const Outcome clean = RunOnce(thread, row, 0);
        std::map<UINT, int> outcomes;
        for (int i = 1; i <= static_cast<int>(clean.calls.size()); ++i) ++outcomes[RunOnce(thread, row, i).code];
        std::string line = std::string(row.name) + " | " + std::to_string(clean.calls.size()) + " | clean " +
                           std::to_string(clean.code) + " |";
        for (const auto& [code, count] : outcomes) line += " " + std::to_string(code) + "x" + std::to_string(count);
        line += " | calls:";
        for (const auto& call : clean.calls) line += " " + call;
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace ondex::test
