#include "prereq/version_text.h"

#include "runtime/trace_flags.h"

namespace ondex::prereq {

namespace {

std::uint16_t VersionNumber(std::wstring_view digits) {
    return static_cast<std::uint16_t>(runtime::ParseDecimal(digits));
}

std::uint32_t Ordered(std::uint16_t found, std::uint16_t required, std::uint32_t same, std::uint32_t newer) {
    if (found < required) return kVersionOlder;
    return found == required ? same : newer;
}

}  // namespace

int ParseVersionString(std::wstring_view text, VersionInfo* version) {
    if (version == nullptr) return 0;
    text = text.substr(0, text.find(L'\0')).substr(0, kVersionTextChars - 1);
    *version = VersionInfo{};
    version->flags = kVersionHasMajor;
    text.copy(version->text, text.size());

    const std::size_t dot = text.find(L'.');
    if (dot != std::wstring_view::npos) {
        version->minor = VersionNumber(text.substr(dot + 1));
        version->flags |= kVersionHasMinor;
    }
    version->major = VersionNumber(text);
    return 1;
}

std::uint32_t VersionComparison(const VersionInfo& found, const VersionInfo& required) {
    if (!(required.flags & kVersionHasMajor)) return kVersionNotComparable;
    const std::uint16_t foundMajor = (found.flags & kVersionHasMajor) ? found.major : 0;
    if (foundMajor != required.major) return Ordered(foundMajor, required.major, 0, kVersionNewerMajor);
    if (required.flags & kVersionHasMinor) {
        const std::uint16_t foundMinor = (found.flags & kVersionHasMinor) ? found.minor : 0;
        return Ordered(foundMinor, required.minor, kVersionSameMinor, kVersionNewerMinor);
    }
    return found.flags == required.flags ? kVersionSameMajor : kVersionNotComparable;
}

}  // namespace ondex::prereq
