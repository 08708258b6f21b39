// Stands in for selfssl.exe: writes its command line to commandline.txt
// beside itself and, as the real tool would, gives the site named by /S: a
// certificate hash in the metabase file named by OXIIS_METABASE_FILE. With
// OXIIS_SELFSSL_FAIL set it prints a complaint and exits with 1 instead.
#include <windows.h>

#include <string>

#include "iis/metabase_model.h"
#include "support/standin_record.h"

using ondex::test::Environment;

int main() {
    ondex::test::RecordCommandLine();
    if (!Environment(L"OXIIS_SELFSSL_FAIL").empty()) {
        puts("selfssl: the certificate could not be created");
        return 1;
    }
    const std::wstring line = GetCommandLineW();
    const size_t site = line.find(L"/S:");
    const std::wstring metabase = Environment(L"OXIIS_METABASE_FILE");
    if (site == std::wstring::npos || metabase.empty()) return 2;
    ondex::test::MetabaseModel model;
    model.BackWithFile(metabase);
    model.Put(L"/LM/W3SVC/" + line.substr(site + 3, line.find(L' ', site) - site - 3), {5506, 0, 1, 3, {0xC0, 0xDE}});
    return 0;
}
