// OxSQLAssemblyCaller: the configuration database through the managed
// database creator, selected in the immediate phase and run in the deferred
// remove and install stages or on rollback.
#include "setuplib/oxa_actions.h"
#include "setuplib/oxa_common.h"

namespace OxSetupLib {

using namespace oxa;

namespace {

struct ServiceComponent {
    const wchar_t* key;
    const wchar_t* code;
    const wchar_t* assemblyFileKey;
};

constexpr ServiceComponent kService64{L"OndexHarborService_x64", L"{515C8333-3A04-4486-BA63-376F81227B4F}",
                                      L"[#ondex.harbor.dbcreator.dll1]"};
constexpr ServiceComponent kService32{L"OndexHarborService_i386", L"{0BF7ADD1-4532-4EA0-861C-B147B3E09D36}",
                                      L"[#ondex.harbor.dbcreator.dll]"};

}  // namespace

OxMsiString OxSQLAssemblyCaller::GetStorageName() { return ProductStorageFolder(*this) + L"OxSQLAssemblyCaller"; }

void OxSQLAssemblyCaller::Serialize(OxSerializator& serializer) {
    serializer.Serialize(removeStageDone_);
    serializer.Serialize(selectedAction_);
    serializer.Serialize(assemblyPath_);
    serializer.Serialize(sqlServerName_);
    serializer.Serialize(sqlInstanceName_);
    serializer.Serialize(sqlServerDatabase_);
    serializer.Serialize(installFolder_);
    serializer.Serialize(databaseFile_);
    serializer.Serialize(databaseQuery_);
    serializer.Serialize(reserved_);
}

UINT OxSQLAssemblyCaller::Immediate() {
    const ServiceComponent& service = Is64Bit(*this) ? kService64 : kService32;
    const int mode = getComponentMode(service.key, service.code);
    assemblyPath_ = FormatFileKey(*this, service.assemblyFileKey);
    Log(L"Extension assembly path: '%s'.", assemblyPath_.c_str());
    Log(L"Service component mode: %d.", mode);

    const Selection selection = SelectInstallAction(*this, mode, false, selectedAction_);
    selectedAction_ = selection.action;
    installFolder_ = GetProperty(L"INSTALLDIR");
    databaseFile_ = GetProperty(L"OX_BCK_DB_FILE");
    databaseQuery_ = GetProperty(L"OX_BCK_DB_QUERY");
    sqlServerName_ = GetProperty(L"SQL_SERVER_NAME");
    sqlInstanceName_ = GetProperty(L"SQL_SERVER_INSTANCE");
    sqlServerDatabase_ = GetProperty(L"IS_SQLSERVER_DATABASE");

    if (selection.upgradeDetected) {
        OxExtensionData data(GetProperty(L"ProductCode"));
        if (!GetProperty(L"OxRPCDataExist").empty()) data.Load();
        data.assemblyPath = installFolder_ + L"Ondex.Harbor.Setup.dll";
        data.selectedAction = static_cast<std::uint32_t>(selectedAction_);
        data.sqlServerName = sqlServerName_;
        data.sqlInstanceName = sqlInstanceName_;
        data.installFolder = installFolder_;
        data.sqlServerDatabase = sqlServerDatabase_;
        data.present = 1;
        data.Store();
        SetProperty(L"OxRPCDataExist", L"1");
    }
    SetDeferredData(*this, L"OxSQLAssemblyCaller", StorageName());
    return selection.result;
}

UINT OxSQLAssemblyCaller::Deferred() {
    return RunDeferredStage(removeStageDone_, [&](Stage stage) { return RunStage(stage); });
}

UINT OxSQLAssemblyCaller::Rollback() { return RunStage(Stage::Rollback); }

UINT OxSQLAssemblyCaller::RunStage(Stage stage) {
    return RunPlannedStage(*this, selectedAction_, stage, [&](const StagePlan& plan) { return RunManaged(plan.code); });
}

void OxSQLAssemblyCaller::Cleanup() {
    CleanupStorage(*this, L"=========OxSQLAssemblyCaller: Cleaning up temporary data.", StorageName());
}

UINT OxSQLAssemblyCaller::RunManaged(int code) {
    if (!PathExists(assemblyPath_)) {
        Log(L"Assembly file cannot be found.");
        return ERROR_SUCCESS;
    }
    return GuardManaged(*this, S_OK, [&] {
        const OxOleInit ole;
        Log(L"Loading Ondex.Harbor.DBCreator assembly");
        const OxClrHost host(assemblyPath_, DirectoryOf(assemblyPath_), kRuntimeVersion);
        Log(L"Executing Ondex.Harbor.DBCreator.CLogger.MsiInit()");
        host.CallMethod(L"Ondex.Harbor.DBCreator.CLogger", L"MsiInit",
                        OxArguments(OxVariant::Int(static_cast<int>(handle_))));
        Log(L"Executing Ondex.Harbor.DBCreator.CBackupCreator.Create()");
        host.CallMethod(L"Ondex.Harbor.DBCreator.CBackupCreator", L"Create",
                        OxArguments(OxVariant::Int(code), OxVariant::Text(sqlServerName_),
                                    OxVariant::Text(sqlInstanceName_), OxVariant::Text(sqlServerDatabase_),
                                    OxVariant::Text(installFolder_)));
        return static_cast<UINT>(ERROR_SUCCESS);
    });
}

}  // namespace OxSetupLib
