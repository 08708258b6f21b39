#include "system/local_groups_text.h"

#include <algorithm>

#include "runtime/deferred_text.h"
#include "runtime/trace_flags.h"

namespace ondex::system {

using runtime::kDeferredSeparator;

bool GroupTakenAsMissing(std::uint32_t attributes) {
    return (attributes & (LGA_CREATE_REQUIRED | LGA_PARENT_REQUIRED)) != 0 && (attributes & LGA_CREATE) == 0;
}

namespace {

// Code unit by code unit; at the first difference the smaller unit wins, and
// a key that is a prefix of the other comes first.
bool KeyBefore(const std::wstring& a, const std::wstring& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) return a[i] < b[i];
    }
    return a.size() < b.size();
}

}  // namespace

std::vector<std::size_t> SelectionOrder(const std::vector<std::wstring>& keys) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        std::size_t smallest = i;
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            if (KeyBefore(keys[order[j]], keys[order[smallest]])) smallest = j;
        }
        std::swap(order[i], order[smallest]);
    }
    return order;
}

std::size_t CreateGroupDataCapacity(const GroupRequest& request) {
    return request.name.size() + request.description.size() + request.parentGroup.size() + 42;
}

std::wstring WriteCreateGroupData(const GroupRequest& request) {
    const wchar_t separator[] = {kDeferredSeparator, L'\0'};
    std::wstring data = kCreateGroupName;
    for (const std::wstring* field : {&request.name, &request.description, &request.parentGroup})
        data += separator + *field;
    data += separator + std::to_wstring(static_cast<std::int32_t>(request.attributes)) + separator;
    return data;
}

const wchar_t* ReadGroupFields(const TokenSource& next, GroupRequest& request) {
    struct TextField {
        const wchar_t* name;
        std::wstring* value;
    };
    for (const TextField& field : {TextField{L"cszName", &request.name},
                                   TextField{L"cszDescription", &request.description},
                                   TextField{L"cszParentGroup", &request.parentGroup}}) {
        const wchar_t* token = next(field.name);
        if (token == nullptr) return field.name;
        *field.value = token;
    }
    const wchar_t* attributes = next(L"dwAttributes");
    if (attributes == nullptr) return L"dwAttributes";
    request.attributes = runtime::ParseDecimal(attributes);
    return nullptr;
}

GroupDataStatus ParseCreateGroupData(std::wstring_view data, GroupRequest& request) {
    std::vector<wchar_t> buffer(data.begin(), data.end());
    buffer.push_back(L'\0');
    wchar_t* context = buffer.data();
    const wchar_t* name = runtime::TakeFirstToken(context);
    if (name == nullptr || std::wstring_view(name) != kCreateGroupName) return GroupDataStatus::WrongFunction;
    const TokenSource next = [&context](const wchar_t*) -> const wchar_t* { return runtime::TakeNextToken(context); };
    return ReadGroupFields(next, request) == nullptr ? GroupDataStatus::Ok : GroupDataStatus::MissingField;
}

}  // namespace ondex::system
