#pragma once
// Local groups: the attribute bits of the LocalGroup table, the row order,
// and the deferred data of CreateGroup (writer and reader). Pure logic: no
// Windows headers.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ondex::system {

// Bits of the LocalGroup table's Attributes column.
inline constexpr std::uint32_t LGA_CREATE = 0x1;
inline constexpr std::uint32_t LGA_CREATE_REQUIRED = 0x2;
inline constexpr std::uint32_t LGA_PARENT_REQUIRED = 0x4;
inline constexpr std::uint32_t LGA_ADD_USER = 0x8;

inline constexpr wchar_t kCreateGroupName[] = L"CreateGroup";

// A row that demands its group (creation or nesting required) but does not
// create it: the group is taken as missing without asking the system.
bool GroupTakenAsMissing(std::uint32_t attributes);

// Sorts `keys`' indices ascending by key, comparing code units one by one
// (a prefix before the longer key), with a selection sort. Returns the
// processing order as indices into `keys`.
std::vector<std::size_t> SelectionOrder(const std::vector<std::wstring>& keys);

// What one CreateGroup run acts on.
struct GroupRequest {
    std::wstring name;
    std::wstring description;
    std::wstring parentGroup;
    std::uint32_t attributes = 0;
    bool operator==(const GroupRequest&) const = default;
};

// Characters the writer's buffer holds for these fields.
std::size_t CreateGroupDataCapacity(const GroupRequest& request);

// "CreateGroup", then name, description, parent and the attributes as a
// signed decimal, each followed by the separator (the last one too).
std::wstring WriteCreateGroupData(const GroupRequest& request);

// Takes the next token, named for diagnostics; nullptr when the data has none.
using TokenSource = std::function<const wchar_t*(const wchar_t* tokenName)>;

// Reads the four fields after the function name in writing order. Returns
// nullptr, or the name of the first field the data lacks.
const wchar_t* ReadGroupFields(const TokenSource& next, GroupRequest& request);

enum class GroupDataStatus { Ok, WrongFunction, MissingField };

// The whole reader on a copy of `data`: function name "CreateGroup", then
// the fields.
GroupDataStatus ParseCreateGroupData(std::wstring_view data, GroupRequest& request);

}  // namespace ondex::system
