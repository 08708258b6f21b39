#pragma once
// Small owners for COM: an interface pointer, a BSTR, a VARIANT and the
// calling thread's apartment.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace ondex::platform {

// Holds one reference to an interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // For out-parameters: releases the current reference first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

class UniqueBstr {
public:
    explicit UniqueBstr(BSTR value = nullptr) : value_(value) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    ~UniqueBstr() { ::SysFreeString(value_); }

    BSTR get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }
    // For out-parameters: frees the current string first.
    BSTR* put() {
        ::SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }

private:
    BSTR value_;
};

class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&value_); }

    const VARIANT& get() const { return value_; }
    // For out-parameters: clears the current value first.
    VARIANT* put() {
        ::VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// Initialises COM on the calling thread for the scope; uninitialises it only
// when this scope's initialisation succeeded.
class ComApartment {
public:
    explicit ComApartment(DWORD flags) : status_(::CoInitializeEx(nullptr, flags)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(status_)) ::CoUninitialize();
    }
    HRESULT Status() const { return status_; }
    // COM is usable on this thread: initialised here, or already in another mode.
    bool Usable() const { return SUCCEEDED(status_) || status_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT status_;
};

}  // namespace ondex::platform
