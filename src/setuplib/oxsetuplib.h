#pragma once
// OxSetupLib: custom actions written as classes. Talks to the installer
// directly, reports failures by throwing OxWinError and has its own log and
// trace outputs.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The member below is named LoadString; the Windows macro would rename it.
#ifdef LoadString
#undef LoadString
#endif

namespace OxSetupLib {

// Every string of the library.
class OxMsiString : public std::wstring {
public:
    using std::wstring::wstring;
    OxMsiString() = default;
    OxMsiString(const std::wstring& text) : std::wstring(text) {}
    OxMsiString(std::wstring&& text) : std::wstring(std::move(text)) {}
    virtual ~OxMsiString() = default;
};

class OxWinError {
public:
    explicit OxWinError(DWORD code, OxMsiString text = {}) : code_(code), text_(std::move(text)) {}
    DWORD Code() const { return code_; }
    const OxMsiString& Text() const { return text_; }
    // The text when set, else the system's message for the code.
    OxMsiString DisplayText() const;

private:
    DWORD code_;
    OxMsiString text_;
};

// Throws OxWinError(code) for a non-zero code.
void ThrowIfFailed(UINT code);
// Throws OxWinError with the calling thread's last error.
[[noreturn]] void ThrowLastError();

// ---- Owning templates and their releaser policies.

struct OxCloseHandleReleaser {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(Type h) { ::CloseHandle(h); }
};
struct OxFindCloseReleaser {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(Type h) { ::FindClose(h); }
};
struct OxRegCloseKeyReleaser {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Release(Type h) { ::RegCloseKey(h); }
};
struct OxFreeLibraryReleaser {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Release(Type h) { ::FreeLibrary(h); }
};

template <typename Releaser>
class OxSmartHandle {
public:
    using Type = typename Releaser::Type;
    OxSmartHandle() = default;
    explicit OxSmartHandle(Type value) : value_(value) {}
    OxSmartHandle(const OxSmartHandle&) = delete;
    OxSmartHandle& operator=(const OxSmartHandle&) = delete;
    ~OxSmartHandle() { Reset(); }
    Type Get() const { return value_; }
    bool IsValid() const { return value_ != Releaser::Invalid(); }
    void Reset(Type value = Releaser::Invalid()) {
        if (IsValid()) Releaser::Release(value_);
        value_ = value;
    }

private:
    Type value_ = Releaser::Invalid();
};

using OxFileHandle = OxSmartHandle<OxCloseHandleReleaser>;
using OxFindHandle = OxSmartHandle<OxFindCloseReleaser>;
using OxKeyHandle = OxSmartHandle<OxRegCloseKeyReleaser>;
using OxLibraryHandle = OxSmartHandle<OxFreeLibraryReleaser>;

template <typename T>
struct OxLocalFreeReleaser {
    static void Release(T* p) { ::LocalFree(p); }
};
template <typename T>
struct OxArrayDeleteReleaser {
    static void Release(T* p) { delete[] p; }
};
template <typename T>
struct OxObjectDeleteReleaser {
    static void Release(T* p) { delete p; }
};

template <typename T, typename Releaser = OxObjectDeleteReleaser<T>>
class OxPointerT {
public:
    OxPointerT() = default;
    explicit OxPointerT(T* pointer) : pointer_(pointer) {}
    OxPointerT(const OxPointerT&) = delete;
    OxPointerT& operator=(const OxPointerT&) = delete;
    ~OxPointerT() { Reset(); }
    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    void Reset(T* pointer = nullptr) {
        if (pointer_) Releaser::Release(pointer_);
        pointer_ = pointer;
    }

private:
    T* pointer_ = nullptr;
};

// ---- Installer objects.

class OxMsiObject {
public:
    explicit OxMsiObject(MSIHANDLE handle = 0) : handle_(handle) {}
    OxMsiObject(const OxMsiObject&) = delete;
    OxMsiObject& operator=(const OxMsiObject&) = delete;
    virtual ~OxMsiObject();
    virtual void Close();
    MSIHANDLE Handle() const { return handle_; }

protected:
    MSIHANDLE handle_;
};

class OxMsiRecord : public OxMsiObject {
public:
    explicit OxMsiRecord(MSIHANDLE handle = 0) : OxMsiObject(handle) {}
    // A new record of `fields` fields.
    static std::unique_ptr<OxMsiRecord> Create(UINT fields);
    void SetString(UINT field, const wchar_t* text);
    OxMsiString GetString(UINT field) const;
    void Attach(MSIHANDLE handle) {
        Close();
        handle_ = handle;
    }
};

class OxMsiView : public OxMsiObject {
public:
    explicit OxMsiView(MSIHANDLE handle) : OxMsiObject(handle) {}
    virtual void Execute(MSIHANDLE parameters = 0);
    // False at the end of the rows.
    virtual bool Fetch(OxMsiRecord& record);
    void Close() override;
};

class OxMsiDatabase : public OxMsiObject {
public:
    // The session's active database.
    explicit OxMsiDatabase(MSIHANDLE session);
    std::unique_ptr<OxMsiView> OpenView(const wchar_t* query) const;
};

// Index-based enumerators over a 39-character buffer (a braced GUID).
class OxMsiEnumBase {
public:
    virtual ~OxMsiEnumBase() = default;
    // The next code; false at the end.
    bool Next(OxMsiString& code);

protected:
    virtual UINT Enumerate(DWORD index, wchar_t* buffer) = 0;

private:
    DWORD index_ = 0;
};

class OxMsiEnumRelatedProductsWrp : public OxMsiEnumBase {
public:
    explicit OxMsiEnumRelatedProductsWrp(OxMsiString upgradeCode) : upgradeCode_(std::move(upgradeCode)) {}

protected:
    UINT Enumerate(DWORD index, wchar_t* buffer) override;

private:
    OxMsiString upgradeCode_;
};

class OxMsiEnumClientsWrp : public OxMsiEnumBase {
public:
    explicit OxMsiEnumClientsWrp(OxMsiString componentCode) : componentCode_(std::move(componentCode)) {}

protected:
    UINT Enumerate(DWORD index, wchar_t* buffer) override;

private:
    OxMsiString componentCode_;
};

class OxMsiInstall : public OxMsiObject {
public:
    explicit OxMsiInstall(MSIHANDLE session) : OxMsiObject(session) {}
    // The session belongs to the installer: closing or destroying only forgets it.
    ~OxMsiInstall() override { handle_ = 0; }
    void Close() override { handle_ = 0; }
    virtual int ProcessMessage(INSTALLMESSAGE type, MSIHANDLE record);
    virtual OxMsiString GetName() const = 0;
};

class OxSerializator;

class OxCustomAction : public OxMsiInstall {
public:
    explicit OxCustomAction(MSIHANDLE session) : OxMsiInstall(session) {}
    ~OxCustomAction() override;
    OxMsiString GetName() const override { return name_; }
    virtual OxMsiString GetDescription() const = 0;
    virtual OxMsiString GetTemplate() const { return L"[1]"; }
    virtual UINT Execute() = 0;

