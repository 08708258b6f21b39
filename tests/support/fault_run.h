#pragma once
// Runs a table of exports with every seam call and COM-double method of their
// main paths failing in turn (SeamFaults), checking that each run returns in
// time with a code it may give, detached from the session layer and holding
// no more handles than before.
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "support/package.h"
#include "support/seam_override.h"

namespace ondex::test {

// One run's surroundings, made and ended on the run's own thread (so that
// COM doubles registered by a setup live in the action's apartment).
struct FaultWorld {
    OndexRegistryScope registry;
    TestPackage package;
    LogCapture log;
    MessageBoxScript boxes;
    ScopedApiOverride seam;

    // Keeps a double or other helper alive for the run; ended first.
    template <typename T, typename... Args>
    T& Make(Args&&... args) {
        auto object = std::make_shared<T>(std::forward<Args>(args)...);
        kept_.push_back(object);
        return *object;
    }
    // Runs `cleanup` after the run (before the doubles end).
    void AtEnd(std::function<void()> cleanup) { cleanups_.push_back(std::move(cleanup)); }
    ~FaultWorld();

private:
    std::vector<std::function<void()>> cleanups_;
    std::vector<std::shared_ptr<void>> kept_;
};

struct FaultScenario {
    const char* name;
    UINT(__stdcall* action)(MSIHANDLE);
    void (*setup)(FaultWorld&);
    std::set<UINT> codes;  // beside 0, 1602 and 1603
};

inline void NoSetup(FaultWorld&) {}

// The whole check for a table, with a line per row on stdout:
// "export | N | clean code | outcomes | calls: …".
void RunFaultTable(std::span<const FaultScenario> rows);

}  // namespace ondex::test
