#include "runtime/entry_frame.h"

#include <exception>
#include <string>

#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"
#include "runtime/win_exception.h"

namespace ondex::runtime {

namespace {

constexpr size_t kPropertyChars = 10;

// P of step 2: the action's own "Tracer<name>_TRACERFLAGS" property, read into
// a 10-character buffer (so a longer value arrives cut to 9 characters).
UINT ActionPropertyFlags(MSIHANDLE hInstall, const std::wstring& name) {
    if (hInstall == 0) return 0;
    const std::wstring property = L"Tracer" + name + L"_TRACERFLAGS";
    wchar_t value[kPropertyChars] = L"0";
    DWORD size = kPropertyChars;
    ::MsiGetPropertyW(hInstall, property.c_str(), value, &size);  // status deliberately not checked
    value[kPropertyChars - 1] = L'\0';
    return value[0] != L'\0' ? ParseDecimal(value) : 0;
}

// Formats the frame's own event into the shared buffers and delivers it;
// returns the raw answer (the caller applies the frame's rules).
int FrameEvent(UINT flags, UINT level, const std::wstring& name, const std::wstring& title, const std::wstring& text) {
    tstrcpy_s(L"INTF_RunClassicAction", L"g_eventText", g_eventText, kEventTextChars, text.c_str());
    const std::wstring caption = name + L": " + title;
    tstrcpy_s(L"INTF_RunClassicAction", L"g_eventCaption", g_eventCaption, kEventCaptionChars, caption.c_str());
    return Tracer().Notify((flags & TF_CHANNELS) | level, g_eventText, g_eventCaption);
}

// Logs the exception that reached the frame as one error line; the action
// then ends with 1603. Never throws.
UINT LogEscapedException(const char* exportName) noexcept {
    try {
        try {
            throw;
        } catch (const CWinEExc& error) {
            WcaLogError(HrFromInstallerError(error.Code()), "%s: unexpected error %u: %S", exportName, error.Code(),
                        error.Message().c_str());
        } catch (const std::exception& error) {
            WcaLogError(E_UNEXPECTED, "%s: unexpected exception: %s", exportName, error.what());
        } catch (...) {
            WcaLogError(E_UNEXPECTED, "%s: unexpected exception", exportName);
        }
    } catch (...) {
        // Even the line could not be built.
    }
    return ERROR_INSTALL_FAILURE;
}

// Steps 2 to 6 with the layer attached.
UINT RunAttached(MSIHANDLE hInstall, const char* exportName, ActionImpl impl) {
    // 2-3. Trace flags: the settings, OR the action's property.
    const std::wstring name = FromAnsi(exportName);
    const UINT flags = GetTracerFlags(exportName) | ActionPropertyFlags(hInstall, name);

    UINT result = 0;
    try {
        // 4. Entry event, under the event-answer rule (an abort skips the implementation).
        if (flags & TF_TRACE)
            RaiseEvent(flags, TF_TRACE, name.c_str(), L"Welcome!", L"%s", L"Entering Binary custom action");
        // 5. The implementation.
        impl(result, name.c_str(), flags, hInstall);
    } catch (TraceAbort abort) {
        result = static_cast<UINT>(abort);
    } catch (...) {
        result = LogEscapedException(exportName);
    }

    // 6. Final event, under the frame's narrower rules.
    if (result != 0) {
        const std::wstring err = FormatErrMessage(result, L" error");
        if (flags & TF_ERROR) {
            const int answer = FrameEvent(flags, TF_ERROR, name,
                                          FormatWide(L"Finalize error! #%i", static_cast<int>(result)),
                                          name + L" " + err);
            if (answer == static_cast<int>(ERROR_INSTALL_USEREXIT))
                result = ERROR_INSTALL_USEREXIT;
            else if (result == ERROR_INSTALL_USEREXIT)
                result = ERROR_SUCCESS;
        }
    } else if (flags & TF_TRACE) {
        const int answer = FrameEvent(flags, TF_TRACE, name, L"GoodBye!",
                                      FormatWide(L"Exiting Binary custom action, result: %i", 0));
        if (answer == static_cast<int>(ERROR_INSTALL_USEREXIT)) result = ERROR_INSTALL_USEREXIT;
    }
    return result;
}

}  // namespace

UINT RunClassicAction(MSIHANDLE hInstall, const char* exportName, ActionImpl impl) noexcept {
    if (exportName == nullptr) exportName = "";
    // 1. Attach the session layer.
    if (FAILED(WcaInitialize(hInstall, exportName))) return ERROR_INSTALL_FAILURE;
    UINT result = ERROR_INSTALL_FAILURE;
    try {
        result = RunAttached(hInstall, exportName, impl);
    } catch (...) {
        // The frame's own events failed (out of memory): nothing may escape.
        result = LogEscapedException(exportName);
    }
    // 7-8. Detach and return.
    WcaFinalize(result);
    return result;
}

}  // namespace ondex::runtime
