// OxCheckSelectedDatabase: the managed validators decide, before
// installation, whether the selected SQL database can be used.
#include "setuplib/oxa_actions.h"
#include "setuplib/oxa_common.h"

#include "runtime/text_format.h"
#include "setuplib/ox_trusted_fs.h"

namespace OxSetupLib {

using namespace oxa;

namespace {

struct SupportFile {
    const wchar_t* binaryRow;
    const wchar_t* fileName;
};

constexpr SupportFile kSupportFiles[] = {
    {L"Ondex.Harbor.DBCreator.dll_x64", L"Ondex.Harbor.DBCreator.dll"},
    {L"BackupDatabase.xml", L"BackupDatabase.xml"},
};

constexpr wchar_t kSupportFolderName[] = L"ShellDbChecker";

bool IsMissingPathError(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

}  // namespace

OxCheckSelectedDatabase::~OxCheckSelectedDatabase() {
    try {
        if (!supportFolder_.empty() && PathExists(supportFolder_)) DeleteDirectoryTree(supportFolder_, false);
    } catch (...) {
        // What cannot be deleted stays for the next check.
    }
}

UINT OxCheckSelectedDatabase::Execute() {
    UINT messageId = 109;
    OxMsiString failedFile;
    try {
        PrepareSupportFiles(messageId, failedFile);
        if (!Validate(L"Ondex.Harbor.DBCreator.CBackupValidator")) {
            ShowMessage(kErrorMessage, LoadString(110));
            SetProperty(L"CHKRQ_PRODSQLSRV_STATUSCODE", L"E_UNKNOWN");
            return ERROR_INSTALL_FAILURE;
        }
        if (!Validate(L"Ondex.Harbor.DBCreator.CBackupLockValidator")) {
            const auto question = static_cast<INSTALLMESSAGE>(MB_ICONERROR | MB_YESNO);
            if (ShowMessage(question, LoadString(111)) != IDYES) {
                SetProperty(L"CHKRQ_PRODSQLSRV_STATUSCODE", L"S_DBLOCKED");
                return ERROR_INSTALL_FAILURE;
            }
        }
        SetProperty(L"CHKRQ_PRODSQLSRV_STATUSCODE", L"OK");
        SetProperty(L"IS_SQLSERVER_STATUS", L"0");
        return ERROR_SUCCESS;
    } catch (const OxWinError& error) {
        if (!error.Text().empty()) Log(L"%s", error.Text().c_str());
        const OxMsiString format = LoadString(messageId);
        ShowMessage(kErrorMessage, messageId == 108
                                       ? ondex::runtime::FormatWide(format.c_str(), failedFile.c_str(), error.Code())
                                       : ondex::runtime::FormatWide(format.c_str(), error.Code()));
        return ERROR_INSTALL_FAILURE;
    }
}

void OxCheckSelectedDatabase::PrepareSupportFiles(UINT& messageId, OxMsiString& failedFile) {
    messageId = 105;
    { const OxMsiDatabase database(handle_); }
    supportFolder_ = GetTempFolder() + kSupportFolderName + L"\\";
    messageId = 106;
    try {
        if (PathExists(supportFolder_)) DeleteDirectoryTree(supportFolder_, false);
    } catch (const OxWinError& error) {
        if (!IsMissingPathError(error.Code())) throw;
    }
    messageId = 107;
    TrustedTempFolder(kSupportFolderName);
    for (const SupportFile& file : kSupportFiles) {
        const OxMsiString path = supportFolder_ + file.fileName;
        messageId = 108;
        failedFile = path;
        if (!::DeleteFileW(path.c_str()) && !IsMissingPathError(::GetLastError())) ThrowLastError();
        messageId = 114;
        extractBinary(file.binaryRow, path);
    }
    messageId = 109;
}

bool OxCheckSelectedDatabase::Validate(const wchar_t* validatorType) {
    OxVariant result;
    const UINT called = GuardManaged(*this, S_OK, [&] {
        const OxOleInit ole;
        Log(L"Loading Ondex.Harbor.DBCreator assembly...");
        const OxClrHost host(supportFolder_ + L"Ondex.Harbor.DBCreator.dll", supportFolder_, kRuntimeVersion);
        Log(L"Executing Ondex.Harbor.DBCreator.CLogger.MsiInit()");
        host.CallMethod(L"Ondex.Harbor.DBCreator.CLogger", L"MsiInit",
                        OxArguments(OxVariant::Int(static_cast<int>(handle_))));
        Log(L"Executing '%s'::'%s' method from Ondex.Harbor.DBCreator.dll...", validatorType, L"Validate");
        result = host.CallMethod(
            validatorType, L"Validate",
            OxArguments(OxVariant::Int(2), OxVariant::Text(GetProperty(L"SQL_SERVER_NAME")),
                        OxVariant::Text(GetProperty(L"SQL_SERVER_INSTANCE")),
                        OxVariant::Text(GetProperty(L"IS_SQLSERVER_DATABASE")), OxVariant::Text(supportFolder_),
                        OxVariant::Bool(false), OxVariant::Bool(false)));
        return static_cast<UINT>(ERROR_SUCCESS);
    });
    return called == ERROR_SUCCESS && result.IsTrue();
}

}  // namespace OxSetupLib
