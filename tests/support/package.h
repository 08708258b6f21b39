#pragma once
// Builds an installer database in a temporary file and opens it as a real
// session with MsiOpenPackageW.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace ondex::test {

class TestPackage {
public:
    // A new database with summary information and a Property table.
    TestPackage();
    ~TestPackage();
    TestPackage(const TestPackage&) = delete;
    TestPackage& operator=(const TestPackage&) = delete;

    // Runs one SQL statement (CREATE TABLE, INSERT ...) on the database.
    TestPackage& Sql(const std::wstring& query);
    TestPackage& Property(const std::wstring& name, const std::wstring& value);
    // Creates a standard table: Directory, Component, Feature, FeatureComponents,
    // CustomAction, InstallExecuteSequence or ComboBox.
    TestPackage& Table(const std::wstring& name);
    // An INSERT of (column, SQL literal) pairs; an empty literal leaves its column null.
    TestPackage& Row(const std::wstring& table, const std::vector<std::pair<std::wstring, std::wstring>>& literals);
    // A Binary row whose stream is the file at `path`.
    TestPackage& Binary(const std::wstring& name, const std::wstring& path);
    // A property's value in the session (opening it).
    std::wstring Get(const std::wstring& name);
    // The first column of a query's rows in the session's database (opening it).
    std::vector<std::wstring> Column(const std::wstring& query);
    // Sets a property in the session (opening it).
    void Set(const std::wstring& name, const std::wstring& value);

    // Commits and opens the session (once); the handle lives as long as the package.
    MSIHANDLE Session();
    // Commits and closes the database, for a package that is installed rather than opened.
    const std::wstring& Commit();
    const std::wstring& Path() const { return path_; }

private:
    TestPackage& Insert(const wchar_t* query, const std::wstring& name, const std::function<UINT(MSIHANDLE)>& second);

    std::wstring path_;
    platform::UniqueMsiHandle database_;
    platform::UniqueMsiHandle session_;
    bool hasBinaryTable_ = false;
};

// The installer's UI messages while the capture lives: INFO and error lines
// as formatted text, progress and action-start records as fields.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    struct Message {
        INSTALLMESSAGE type;
        std::wstring text;              // formatted record (INFO, ERROR, WARNING, USER)
        std::vector<std::wstring> fields;  // fields 1..n as text (field 0 first for action start)
        UINT style = 0;                    // the type's low 24 bits (message-box buttons and icon)
    };

    const std::vector<Message>& messages() const { return messages_; }
    // Formatted INFO lines, in order.
    std::vector<std::wstring> InfoLines() const;
    bool HasInfoLine(const std::wstring& line) const;
    std::vector<std::wstring> InfoLinesWith(const std::wstring& part) const;
    // Texts of the "Tolka HH:MM:SS: text" lines, in order, without the stamp.
    std::vector<std::wstring> TimestampedLines() const;
    // Progress records as their integer fields 1..4.
    std::vector<std::vector<int>> Progress() const;
    std::vector<Message> OfType(INSTALLMESSAGE type) const;
    void Clear() { messages_.clear(); }

    // The answer given to messages of `type` (default 0: not handled, or IDOK where expected).
    void AnswerWith(INSTALLMESSAGE type, int answer);

private:
    static int WINAPI Handler(LPVOID context, UINT type, MSIHANDLE record);

    std::vector<Message> messages_;
    std::vector<std::pair<INSTALLMESSAGE, int>> answers_;
    INSTALLUI_HANDLER_RECORD previous_ = nullptr;
};

// Deletes HKLM\SOFTWARE\Ondex when built and when destroyed.
class OndexRegistryScope {
public:
    OndexRegistryScope();
    ~OndexRegistryScope();
    // Writes a value under HKLM\<subKey>.
    static void SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value);
    static void SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value);
    static void SetBinary(const wchar_t* subKey, const wchar_t* name, const std::vector<BYTE>& value, DWORD type);
};

// A fresh empty folder under the temporary directory, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Every trace scope on the given channels and levels (settings masks AND 0,
// XOR `flags`; 0x707 adds the message box to the trace file and the log), the
// trace file "tlk" written in a fresh current folder; Text() closes it and
// reads it. The previous folder and settings come back at the end.
class EveryTraceOn {
public:
    explicit EveryTraceOn(DWORD flags = 0x707);
    ~EveryTraceOn();
    EveryTraceOn(const EveryTraceOn&) = delete;
    EveryTraceOn& operator=(const EveryTraceOn&) = delete;
    std::string Text();

private:
    OndexRegistryScope registry_;
    TempFolder folder_;
    std::wstring saved_;
};

// The prerequisite engine's two tables, empty.
TestPackage& CreatePrerequisiteTables(TestPackage& package);

// SQL literals for Row: a quoted text, or a number; empty (null) for an empty text or no number.
std::wstring Quoted(const std::wstring& text);
// A fresh GUID in braces ("{...}"), as product and upgrade codes are written.
std::wstring NewGuidText();
std::wstring Number(std::optional<int> value);

// The system's own text for an error code, as FormatErrMessage shows it.
std::wstring SystemErrorText(DWORD code);
// This computer's name.
std::wstring ComputerName();

// The folder of the test program (with its final backslash), and the test
// tool beside it, quoted, followed by its steps.
std::wstring TestFolder();
std::wstring TestTool(const std::wstring& steps);

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

}  // namespace ondex::test
