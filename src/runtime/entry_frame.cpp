#include "runtime/entry_frame.h"

#include <string>

#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

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

}  // namespace

UINT RunClassicAction(MSIHANDLE hInstall, const char* exportName, ActionImpl impl) {
    // 1. Attach the session layer.
    if (FAILED(WcaInitialize(hInstall, exportName))) return ERROR_INSTALL_FAILURE;

    // 2-3. Trace flags: the settings, OR the action's property.
    const std::wstring name = FromAnsi(exportName ? exportName : "");
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

    // 7-8. Detach and return.
    WcaFinalize(result);
    return result;
}

}  // namespace ondex::runtime
