#pragma once
// Plain-value logic of the installer UI helpers: the summary page text and
// the processor count. No Windows headers.
#include <cstddef>
#include <string>

namespace ondex::prereq {

// The properties the summary page is composed from.
struct SummaryChoices {
    std::wstring installDir;          // INSTALLDIR
    std::wstring reportViewerAction;  // REPORTVIEWERACTION
    std::wstring reportViewerDir;     // RVINSTALLDIR
    std::wstring desktopIcon;         // CREATEDESKTOPICON
    std::wstring quickLaunchIcon;     // CREATEQUICKLAUNCHICON
};

// The summary text: one line-feed-terminated line per item, values indented
// by four blanks, the destination (and report viewer) sections followed by
// an empty line.
std::wstring ComposeInstallationSummary(const SummaryChoices& choices);

// Size of one entry returned by the logical-processor query of a 64-bit
// process: the 64-bit processor mask, the 32-bit relationship, padding and a
// 16-byte union.
inline constexpr std::size_t kProcessorEntryBytes = 32;

struct ProcessorCount {
    unsigned cores = 0;    // entries of the processor-core kind
    unsigned logical = 0;  // bits set in their processor masks
};

// Walks the whole entries in `bytes` bytes (little-endian layout).
ProcessorCount CountProcessorCores(const unsigned char* entries, std::size_t bytes);

// True when the cores report more than two threads each (integer division).
bool MoreThanTwoThreadsPerCore(const ProcessorCount& count);

}  // namespace ondex::prereq
