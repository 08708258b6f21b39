// The custom-action base: properties, log, trace, messages, the runner and
// the phase dispatcher.
#include <cstdlib>

#include "platform/seam.h"
#include "runtime/text_format.h"
#include "runtime/user_box.h"
#include "setuplib/oxsetuplib.h"
#include "setuplib/ox_trusted_fs.h"

using ondex::platform::Api;

namespace OxSetupLib {
namespace {

constexpr DWORD kTraceDebugger = 4;
constexpr DWORD kTraceMessageBox = 1;
constexpr DWORD kTraceFile = 2;
constexpr DWORD kTraceLog = 8;

// Calls `read(buffer, &size)` with a buffer grown while it reports more data.
template <typename Read>
OxMsiString ReadGrowing(Read read) {
    std::wstring buffer(256, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const UINT result = read(buffer.data(), &size);
        if (result == ERROR_MORE_DATA) {
            buffer.assign(size + 1, L'\0');
            continue;
        }
        ThrowIfFailed(result);
        buffer.resize(size);
        return buffer;
    }
}

// "***Ondex*** [dd.mm.yyyy - hh:mm:ss:ms] " and the text.
std::wstring StampedLine(const std::wstring& text) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return ondex::runtime::FormatWide(L"***Ondex*** [%02d.%02d.%02d - %02d:%02d:%02d:%d] ", now.wDay, now.wMonth,
                                      now.wYear, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds) +
           text;
}

// A record whose text the engine shows exactly as it stands: a template
// would take its brackets for property references.
std::unique_ptr<OxMsiRecord> VerbatimRecord(const std::wstring& text) {
    auto record = OxMsiRecord::Create(1);
    record->SetString(0, L"[1]");
    record->SetString(1, text.c_str());
    return record;
}

// The error's display text, or a fixed text when even that cannot be built.
std::wstring DisplayTextOf(const OxWinError& error) noexcept {
    try {
        return error.DisplayText();
    } catch (...) {
        return {};
    }
}

// The runner's last resort: one log line and the error box. Never throws.
void ReportFailure(MSIHANDLE session, const wchar_t* exportName, const std::wstring& text) noexcept {
    try {
        const auto record = VerbatimRecord(StampedLine(text));
        ::MsiProcessMessage(session, INSTALLMESSAGE_INFO, record->Handle());
        ondex::runtime::ShowBox(session, nullptr, text.c_str(), exportName, MB_OK | MB_ICONERROR);
    } catch (...) {
        // Nothing more can be reported without memory.
    }
}

}  // namespace

OxCustomAction::~OxCustomAction() = default;

OxMsiString OxCustomAction::GetProperty(const wchar_t* name) const {
    return ReadGrowing([&](wchar_t* buffer, DWORD* size) { return ::MsiGetPropertyW(handle_, name, buffer, size); });
}

int OxCustomAction::GetIntProperty(const wchar_t* name) const {
    return static_cast<int>(std::wcstol(GetProperty(name).c_str(), nullptr, 10));
}

void OxCustomAction::SetProperty(const wchar_t* name, const wchar_t* value) const {
    ThrowIfFailed(::MsiSetPropertyW(handle_, name, value));
}

OxMsiString OxCustomAction::FormatRecord(MSIHANDLE record) const {
    return ReadGrowing(
        [&](wchar_t* buffer, DWORD* size) { return ::MsiFormatRecordW(handle_, record, buffer, size); });
}

void OxCustomAction::Log(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = ondex::runtime::FormatWideV(format, args);
    va_end(args);
    LogText(text);
}

void OxCustomAction::LogText(const OxMsiString& text) {
    const std::wstring line = StampedLine(text);
    ::OutputDebugStringW(line.c_str());
    ProcessMessage(INSTALLMESSAGE_INFO, VerbatimRecord(line)->Handle());
}

void OxCustomAction::Trace(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = ondex::runtime::FormatWideV(format, args);
    va_end(args);
    TraceText(text);
}

void OxCustomAction::TraceText(const OxMsiString& text) {
    try {
        const OxRegKeyHelper key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Ondex\\SetupDebug");
        if (!key.IsOpen()) return;
        DWORD options = key.ReadDword(L"TraceOptions");
        if (options == 0) options = key.ReadDword(name_.c_str());
        if (options & kTraceDebugger) ::OutputDebugStringW(text.c_str());
        if (options & kTraceMessageBox)
            ondex::runtime::ShowBox(handle_, nullptr, text.c_str(), name_.c_str(), MB_OK | MB_ICONEXCLAMATION);
        if (options & kTraceFile) TraceToFile(text);
        if (options & kTraceLog) LogText(text);
    } catch (const OxWinError& error) {
        if (error.Code() != ERROR_PATH_NOT_FOUND) throw;
    }
}

void OxCustomAction::TraceToFile(const OxMsiString& text) {
    if (!traceFile_.IsValid()) {
        const OxMsiString path = TempPath() + name_ + L".log";
        // An elevated phase's temporary folder is open to every user: a trace
        // file planted there (a link, or another user's file) is not written.
        try {
            RequireTrusted(path);
        } catch (const OxWinError&) {
            return;
        }
        traceFile_.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!traceFile_.IsValid()) ThrowLastError();
        const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
        if (::SetFilePointer(traceFile_.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) ThrowLastError();
        if (!existed) {
            const BYTE bom[] = {0xFF, 0xFE};
            DWORD written = 0;
            if (!::WriteFile(traceFile_.Get(), bom, sizeof(bom), &written, nullptr)) ThrowLastError();
        }
    }
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (!::WriteFile(traceFile_.Get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                     nullptr))
        ThrowLastError();
}

