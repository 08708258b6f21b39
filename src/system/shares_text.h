#pragma once
// Plain-value logic of the folder-sharing actions: the "|" list of their
// deferred data, the folder checks of the share dialog and the path rule of
// the share queries. No Windows headers.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/item_list.h"

namespace ondex::system {


// The folder without one trailing backslash, as shares record their paths.
std::wstring WithoutTrailingBackslash(std::wstring_view folder);

// Results of the share queries.
inline constexpr int kShareCreated = 0;
inline constexpr int kShareSameFolder = 1;
inline constexpr int kShareOtherFolder = 2;
inline constexpr int kShareNotFound = 4;

// kShareSameFolder when the share's path is the folder (trailing backslash
// ignored, case-sensitive), kShareOtherFolder otherwise.
int CompareSharedPath(std::wstring_view sharePath, std::wstring_view folder);

// Why a folder cannot be shared: the log line and the dialog's verdict.
struct FolderRejection {
    std::wstring_view logLine;
    std::wstring_view verdict;
};

// The folder checks of the share dialog, in order: empty, a drive root (three
// characters or fewer), not local (begins with a backslash).
std::optional<FolderRejection> RejectCatalogFolder(std::wstring_view folder);

}  // namespace ondex::system
