#pragma once
// Drives the runtime-host double (the test mscoree.dll beside the test
// programs) for one scope: names its call log and sets its failure scripts.
#include <windows.h>

#include <string>
#include <vector>

#include "support/package.h"

namespace ondex::test {

class ClrDoubleScope {
public:
    ClrDoubleScope();
    ~ClrDoubleScope();
    ClrDoubleScope(const ClrDoubleScope&) = delete;
    ClrDoubleScope& operator=(const ClrDoubleScope&) = delete;

    // `call` ("Start", "CreateDomainEx", "Invoke", ...) answers `code`; for
    // "Invoke", `argumentIndex` is reported as the offending argument.
    void Fail(const std::wstring& call, HRESULT code, int argumentIndex = -1);
    // `method` ("<type>.<method>") returns the boolean `value`.
    void Return(const std::wstring& method, bool value);
    // `method` raises a managed exception with `code` and `description`.
    void Throw(const std::wstring& method, HRESULT code, const std::wstring& description);

    // The calls recorded so far, one line each.
    std::vector<std::string> Calls() const;
    // The managed methods invoked so far, "<type>.<method>(<arguments>)" each.
    std::vector<std::string> Invokes() const;
    // Objects of the double still alive in this process.
    static long LiveObjects();

private:
    TempFolder folder_;
    std::wstring fail_;
    std::wstring returns_;
    std::wstring throws_;
};

// Loads the double and hands it this program's fault-injection hook, so that
// the calls the host checks are counted and failed with the seam's
// (SeamFaults); false when the double is not found.
bool ClrDoubleJoinsFaultInjection();

// Messages an action showed through the installer: text and style.
std::vector<std::pair<std::wstring, UINT>> ShownMessages(const LogCapture& log);

}  // namespace ondex::test