    void SetName(const OxMsiString& name) { name_ = name; }

    OxMsiString GetProperty(const wchar_t* name) const;
    int GetIntProperty(const wchar_t* name) const;
    void SetProperty(const wchar_t* name, const wchar_t* value) const;
    OxMsiString FormatRecord(MSIHANDLE record) const;
    OxMsiString LoadString(UINT id) const;
    void Log(const wchar_t* format, ...);
    void Trace(const wchar_t* format, ...);
    int ShowMessage(INSTALLMESSAGE type, const OxMsiString& text);
    OxMsiString extractBinary(const OxMsiString& name, const OxMsiString& targetPath);
    int getComponentMode(const OxMsiString& componentKey, const OxMsiString& componentCode);

protected:
    void LogText(const OxMsiString& text);
    void TraceText(const OxMsiString& text);

private:
    void TraceToFile(const OxMsiString& text);
    HWND FindDialogWindow() const;

    OxFileHandle traceFile_;
    OxMsiString name_;
};

// Runs an action object the installer's way; every exception becomes a
// message box and 1603.
using OxActionFactory = std::unique_ptr<OxCustomAction> (*)(MSIHANDLE session);
UINT runActionWith(MSIHANDLE session, OxActionFactory create, const wchar_t* exportName);

template <typename Action>
UINT runAction(MSIHANDLE session, const wchar_t* exportName) {
    return runActionWith(
        session, [](MSIHANDLE h) -> std::unique_ptr<OxCustomAction> { return std::make_unique<Action>(h); },
        exportName);
}

// A custom action whose work is split over immediate, deferred, rollback and
// commit invocations that share the members through a protected state file.
class OxPhasedCA : public OxCustomAction {
public:
    using OxCustomAction::OxCustomAction;
    UINT Execute() override;
    virtual OxMsiString GetStorageName();
    virtual UINT Immediate() = 0;
    virtual UINT Deferred() = 0;
    virtual UINT Rollback() = 0;
    virtual UINT Commit() = 0;
    virtual void Cleanup() {}
    virtual void Serialize(OxSerializator& serializer) = 0;

