#pragma once
// The COM doubles' side of fault injection: a method that can fail asks here
// first. While a SeamFaults is active its calls are counted in the same
// sequence as the seam's and one of them fails; otherwise nothing happens
// (the registrable servers never set the hook).
#include <windows.h>

#include <atomic>

namespace ondex::test {

inline std::atomic<bool (*)(const char*)> comFaultHook{nullptr};

// True when this call of `method` is the one to fail.
inline bool ComMethodFails(const char* method) {
    const auto hook = comFaultHook.load();
    return hook && hook(method);
}

}  // namespace ondex::test

// First statement of a double's HRESULT method that the product may see fail.
#define ONDEX_COM_FAULT(method) \
    if (::ondex::test::ComMethodFails(method)) return E_ACCESSDENIED
