#pragma once
// Paths made to look planted, where Wine cannot show it: a reparse point, an
// owner other than this account, or a DACL that lets another account write.
// Every other path is the system's.
#include <string>

#include "support/seam_override.h"

namespace ondex::test {

class PlantedPaths {
public:
    PlantedPaths();
    ~PlantedPaths();
    PlantedPaths(const PlantedPaths&) = delete;
    PlantedPaths& operator=(const PlantedPaths&) = delete;

    void Link(const std::wstring& path);
    void OwnedBy(const std::wstring& path, const std::wstring& sid);
    // Owned by Administrators; `sid` may change it.
    void WritableBy(const std::wstring& path, const std::wstring& sid);

private:
    ScopedApiOverride override_;
};

}  // namespace ondex::test