int OxCustomAction::ShowMessage(INSTALLMESSAGE type, const OxMsiString& text) {
    if (text.empty()) {
        Trace(L"Empty message string won't be processed.");
        return 0;
    }
    int result = ProcessMessage(type, VerbatimRecord(text)->Handle());
    Trace(L"ProcessMessage(%d, '%s')=%d.", static_cast<int>(type), text.c_str(), result);
    if (result != 0) return result;
    const UINT style = static_cast<UINT>(type) & 0x00FFFFFF;
    if (ondex::runtime::BoxGoesToEngine(handle_)) {
        // Nobody could answer a box here: the message counts as answered.
        result = ondex::runtime::DefaultButtonOf(style);
        Trace(L"ProcessMessage doesn't show the message. Answered with the default button %d.", result);
        return result;
    }

    Trace(L"ProcessMessage doesn't show the message. Using standart MesssageBox function...");
    int level = ::MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr) & 0x0F;
    if (level == INSTALLUILEVEL_DEFAULT) level = GetIntProperty(L"UILevel");
    if (level == INSTALLUILEVEL_NONE) return result;

    OxMsiString caption = GetProperty(L"ProductName");
    if (caption.empty()) caption = L"Installer";
    result = Api().MessageBoxW(FindDialogWindow(), text.c_str(), caption.c_str(), style);
    Trace(L"MessageBox(%d, '%s')=%d.", static_cast<int>(style), text.c_str(), result);
    return result;
}

HWND OxCustomAction::FindDialogWindow() const {
    const auto record = OxMsiRecord::Create(0);
    record->SetString(0, L"[ProductName] - InstallShield Wizard");
    const OxMsiString title = FormatRecord(record->Handle());
    const wchar_t* const classes[] = {L"MsiDialogCloseClass", L"MsiDialogNoCloseClass"};
    for (const wchar_t* windowClass : classes)
        if (HWND window = Api().FindWindowW(windowClass, title.c_str())) return window;
    for (const wchar_t* windowClass : classes)
        if (HWND window = Api().FindWindowExW(nullptr, nullptr, windowClass, nullptr)) return window;
    return nullptr;
}

namespace {

void SendActionStart(OxCustomAction& action, const wchar_t* name, const wchar_t* description, const wchar_t* format) {
    const auto record = OxMsiRecord::Create(4);
    record->SetString(1, name);
    record->SetString(2, description);
    record->SetString(3, format);
    action.ProcessMessage(INSTALLMESSAGE_ACTIONSTART, record->Handle());
}

}  // namespace

UINT runActionWith(MSIHANDLE session, OxActionFactory create, const wchar_t* exportName) {
    try {
        std::unique_ptr<OxCustomAction> action = create(session);
        if (action->GetName().empty()) action->SetName(exportName);
        const OxMsiString name = action->GetName();
        action->Trace(L"Execution of the '%s' custom action is beginning.", name.c_str());
        SendActionStart(*action, name.c_str(), action->GetDescription().c_str(), action->GetTemplate().c_str());
        const UINT result = action->Execute();
        SendActionStart(*action, L"", L"", L"");
        action->Trace(L"Execution of the '%s' custom action is ending.", name.c_str());
        return result;
    } catch (const OxWinError& error) {
        ReportFailure(session, exportName, DisplayTextOf(error));
    } catch (...) {
        ReportFailure(session, exportName, L"Unknown exception occurred.");
    }
    return ERROR_INSTALL_FAILURE;
}

OxMsiString OxPhasedCA::GetStorageName() {
    const OxMsiString productCode = GetProperty(L"ProductCode");
    if (productCode.empty()) {
        Log(L"This function should be called only into initial state.");
        throw OxWinError(ERROR_INVALID_OPERATION);
    }
    return TempPath() + productCode;
}

UINT OxPhasedCA::Execute() {
    const OxMsiString data = GetProperty(L"CustomActionData");
    storageName_ = data.empty() ? GetStorageName() : data;
    Log(L"Storage name: '%s'.", storageName_.c_str());
    OxFileSerializator serializer(storageName_);

    const bool rollback = Api().MsiGetMode(handle_, MSIRUNMODE_ROLLBACK);
    if (rollback || Api().MsiGetMode(handle_, MSIRUNMODE_COMMIT)) {
        serializer.Load();
        Serialize(serializer);
        rollback ? Rollback() : Commit();
        ::DeleteFileW(storageName_.c_str());
        Cleanup();
        return ERROR_SUCCESS;
    }
    UINT result = ERROR_SUCCESS;
    if (Api().MsiGetMode(handle_, MSIRUNMODE_SCHEDULED)) {
        serializer.Load();
        Serialize(serializer);
        result = Deferred();
        serializer.StartStoring();
    } else {
        result = Immediate();
    }
    Serialize(serializer);
    serializer.Write();
    return result;
}

}  // namespace OxSetupLib
