// OxRegisterWMISvc: the product's WMI types through the managed WMI
// installer, selected and staged like the database creator.
#include "setuplib/oxa_actions.h"
#include "setuplib/oxa_common.h"

namespace OxSetupLib {

using namespace oxa;

namespace {

struct WmiComponent {
    const wchar_t* key;
    const wchar_t* code;
    const wchar_t* assemblyFileKey;
    const wchar_t* serviceFileKey;
};

constexpr WmiComponent kWmi64{L"Ondex.Harbor.WmiServer.Core.dll_x64", L"{2382D326-DB5B-4140-B3C4-6DCE5759A20A}",
                              L"[#ondex.harbor.wmiserver.core.]", L"[#Ondex.Harbor.WmiServer.exe1]"};
constexpr WmiComponent kWmi32{L"Ondex.Harbor.WmiServer.Core.dll_x86", L"{618DB1B7-B3E2-4EC4-8DBB-7344E1A8C4E8}",
                              L"[#ondex.harbor.wmiserver.core.1]", L"[#Ondex.Harbor.WmiServer.exe]"};

// A managed exception of this code only warns.
constexpr HRESULT kToleratedManagedCode = static_cast<HRESULT>(0x80131600);

}  // namespace

OxMsiString OxRegisterWMISvc::GetStorageName() { return ProductStorageFolder(*this) + L"OxRegisterWMISvc"; }

void OxRegisterWMISvc::Serialize(OxSerializator& serializer) {
    serializer.Serialize(selectedAction_);
    serializer.Serialize(removeStageDone_);
    serializer.Serialize(assemblyPath_);
    serializer.Serialize(serviceExecutable_);
    serializer.Serialize(rollbackStatus_);
}

UINT OxRegisterWMISvc::Immediate() {
    const WmiComponent& wmi = Is64Bit(*this) ? kWmi64 : kWmi32;
    const int mode = getComponentMode(wmi.key, wmi.code);
    assemblyPath_ = FormatFileKey(*this, wmi.assemblyFileKey);
    serviceExecutable_ = FormatFileKey(*this, wmi.serviceFileKey);
    Log(L"Extension assembly path: '%s'.", assemblyPath_.c_str());
    Log(L"Service component mode: %d.", mode);
    Log(L"Service executable: %s.", serviceExecutable_.c_str());

    const Selection selection = SelectInstallAction(*this, mode, true, selectedAction_);
    selectedAction_ = selection.action;

    if (selection.upgradeDetected) {
        OxExtensionData data(GetProperty(L"ProductCode"));
        if (!GetProperty(L"OxRPCDataExist").empty()) data.Load();
        data.assemblyPath = GetProperty(L"INSTALLDIR") + L"Ondex.Harbor.Setup.dll";
        data.wmiServicePath = serviceExecutable_;
        data.Store();
        SetProperty(L"OxRPCDataExist", L"1");
    }
    SetDeferredData(*this, L"OxaRegisterWMISvc", StorageName());
    return selection.result;
}

UINT OxRegisterWMISvc::Deferred() {
    return RunDeferredStage(removeStageDone_, [&](Stage stage) { return RunStage(stage); });
}

// The rollback undoes only what a deferred stage recorded in the rollback
// status (0: registered, 1: unregistered); no stage records anything yet.
UINT OxRegisterWMISvc::Rollback() {
    const int expected = selectedAction_ == SA_INSTALL ? 0 : 1;
    const UINT result = RunPlannedStage(*this, selectedAction_, Stage::Rollback, [&](const StagePlan& plan) {
        return rollbackStatus_ == expected ? RunManaged(plan.code) : static_cast<UINT>(ERROR_SUCCESS);
    });
    rollbackStatus_ = -1;
    return result;
}

UINT OxRegisterWMISvc::RunStage(Stage stage) {
    return RunPlannedStage(*this, selectedAction_, stage, [&](const StagePlan& plan) { return RunManaged(plan.code); });
}

void OxRegisterWMISvc::Cleanup() {
    CleanupStorage(*this, L"=========OxRegisterWMISvc: Cleaning up temporary data.", StorageName());
}

UINT OxRegisterWMISvc::RunManaged(int code) {
    if (!PathExists(assemblyPath_)) {
        Log(L"Assembly file cannot be found.");
        return ERROR_SUCCESS;
    }
    const wchar_t* method = code == SA_INSTALL || code == SA_MAINTAIN ? L"MsiInstall" : L"MsiUninstall";
    return GuardManaged(*this, kToleratedManagedCode, [&] {
        const OxOleInit ole;
        Log(L"Loading Ondex.Harbor.WmiServer.Core assembly...");
        const OxClrHost host(assemblyPath_, DirectoryOf(assemblyPath_), kRuntimeVersion);
        Log(L"Executing Ondex.Harbor.WmiServer.Core.CWmiInstaller.%s()...", method);
        host.CallMethod(L"Ondex.Harbor.WmiServer.Core.CWmiInstaller", method,
                        OxArguments(OxVariant::Text(serviceExecutable_)));
        return static_cast<UINT>(ERROR_SUCCESS);
    });
}

}  // namespace OxSetupLib
