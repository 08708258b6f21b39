#include "prereq/ui_text.h"

#include <bit>
#include <cstdint>

namespace ondex::prereq {

namespace {

constexpr wchar_t kIndent[] = L"    ";
constexpr std::uint32_t kRelationProcessorCore = 0;
constexpr std::size_t kRelationshipOffset = 8;

std::uint64_t ReadLittleEndian(const unsigned char* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::wstring ComposeInstallationSummary(const SummaryChoices& choices) {
    std::wstring text = L"Destination location:\n";
    text += kIndent + choices.installDir + L"\n\n";
    if (choices.reportViewerAction == L"LocalInstall") {
        text += L"Ondex Report Viewer location:\n";
        text += kIndent + choices.reportViewerDir + L"\n\n";
    }
    if (!choices.desktopIcon.empty() || !choices.quickLaunchIcon.empty()) {
        text += L"Additional icons:\n";
        if (!choices.desktopIcon.empty()) text += kIndent + std::wstring(L"Create a desktop icon\n");
        if (!choices.quickLaunchIcon.empty()) text += kIndent + std::wstring(L"Create a Quick Launch icon\n");
    }
    return text;
}

ProcessorCount CountProcessorCores(const unsigned char* entries, std::size_t bytes) {
    ProcessorCount count;
    if (entries == nullptr) return count;
    for (std::size_t offset = 0; offset + kProcessorEntryBytes <= bytes; offset += kProcessorEntryBytes) {
        const unsigned char* entry = entries + offset;
        if (ReadLittleEndian(entry + kRelationshipOffset, 4) != kRelationProcessorCore) continue;
        ++count.cores;
        count.logical += static_cast<unsigned>(std::popcount(ReadLittleEndian(entry, 8)));
    }
    return count;
}

bool MoreThanTwoThreadsPerCore(const ProcessorCount& count) {
    return count.cores != 0 && count.logical / count.cores > 2;
}

}  // namespace ondex::prereq
