#pragma once
// Fault injection over the seam and the COM doubles (ONDEX_COM_FAULT): counts
// every call through the entries and methods that can fail and makes one of
// them fail. Entries whose answer is no verdict
// (tick count, last error, pauses, the debugger's, the run mode, IsWindow)
// pass through uncounted.
#include <string>
#include <vector>

#include "support/seam_override.h"

namespace ondex::test {

// Wraps the seam table as it is when built (so scripting made before, such as
// MessageBoxScript, answers the calls that do not fail); one at a time.
class SeamFaults {
public:
    // Call number `failAt` (1-based) fails; 0 fails none.
    explicit SeamFaults(int failAt = 0);
    ~SeamFaults();
    SeamFaults(const SeamFaults&) = delete;
    SeamFaults& operator=(const SeamFaults&) = delete;

    // The counted calls so far, by entry or method name, in order.
    std::vector<std::string> Calls() const;
    // The entry that was made to fail, or "" while none has.
    std::string Failed() const;

private:
    ScopedApiOverride override_;
};

}  // namespace ondex::test
