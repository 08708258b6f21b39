#pragma once
// Small owners for the handles the library uses. Each closes its handle on
// every path; none is copyable.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <lm.h>

#include <utility>

namespace ondex::platform {

template <typename T, T Invalid, typename Closer>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid; }
    T release() { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) {
        if (value_ != Invalid) Closer{}(value_);
        value_ = value;
    }
    // For out-parameters: releases the current value first.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid;
};

struct MsiHandleCloser {
    void operator()(MSIHANDLE h) const { ::MsiCloseHandle(h); }
};
struct KernelHandleCloser {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct RegKeyCloser {
    void operator()(HKEY h) const { ::RegCloseKey(h); }
};
struct ServiceHandleCloser {
    void operator()(SC_HANDLE h) const { ::CloseServiceHandle(h); }
};
struct LocalMemoryCloser {
    void operator()(HLOCAL h) const { ::LocalFree(h); }
};
struct NetBufferFreer {
    void operator()(LPBYTE buffer) const { ::NetApiBufferFree(buffer); }
};

// An installer handle (record, view, database, session).
using UniqueMsiHandle = UniqueResource<MSIHANDLE, 0, MsiHandleCloser>;
// A kernel handle whose invalid value is null (processes, threads, pipes).
using UniqueHandle = UniqueResource<HANDLE, nullptr, KernelHandleCloser>;
using UniqueHKey = UniqueResource<HKEY, nullptr, RegKeyCloser>;
// A service control manager or service handle.
using UniqueServiceHandle = UniqueResource<SC_HANDLE, nullptr, ServiceHandleCloser>;
using UniqueLocalMemory = UniqueResource<HLOCAL, nullptr, LocalMemoryCloser>;
// A buffer the network-management functions allocated.
using UniqueNetBuffer = UniqueResource<LPBYTE, nullptr, NetBufferFreer>;

}  // namespace ondex::platform
