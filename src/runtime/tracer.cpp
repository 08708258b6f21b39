#include "runtime/tracer.h"

#include <cstdarg>
#include <cwchar>

#include "platform/handles.h"
#include "platform/seam.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/user_box.h"

namespace ondex::runtime {

wchar_t g_eventText[kEventTextChars];
wchar_t g_eventCaption[kEventCaptionChars];

namespace {

constexpr wchar_t kInitialLogFileName[] = L"tlk";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Ondex\\setupdebug";
constexpr REGSAM kSettingsAccess = 0x20019;  // KEY_READ

// The process-wide tracer: built by this static initialiser, destroyed (and
// its trace file flushed and closed) when the module is unloaded.
TolkaTracer g_tracer;

// Marker in the trace file and message-box style of an event's level.
struct LevelLook {
    const wchar_t* marker;
    UINT boxStyle;
};

LevelLook LookOf(UINT flags) {
    switch (EventLevel(flags)) {
    case TF_TRACE: return {L"    ", 0x246};
    case TF_ERROR: return {L"!   ", 0x236};
    case TF_ASSERT: return {L"*** ", 0x216};
    default: return {L"?   ", 0x206};
    }
}

HANDLE OpenExisting(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

// One settings value as a flags word; empty when the key or value is missing
// or of another type than REG_SZ or REG_DWORD. Opens and closes the key.
std::optional<UINT> ReadSettingsValue(const std::wstring& name) {
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, kSettingsAccess, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type == REG_SZ) {
        std::wstring text((size + 2) / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = size + 2;
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                               &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        return ParseDecimal(text.c_str());
    }
    if (type == REG_DWORD) {
        DWORD value = 0;
        DWORD bytes = sizeof value;
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

void FormatEvent(const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, va_list args) {
    FormatWideInto(g_eventText, kEventTextChars, textFormat, args);
    const std::wstring caption = std::wstring(scope ? scope : L"") + L": " + (title ? title : L"");
    tstrcpy_s(L"INTF_FormatEvent", L"g_eventCaption", g_eventCaption, kEventCaptionChars, caption.c_str());
}

void RaiseFormattedEvent(UINT flags, UINT level) {
    const int answer = Tracer().Notify((flags & TF_CHANNELS) | level, g_eventText, g_eventCaption);
    if (answer == -1)
        BreakIfDebugged();
    else if (answer != 0)
        throw TraceAbort(answer);
}

}  // namespace

TolkaTracer& Tracer() { return g_tracer; }

TolkaTracer::TolkaTracer() : logFileName_(kInitialLogFileName) {}

TolkaTracer::~TolkaTracer() { stream_.Close(); }

void TolkaTracer::Close() {
    stream_.Close();
    opened_ = false;
    logFileName_ = kInitialLogFileName;
}

int TolkaTracer::Notify(UINT flags, const wchar_t* text, const wchar_t* caption) {
    if (flags & TF_LOGFILE) WriteLogLine(flags);

    int answer = 0;
    if (flags & TF_MESSAGEBOX) {
        switch (ShowBox(WcaGetInstallHandle(), nullptr, text, caption, LookOf(flags).boxStyle)) {
        case IDCANCEL: answer = ERROR_INSTALL_USEREXIT; break;
        case IDTRYAGAIN: answer = -1; break;
        default: answer = 0; break;
        }
    }

    if ((flags & TF_MSILOG) && WcaIsAttached()) {
        const std::string line = ToAnsi(std::wstring(caption ? caption : L"") + L": " + (text ? text : L""));
        WcaLog(LOGMSG_STANDARD, (flags & TF_TRACE) ? "  %s" : "! %s", line.c_str());
    }
    return answer;
}

void TolkaTracer::WriteLogLine(UINT flags) {
    if (!opened_) OpenLogFile(logFileName_);
    if (!opened_) return;
    stream_.Write(std::wstring(LookOf(flags).marker) + g_eventCaption + L": " + g_eventText + L'\n');
}

void TolkaTracer::OpenLogFile(const std::wstring& path) {
    bool exists = false;
    HANDLE file = OpenExisting(path);
    if (file != INVALID_HANDLE_VALUE) {
        logFileName_ = path;
        exists = true;
    } else {
        bool created = false;
        if (!path.empty()) {
            file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                logFileName_ = path;
                ::CloseHandle(file);
                created = true;
            }
        }
        if (!created) {
            // Fall back to the temporary directory; unique number 1 builds the
            // name without creating the file.
            wchar_t tempDir[MAX_PATH];
            wchar_t tempName[MAX_PATH];
            // A temporary path longer than the buffer is a failure, not a name.
            const DWORD tempLength = platform::Api().GetTempPathW(MAX_PATH, tempDir);
            if (tempLength != 0 && tempLength < MAX_PATH && ::GetTempFileNameW(tempDir, L"tlkl", 1, tempName) != 0) {
                logFileName_ = tempName;
                file = OpenExisting(logFileName_);
                exists = file != INVALID_HANDLE_VALUE;
            }
        }
    }

    if (exists) {
        ::CloseHandle(file);
        stream_.Open(logFileName_, true);
    } else {
        if (logFileName_.empty()) return;
        stream_.Open(logFileName_, false);
    }
    opened_ = true;  // even when the stream failed: each process tries once
}

UINT GetTracerFlags(const char* traceKey) {
    const std::string key = traceKey ? traceKey : "";
    if (WcaIsAttached()) {
        // The property of the scope is named, but its value is not taken:
        // only the entry frame reads (and ORs in) the property of its action.
        const std::string propertyName = "Tracer" + key + "_TRACERFLAGS";
        (void)propertyName;
    }
    const UINT base = ReadSettingsValue(FromAnsi(key)).value_or(TF_DEFAULT);
    const std::optional<UINT> andOrMask = ReadSettingsValue(L"@TRACERFLAGS_ANDORMASK");
    const std::optional<UINT> xorMask = ReadSettingsValue(L"@TRACERFLAGS_XORMASK");
    return CombineTracerFlags(base, andOrMask, xorMask);
}

void RaiseEvent(UINT flags, UINT level, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...) {
    va_list args;
    va_start(args, textFormat);
    FormatEvent(scope, title, textFormat, args);
    va_end(args);
    RaiseFormattedEvent(flags, level);
}

void TraceIf(UINT flags, UINT level, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...) {
    if (!(flags & level)) return;
    va_list args;
    va_start(args, textFormat);
    FormatEvent(scope, title, textFormat, args);
    va_end(args);
    RaiseFormattedEvent(flags, level);
}

void AssertBox(UINT flags, const wchar_t* scope, const wchar_t* title, const wchar_t* textFormat, ...) {
    if (!(flags & TF_ASSERT)) return;
    va_list args;
    va_start(args, textFormat);
    FormatEvent(scope, title, textFormat, args);
    va_end(args);
    if (ShowBox(WcaGetInstallHandle(), nullptr, g_eventText, g_eventCaption, MB_OKCANCEL | MB_ICONHAND) == IDCANCEL)
        BreakIfDebugged();
}

std::wstring SystemMessageText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length && text ? std::wstring(text, length) : std::wstring();
    if (text) ::LocalFree(text);
    return result;
}

std::wstring FormatErrMessage(DWORD code, const wchar_t* prefix) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                         MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        if (text) ::LocalFree(text);
        constexpr size_t kFallbackChars = 16;
        text = static_cast<wchar_t*>(::LocalAlloc(LPTR, kFallbackChars * sizeof(wchar_t)));
        if (text == nullptr) return L"Unknown failure";
        tstrcpy_s(L"INTF_FormatErrMessage", L"sMsgBuf", text, kFallbackChars, L"Unknown error");
    }
    const std::wstring codeText = FormatWide(L": (0x%X): ", static_cast<unsigned>(code));
    std::wstring result = std::wstring(prefix ? prefix : L"") + codeText + text;
    ::LocalFree(text);
    return result;
}

