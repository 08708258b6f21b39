#include "system/shares_text.h"

namespace ondex::system {

std::wstring WithoutTrailingBackslash(std::wstring_view folder) {
    if (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    return std::wstring(folder);
}

int CompareSharedPath(std::wstring_view sharePath, std::wstring_view folder) {
    return sharePath == WithoutTrailingBackslash(folder) ? kShareSameFolder : kShareOtherFolder;
}

std::optional<FolderRejection> RejectCatalogFolder(std::wstring_view folder) {
    if (folder.empty()) return FolderRejection{L"CATALOGPATH is not found.", L"ERR_PROP"};
    if (folder.size() <= 3) return FolderRejection{L"CATALOGPATH cannot be root.", L"ERR_ROOT"};
    if (folder.front() == L'\\') return FolderRejection{L"CATALOGPATH must be local.", L"ERR_NOT_LOCAL"};
    return std::nullopt;
}

}  // namespace ondex::system
