#include "support/seam_faults.h"

#include <cstdlib>
#include <mutex>

#include "support/com_faults.h"

namespace ondex::test {

namespace {

// What the wrappers share; captureless lambdas reach it only here.
struct State {
    std::mutex lock;
    platform::SystemApi previous{};
    int failAt = 0;
    std::vector<std::string> calls;
    std::string failed;
    bool active = false;
} g;

// Counts the call; true when it is the one to fail.
bool Fails(const char* entry) {
    std::lock_guard guard(g.lock);
    g.calls.emplace_back(entry);
    if (static_cast<int>(g.calls.size()) != g.failAt) return false;
    g.failed = entry;
    return true;
}

constexpr auto kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);

// entry, the value it answers when it fails
#define ONDEX_FAULT_ENTRIES(X)                          \
    X(MessageBoxW, 0)                                   \
    X(GetTcpTable, ERROR_ACCESS_DENIED)                 \
    X(GetTempPathW, 0)                                  \
    X(WaitForSingleObject, WAIT_FAILED)                 \
    X(GetExitCodeProcess, FALSE)                        \
    X(CheckTokenMembership, FALSE)                      \
    X(OpenProcessToken, FALSE)                          \
    X(LookupPrivilegeValueW, FALSE)                     \
    X(AdjustTokenPrivileges, FALSE)                     \
    X(ExitWindowsEx, FALSE)                             \
    X(GetProcAddress, nullptr)                          \
    X(GetEnvironmentVariableW, 0)                       \
    X(NetLocalGroupAdd, ERROR_ACCESS_DENIED)            \
    X(NetLocalGroupAddMembers, ERROR_ACCESS_DENIED)     \
    X(NetShareGetInfo, ERROR_ACCESS_DENIED)             \
    X(NetShareAdd, ERROR_ACCESS_DENIED)                 \
    X(NetShareSetInfo, ERROR_ACCESS_DENIED)             \
    X(NetShareDel, ERROR_ACCESS_DENIED)                 \
    X(GetVersionExW, FALSE)                             \
    X(FindWindowW, nullptr)                             \
    X(FindWindowExW, nullptr)                           \
    X(MsiGetComponentPathW, INSTALLSTATE_UNKNOWN)       \
    X(CreateDirectoryW, FALSE)                          \
    X(GetNamedSecurityInfoW, ERROR_ACCESS_DENIED)       \
    X(GetFileAttributesW, INVALID_FILE_ATTRIBUTES)      \
    X(QueryServiceStatusEx, FALSE)                      \
    X(ControlService, FALSE)                            \
    X(EnumDependentServicesW, FALSE)                    \
    X(RegEnumValueW, ERROR_ACCESS_DENIED)               \
    X(LogonUserW, FALSE)                                \
    X(TranslateNameW, FALSE)                            \
    X(LsaAddAccountRights, kStatusAccessDenied)         \
    X(SendMessageW, 0)                                  \
    X(NetQueryDisplayInformation, ERROR_ACCESS_DENIED)

// On x64 WINAPI changes no calling convention, so the generic lambda converts
// to each entry's pointer type.
#define ONDEX_FAULT_WRAP(entry, failure)                                         \
    api.entry = [](auto... args) -> decltype(g.previous.entry(args...)) {        \
        if (!Fails(#entry)) return g.previous.entry(args...);                    \
        SetLastError(ERROR_ACCESS_DENIED);                                       \
        return failure;                                                          \
    };

}  // namespace

SeamFaults::SeamFaults(int failAt) {
    std::lock_guard guard(g.lock);
    if (g.active) std::abort();  // the wrappers share one state
    g.active = true;
    g.previous = platform::Api();
    g.failAt = failAt;
    g.calls.clear();
    g.failed.clear();
    platform::SystemApi& api = override_.api();
    ONDEX_FAULT_ENTRIES(ONDEX_FAULT_WRAP)
    comFaultHook = Fails;
}

SeamFaults::~SeamFaults() {
    comFaultHook = nullptr;
    std::lock_guard guard(g.lock);
    g.active = false;
}

std::vector<std::string> SeamFaults::Calls() const {
    std::lock_guard guard(g.lock);
    return g.calls;
}

std::string SeamFaults::Failed() const {
    std::lock_guard guard(g.lock);
    return g.failed;
}

}  // namespace ondex::test
