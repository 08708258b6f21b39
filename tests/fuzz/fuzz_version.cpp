// Version parsing and comparison on arbitrary texts. The input holds two
// texts of 16-bit code units (found, then required), split at the first
// unit 0xFFFF. Parsing keeps a bounded prefix and finds the same numbers
// as a plain digit count; comparing is an order on (major, minor) whenever
// both versions have the same parts.
#include <cstdlib>
#include <string>
#include <tuple>

#include "prereq/version_text.h"
#include "fuzz_support.h"

using namespace ondex::prereq;

namespace {

std::wstring Units(const unsigned char* bytes, unsigned long size) {
    std::wstring text;
    for (unsigned long i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
    return text;
}

// The value of a run of at most four digits at the start of `text`, when there is one.
bool LeadingDigits(std::wstring_view text, unsigned& value) {
    size_t count = 0;
    value = 0;
    while (count < text.size() && text[count] >= L'0' && text[count] <= L'9')
        value = value * 10 + (text[count++] - L'0');
    return count > 0 && count <= 4 && (count == text.size() || text[count] < L'0' || text[count] > L'9');
}

VersionInfo CheckedParse(std::wstring_view source) {
    VersionInfo version;
    Require(ParseVersionString(source, &version) == 1);
    const std::wstring_view text(version.text);
    const std::wstring_view kept = source.substr(0, source.find(L'\0'));
    Require(text.size() == std::min<size_t>(kept.size(), kVersionTextChars - 1));
    Require(kept.substr(0, text.size()) == text);

    const size_t dot = text.find(L'.');
    Require(version.flags == (dot == std::wstring_view::npos ? kVersionHasMajor : kVersionHasMajor | kVersionHasMinor));
    unsigned number = 0;
    if (LeadingDigits(text, number)) Require(version.major == number);
    if (dot != std::wstring_view::npos && LeadingDigits(text.substr(dot + 1), number)) Require(version.minor == number);
    return version;
}

bool IsOutcome(std::uint32_t result) {
    switch (result) {
    case kVersionOlder:
    case kVersionSameMajor:
    case kVersionNewerMajor:
    case kVersionNotComparable:
    case kVersionSameMinor:
    case kVersionNewerMinor: return true;
    default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, unsigned long size) {
    const std::wstring input = Units(bytes, size);
    const size_t split = std::min(input.find(L'\xFFFF'), input.size());
    const VersionInfo found = CheckedParse(std::wstring_view(input).substr(0, split));
    const VersionInfo required = CheckedParse(split < input.size() ? std::wstring_view(input).substr(split + 1) : L"");
    Require(ParseVersionString(input, nullptr) == 0);

    const std::uint32_t forward = VersionComparison(found, required);
    const std::uint32_t backward = VersionComparison(required, found);
    Require(IsOutcome(forward) && IsOutcome(backward));
    Require(VersionComparison(found, found) ==
            ((found.flags & kVersionHasMinor) ? kVersionSameMinor : kVersionSameMajor));

    if (found.flags == required.flags) {
        const auto a = std::tie(found.major, found.minor);
        const auto b = std::tie(required.major, required.minor);
        const bool minorsCount = found.flags & kVersionHasMinor;
        const bool older = minorsCount ? a < b : found.major < required.major;
        const bool newer = minorsCount ? a > b : found.major > required.major;
        Require((forward == kVersionOlder) == older);
        Require((backward == kVersionOlder) == newer);
        Require(!newer || forward == (found.major > required.major ? kVersionNewerMajor : kVersionNewerMinor));
    } else if (found.major == required.major) {
        // Different parts with equal majors: only a required minor makes them comparable.
        Require((forward == kVersionNotComparable) != static_cast<bool>(required.flags & kVersionHasMinor));
    }
    return 0;
}
