#pragma once
// A package whose component Core is being installed and Idle is left alone,
// with a LocalGroup table, for the local-group actions.
#include <string>
#include <vector>

#include "support/package.h"

namespace ondex::test {

struct LocalGroupRow {
    const wchar_t* key;
    const wchar_t* component;
    const wchar_t* name;
    const wchar_t* description;
    const wchar_t* parent;
    const wchar_t* attributes;  // SQL literal: a number or NULL
};

inline void LocalGroupFeature(TestPackage& package, const wchar_t* feature, int level, const wchar_t* component,
                              const wchar_t* guid) {
    package.Row(L"Feature", {{L"Feature", Quoted(feature)}, {L"Level", Number(level)}, {L"Attributes", L"0"}})
        .Row(L"Component", {{L"Component", Quoted(component)}, {L"ComponentId", Quoted(guid)},
                            {L"Directory_", L"'TARGETDIR'"}, {L"Attributes", L"0"}})
        .Row(L"FeatureComponents", {{L"Feature_", Quoted(feature)}, {L"Component_", Quoted(component)}});
}

inline void LocalGroupPackage(TestPackage& package) {
    package.Table(L"Directory").Table(L"Component").Table(L"Feature").Table(L"FeatureComponents")
        .Row(L"Directory", {{L"Directory", L"'TARGETDIR'"}, {L"DefaultDir", L"'SourceDir'"}})
        .Sql(L"CREATE TABLE `LocalGroup` (`LocalGroup` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
             L"`Name` CHAR(255) NOT NULL, `Description` CHAR(255), `ParentGroup` CHAR(255), `Attributes` LONG, "
             L"`ResultProperty` CHAR(72) PRIMARY KEY `LocalGroup`)");
    LocalGroupFeature(package, L"Main", 1, L"Core", L"{6B1C5A80-3D3B-4C62-9A40-6E0F1B2C3D41}");
    LocalGroupFeature(package, L"Off", 0, L"Idle", L"{6B1C5A80-3D3B-4C62-9A40-6E0F1B2C3D42}");
}

inline void LocalGroupRows(TestPackage& package, const std::vector<LocalGroupRow>& rows) {
    for (const LocalGroupRow& r : rows)
        package.Row(L"LocalGroup", {{L"LocalGroup", Quoted(r.key)}, {L"Component_", Quoted(r.component)},
                                    {L"Name", Quoted(r.name)}, {L"Description", Quoted(r.description)},
                                    {L"ParentGroup", Quoted(r.parent)}, {L"Attributes", r.attributes}});
}

// The session, costed so that component states are known, with `userSid`
// as the installing user (the engine sets its own at the start).
inline MSIHANDLE CostedLocalGroupSession(TestPackage& package, const wchar_t* userSid) {
    const MSIHANDLE session = package.Session();
    for (const wchar_t* action : {L"CostInitialize", L"FileCost", L"CostFinalize"}) MsiDoActionW(session, action);
    MsiSetPropertyW(session, L"UserSID", userSid);
    return session;
}

}  // namespace ondex::test