    const OxMsiString& StorageName() const { return storageName_; }

private:
    OxMsiString storageName_;
};

// ---- Member serializer.

struct OxSerialMember {
    std::vector<std::uint8_t> data;
};

class OxSerializator {
public:
    enum Mode { Storing = 0, Loading = 1 };
    virtual ~OxSerializator() = default;

    bool IsLoading() const { return mode_ == Loading; }
    // Stores or loads one member, by the current mode.
    void Serialize(std::uint8_t& value);
    void Serialize(std::uint32_t& value);
    void Serialize(std::int32_t& value);
    void Serialize(OxMsiString& value);

    // Back to an empty list for storing.
    void StartStoring();
    const std::vector<OxSerialMember>& Members() const { return members_; }

protected:
    void Store(std::vector<std::uint8_t> blob);
    const std::vector<std::uint8_t>& Next();

    Mode mode_ = Storing;
    size_t cursor_ = 0;
    std::vector<OxSerialMember> members_;
};

class OxFileSerializator : public OxSerializator {
public:
    explicit OxFileSerializator(OxMsiString path) : path_(std::move(path)) {}
    const OxMsiString& Path() const { return path_; }
    void Write() const;
    void Load();

    // One protected member each.
    class _StoreMember {
    public:
        explicit _StoreMember(const OxSerialMember& member) : member_(member) {}
        std::vector<std::uint8_t> Protected() const;

    private:
        const OxSerialMember& member_;
    };
    class _LoadMember {
    public:
        explicit _LoadMember(OxSerialMember& member) : member_(member) {}
        void Unprotect(const std::vector<std::uint8_t>& blob);

    private:
        OxSerialMember& member_;
    };

private:
    OxMsiString path_;
};

// ---- Small helpers.

class OxRegKeyHelper {
public:
    // Opens the key for reading; IsOpen() tells whether it exists.
    OxRegKeyHelper(HKEY root, const wchar_t* subKey);
    bool IsOpen() const { return key_.IsValid(); }
    // 0 for a missing value.
    DWORD ReadDword(const wchar_t* name) const;

private:
    OxKeyHandle key_;
};

class OxOleInit {
public:
    OxOleInit();
    ~OxOleInit();
    OxOleInit(const OxOleInit&) = delete;
    OxOleInit& operator=(const OxOleInit&) = delete;

private:
    bool initialized_ = false;
};

class OxFindFileWrapper {
public:
    explicit OxFindFileWrapper(const OxMsiString& pattern);
    bool IsValid() const { return handle_.IsValid(); }
    const WIN32_FIND_DATAW& Data() const { return data_; }
    // False at the end; other failures throw.
    bool Next();

private:
    WIN32_FIND_DATAW data_{};
    OxFindHandle handle_;
};

// File-system redirection is not turned off in a 64-bit build: the holder stays empty.
class OxRedirectionDisabler {
public:
    OxRedirectionDisabler() = default;
    OxRedirectionDisabler(const OxRedirectionDisabler&) = delete;
    OxRedirectionDisabler& operator=(const OxRedirectionDisabler&) = delete;

private:
    [[maybe_unused]] void* previous_ = nullptr;
};

// ---- Library routines.

OxMsiString GetTempFolder();
void CreateDirectoryTree(const OxMsiString& path);
void DeleteDirectoryTree(const OxMsiString& path, bool strict);
bool PathExists(const OxMsiString& path);
OxMsiString DirectoryOf(const OxMsiString& path);
OxMsiString WithBackslash(const OxMsiString& text);
// The process's temporary path, ending in a backslash.
OxMsiString TempPath();

// Parameters for the extension action, kept in "RPCAssembly.dat".
class OxExtensionData {
public:
    explicit OxExtensionData(OxMsiString productCode) : key_(std::move(productCode)) {}
    // GetTempFolder + product code + "\RPCAssembly.dat".
    OxMsiString FilePath() const;
    void Load();
    void Store();
    void Serialize(OxSerializator& serializer);

    OxMsiString assemblyPath;
    std::uint32_t selectedAction = 0;
    OxMsiString sqlServerName;
    OxMsiString sqlInstanceName;
    OxMsiString installFolder;
    OxMsiString sqlServerDatabase;
    OxMsiString wmiServicePath;
    std::uint32_t reserved = 0;
    std::uint8_t present = 0;

private:
    OxMsiString key_;
};

}  // namespace OxSetupLib
