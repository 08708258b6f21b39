#include <cwchar>
#include <exception>
#include <memory>
#include <new>

#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::runtime {

// ---- MsiProperty ----

MsiProperty::MsiProperty(MSIHANDLE hInstall, const wchar_t* name) : name_(name ? name : L""), hInstall_(hInstall) {
    Read();
}

MsiProperty::~MsiProperty() {
    try {
        freePropValueBuf();
    } catch (...) {
        // Neither an abort answered while releasing nor a failure to format
        // the release event may leave a destructor.
    }
}

void MsiProperty::Read() {
    freePropValueBuf();
    // Under the engine every property call is a round trip: a value that fits
    // the first buffer takes one, a longer one a second.
    constexpr DWORD kFirstChars = 128;
    wchar_t first[kFirstChars] = L"";
    DWORD size = kFirstChars;
    const UINT status = ::MsiGetPropertyW(hInstall_, name_.c_str(), first, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) size = 0;
    buffer_ = new (std::nothrow) wchar_t[size_t(size) + 1]();
    if (!buffer_) return;  // Value() is then null, Str() throws std::bad_alloc
    DWORD capacity = size + 1;
    if (status == ERROR_MORE_DATA) {
        ::MsiGetPropertyW(hInstall_, name_.c_str(), buffer_, &capacity);
    } else if (status == ERROR_SUCCESS) {
        std::wmemcpy(buffer_, first, size);
        capacity = size;
    }
    length_ = capacity;
}

const wchar_t* MsiProperty::Value() {
    Read();
    return buffer_;
}

std::wstring MsiProperty::Str() {
    const wchar_t* value = Value();
    if (!value) throw std::bad_alloc();
    return value;
}

void MsiProperty::CopyTo(wchar_t* destination, size_t capacity) {
    tstrcpy_s(L"INTF_MsiProperty_operator_Copy1", L"DstBuf", destination, capacity, Value());
}

MsiProperty& MsiProperty::operator=(const std::wstring& value) {
    ::MsiSetPropertyW(hInstall_, name_.c_str(), value.c_str());
    return *this;
}

std::wstring MsiProperty::Format() {
    const bool attachedHere = !WcaIsAttached();
    if (attachedHere) WcaInitialize(hInstall_, "MsiProperty::Format");
    ScopedLayerString formatted;
    WcaGetFormattedProperty(name_.c_str(), formatted.put());
    if (attachedHere) WcaFinalize(0);
    return formatted.str();
}

void MsiProperty::freePropValueBuf() {
    if (!buffer_) return;
    // The buffer is released before any event, so that an abort answered to
    // the event cannot leave it behind or show its box a second time.
    std::unique_ptr<wchar_t[]> released(buffer_);
    buffer_ = nullptr;
    length_ = 0;
    const UINT flags = GetTracerFlags("MsiProperty::freePropValueBuf");
    if (::IsBadCodePtr(reinterpret_cast<FARPROC>(released.get()))) {
        const void* pointer = released.release();  // not ours to delete
        AssertBox(flags, L"MsiProperty_freePropValueBuf", L"Cannot delete[] m_PropValueBuf",
                  L"%s has bad internal pointer: %p", name_.c_str(), pointer);
        return;
    }
    if (!(flags & TF_TRACE)) return;
    const std::wstring title = FormatWide(L"Deleting MsiProperty %s", name_.c_str());
    const std::wstring shown = WcaIsHiddenProperty(hInstall_, name_.c_str()) ? kHiddenValue : std::wstring(released.get());
    released.reset();
    RaiseEvent(flags, TF_TRACE, L"MsiProperty_freePropValueBuf", title.c_str(), L"%s", shown.c_str());
}

// ---- WcaInitializer ----

WcaInitializer::WcaInitializer(MSIHANDLE hInstall, const char* actionLogName)
    : status_(WcaInitialize(hInstall, actionLogName)) {
    try {
        const UINT flags = GetTracerFlags("INTF_WcaInitializer");
        if (status_ != S_OK) {
            if (flags & TF_ERROR) {
                const std::wstring text = FormatErrMessage(static_cast<DWORD>(status_), L"Constructing WcaInitializer");
                RaiseEvent(flags, TF_ERROR, L"WcaInitializer", L"WcaInitializer", L"%s", text.c_str());
            }
        } else {
            TraceIf(flags, TF_TRACE, L"WcaInitializer", L"WcaInitializer", L"%s ...\nSUCCEEDED!",
                    L"Constructing WcaInitializer");
        }
    } catch (...) {
        // An abort answered here ends the scope before it began: no destructor
        // will detach what the attach above took.
        if (SUCCEEDED(status_)) WcaFinalize(0);
        throw;
    }
}

WcaInitializer::~WcaInitializer() noexcept(false) {
    // A failed attach has detached already: a second detach would take the
    // outer action's attachment.
    struct Detach {
        bool attached;
        ~Detach() {
            if (attached) WcaFinalize(0);
        }
    } detach{SUCCEEDED(status_)};
    try {
        const UINT flags = GetTracerFlags("INTF_~WcaInitializer");
        if (flags & TF_TRACE)
            RaiseEvent(flags, TF_TRACE, L"~WcaInitializer", L"WcaInitializer", L"%s ...\nSUCCEEDED!",
                       L"Destructing WcaInitializer");
    } catch (int) {
        // While another abort unwinds the stack, a second one must not escape.
        if (std::uncaught_exceptions() == 0) throw;
    } catch (...) {
        // An event that cannot be raised ends nothing: the scope detaches all the same.
    }
}

}  // namespace ondex::runtime
