#include "iis/web_deploy_text.h"

#include <cstdint>
#include <vector>

#include "iis/iis_text.h"
#include "runtime/deferred_text.h"
#include "runtime/trace_flags.h"

namespace ondex::iis {

namespace {

std::wstring Signed(std::uint32_t value) { return std::to_wstring(static_cast<std::int32_t>(value)); }

}  // namespace

std::wstring WriteConfigureWebData(const ConfigureWebProperties& p) {
    using runtime::SerializeItems;
    const std::vector<std::wstring> fields = {
        kConfigureWebName,
        SerializeItems({p.baseWebDir, p.webAccessDir}),
        SerializeItems({L"OndexAlmanacEnterprise", L"OndexWebAccess"}),
        L"/LM/W3SVC/" + p.siteId,
        p.siteName,
        Signed(1),
        p.virtualRoot,
        L"Home.aspx",
        p.webAccessDir,
        Signed(0x10000000),
        Signed(ParseDecimalPrefix(p.siteId)),
        p.tcpPort,
        p.hostHeader,
        p.ipAddress,
        L"ASP.NET v2.0",
        SerializeItems({p.readers[0], p.readers[1], p.readers[2]}),
        SerializeItems({p.writers[0], p.writers[1], p.writers[2]}),
        SerializeItems({Signed(0x80000000u), Signed(0x10000000)}),
    };
    std::wstring data;
    for (const std::wstring& field : fields) {
        if (!data.empty()) data += runtime::kDeferredSeparator;
        data += field;
    }
    return data;
}

}  // namespace ondex::iis