int tstrcpy_s(const wchar_t* scope, const wchar_t* bufferName, wchar_t* destination, size_t capacity,
              const wchar_t* source) {
    if (destination == nullptr || capacity == 0) return EINVAL;
    if (source == nullptr) source = L"";
    const size_t length = std::wcslen(source);
    const size_t copied = length < capacity ? length : capacity - 1;
    std::wmemcpy(destination, source, copied);
    destination[copied] = L'\0';
    return 0;
}

int LogTimestamped(MSIHANDLE hInstall, const wchar_t* text) {
    platform::UniqueMsiHandle record(::MsiCreateRecord(1));
    if (!record) return 0;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    // "%H:%M:%S" of the local time.
    const std::wstring stamp = FormatWide(L"Tolka %02u:%02u:%02u: [1]", static_cast<unsigned>(now.wHour),
                                          static_cast<unsigned>(now.wMinute), static_cast<unsigned>(now.wSecond));
    ::MsiRecordSetStringW(record.get(), 0, stamp.c_str());
    ::MsiRecordSetStringW(record.get(), 1, text ? text : L"");
    ::MsiProcessMessage(hInstall, INSTALLMESSAGE_INFO, record.get());
    return 1;
}

void LogTimestampedError(MSIHANDLE hInstall, DWORD code, const wchar_t* prefix) {
    LogTimestamped(hInstall, FormatErrMessage(code, prefix).c_str());
}

}  // namespace ondex::runtime
