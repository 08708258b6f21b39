#pragma once
// The four actions that run the product's managed setup assemblies.
#include <cstdint>

#include "setuplib/oxsetuplib.h"

namespace OxSetupLib {

enum class Stage;

// Creates, upgrades or removes the configuration database through the
// managed database creator.
class OxSQLAssemblyCaller : public OxPhasedCA {
public:
    using OxPhasedCA::OxPhasedCA;
    OxMsiString GetDescription() const override { return LoadString(101); }
    OxMsiString GetStorageName() override;
    UINT Immediate() override;
    UINT Deferred() override;
    UINT Rollback() override;
    UINT Commit() override { return 0; }
    void Cleanup() override;
    void Serialize(OxSerializator& serializer) override;

private:
    UINT RunStage(Stage stage);
    UINT RunManaged(int code);

    std::uint8_t removeStageDone_ = 0;
    std::int32_t selectedAction_ = 1;
    OxMsiString assemblyPath_;
    OxMsiString sqlServerName_;
    OxMsiString sqlInstanceName_;
    OxMsiString sqlServerDatabase_;
    OxMsiString installFolder_;
    OxMsiString databaseFile_;
    OxMsiString databaseQuery_;
    OxMsiString reserved_;
};

// Registers or unregisters the product's WMI types through the managed WMI
// installer.
class OxRegisterWMISvc : public OxPhasedCA {
public:
    using OxPhasedCA::OxPhasedCA;
    OxMsiString GetDescription() const override { return LoadString(118); }
    OxMsiString GetStorageName() override;
    UINT Immediate() override;
    UINT Deferred() override;
    UINT Rollback() override;
    UINT Commit() override { return 0; }
    void Cleanup() override;
    void Serialize(OxSerializator& serializer) override;

private:
    UINT RunStage(Stage stage);
    UINT RunManaged(int code);

    std::int32_t selectedAction_ = 1;
    std::uint8_t removeStageDone_ = 0;
    OxMsiString assemblyPath_;
    OxMsiString serviceExecutable_;
    std::int32_t rollbackStatus_ = -1;
};

// Checks before installation that the selected SQL database can be used.
class OxCheckSelectedDatabase : public OxCustomAction {
public:
    using OxCustomAction::OxCustomAction;
    ~OxCheckSelectedDatabase() override;
    OxMsiString GetDescription() const override { return LoadString(104); }
    UINT Execute() override;

private:
    void PrepareSupportFiles(UINT& messageId, OxMsiString& failedFile);
    bool Validate(const wchar_t* validatorType);

    OxMsiString supportFolder_;
};

// Refuses to continue while a beta of the mail-explorer product is installed.
class OxDetectMVXBeta : public OxCustomAction {
public:
    using OxCustomAction::OxCustomAction;
    OxMsiString GetDescription() const override { return LoadString(139); }
    UINT Execute() override;
};

}  // namespace OxSetupLib
