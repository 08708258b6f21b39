#include "runtime/user_box.h"

#include <msiquery.h>

#include "platform/handles.h"
#include "platform/seam.h"

namespace ondex::runtime {

namespace {

constexpr UINT kBoxBits = MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK;

bool InDeferredPhase(MSIHANDLE hInstall) {
    const auto& api = platform::Api();
    return api.MsiGetMode(hInstall, MSIRUNMODE_SCHEDULED) || api.MsiGetMode(hInstall, MSIRUNMODE_ROLLBACK) ||
           api.MsiGetMode(hInstall, MSIRUNMODE_COMMIT);
}

bool SilentOrBasicUi(MSIHANDLE hInstall) {
    wchar_t level[8] = L"";
    DWORD size = 8;
    if (::MsiGetPropertyW(hInstall, L"UILevel", level, &size) != ERROR_SUCCESS) return false;
    return (level[0] == L'2' || level[0] == L'3') && level[1] == L'\0';
}

int AskEngine(MSIHANDLE hInstall, const wchar_t* text, UINT style) {
    platform::UniqueMsiHandle record(::MsiCreateRecord(1));
    if (!record) return 0;
    // The text goes in a field so that the engine shows it as it stands.
    ::MsiRecordSetStringW(record.get(), 0, L"[1]");
    ::MsiRecordSetStringW(record.get(), 1, text ? text : L"");
    const UINT type = INSTALLMESSAGE_USER | (style & kBoxBits);
    return ::MsiProcessMessage(hInstall, static_cast<INSTALLMESSAGE>(type), record.get());
}

}  // namespace

bool BoxGoesToEngine(MSIHANDLE hInstall) {
    return hInstall != 0 && (InDeferredPhase(hInstall) || SilentOrBasicUi(hInstall));
}

int DefaultButtonOf(UINT style) {
    static constexpr int kButtons[][3] = {
        {IDOK, 0, 0},                         // MB_OK
        {IDOK, IDCANCEL, 0},                  // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},         // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},              // MB_YESNOCANCEL
        {IDYES, IDNO, 0},                     // MB_YESNO
        {IDRETRY, IDCANCEL, 0},               // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE},   // MB_CANCELTRYCONTINUE
    };
    const UINT kind = style & MB_TYPEMASK;
    if (kind >= sizeof kButtons / sizeof kButtons[0]) return IDOK;
    const UINT index = (style & MB_DEFMASK) >> 8;
    const int button = index < 3 ? kButtons[kind][index] : 0;
    return button != 0 ? button : kButtons[kind][0];
}

int ShowBox(MSIHANDLE hInstall, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    return ShowBox(hInstall, owner, text, caption, style, DefaultButtonOf(style));
}

int ShowBox(MSIHANDLE hInstall, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int unanswered) {
    if (BoxGoesToEngine(hInstall)) {
        const int answer = AskEngine(hInstall, text, style);
        return answer > 0 ? answer : unanswered;  // nobody answered
    }
    return platform::Api().MessageBoxW(owner, text, caption, style);
}

void BreakIfDebugged() {
    if (platform::Api().IsDebuggerPresent()) platform::Api().DebugBreak();
}

}  // namespace ondex::runtime
