#include "iis/metabase_model.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace ondex::test {

struct MetabaseModel::Key {
    std::wstring name;
    Key* parent = nullptr;
    std::vector<std::unique_ptr<Key>> children;
    std::vector<MetaValue> values;

    Key* Child(const std::wstring& wanted) const {
        for (const auto& child : children)
            if (std::equal(child->name.begin(), child->name.end(), wanted.begin(), wanted.end(),
                           [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }))
                return child.get();
        return nullptr;
    }
    MetaValue* Value(std::uint32_t id) {
        auto found = std::find_if(values.begin(), values.end(), [id](const MetaValue& v) { return v.id == id; });
        return found == values.end() ? nullptr : &*found;
    }
};

namespace {

std::vector<std::wstring> Parts(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = std::min(path.find_first_of(L"/\\", start), path.size());
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::vector<std::uint8_t> Utf16(const std::wstring& text) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

}  // namespace

MetabaseModel::MetabaseModel() : root_(std::make_unique<Key>()) {}
MetabaseModel::~MetabaseModel() = default;
MetabaseModel& MetabaseModel::operator=(MetabaseModel&&) noexcept = default;

void MetabaseModel::AddKey(const std::wstring& path) {
    Key* key = root_.get();
    for (const auto& part : Parts(path)) {
        Key* child = key->Child(part);
        if (!child) {
            key->children.push_back(std::make_unique<Key>(Key{part, key, {}, {}}));
            child = key->children.back().get();
        }
        key = child;
    }
}

void MetabaseModel::Put(const std::wstring& path, MetaValue value) {
    AddKey(path);
    Key* key = Resolve(0, path, nullptr);
    if (MetaValue* old = key->Value(value.id)) *old = std::move(value);
    else key->values.push_back(std::move(value));
}

void MetabaseModel::PutString(const std::wstring& path, std::uint32_t id, const std::wstring& text) {
    Put(path, {id, 0, 1, 2, Utf16(text + L'\0')});
}

void MetabaseModel::PutDword(const std::wstring& path, std::uint32_t id, std::uint32_t value,
                             std::uint32_t attributes) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    Put(path, {id, attributes, 1, 1, bytes});
}

void MetabaseModel::PutMultiString(const std::wstring& path, std::uint32_t id, const std::vector<std::wstring>& strings) {
    std::wstring joined;
    for (const auto& s : strings) joined += s + L'\0';
    Put(path, {id, 0, 1, 5, Utf16(joined + L'\0')});
}

void MetabaseModel::AddSite(const std::wstring& key, const std::wstring& binding, const std::wstring& comment) {
    const std::wstring path = L"/LM/W3SVC/" + key;
    PutString(path, 1002, L"IIsWebServer");
    if (!binding.empty()) PutMultiString(path, 1023, {binding});
    if (!comment.empty()) PutString(path, 1015, comment);
}

const MetaValue* MetabaseModel::Find(const std::wstring& path, std::uint32_t id) const {
    Key* key = Resolve(0, path, nullptr);
    return key ? key->Value(id) : nullptr;
}

std::wstring MetabaseModel::Text(const std::wstring& path, std::uint32_t id) const {
    const MetaValue* value = Find(path, id);
    std::wstring text;
    for (size_t i = 0; value && i + 1 < value->bytes.size(); i += 2)
        text += static_cast<wchar_t>(value->bytes[i] | value->bytes[i + 1] << 8);
    return text;
}

bool MetabaseModel::HasKey(const std::wstring& path) const { return Resolve(0, path, nullptr) != nullptr; }

void MetabaseModel::Fail(const std::string& method, std::int32_t hr, const std::wstring& path, std::uint32_t id,
                         int times) {
    failures_.push_back({method, hr, path, id, times});
}

int MetabaseModel::Calls(const std::string& method) const {
    auto found = calls_.find(method);
    return found == calls_.end() ? 0 : found->second;
}

std::int32_t MetabaseModel::Hit(const std::string& method, const std::wstring& path, std::uint32_t id) {
    ++calls_[method];
    for (auto& failure : failures_) {
        if (failure.method != method || failure.times == 0) continue;
        if (!failure.path.empty() && Parts(failure.path) != Parts(path)) continue;
        if (failure.id && failure.id != id) continue;
        --failure.times;
        return failure.hr;
    }
    return 0;
}

MetabaseModel::Key* MetabaseModel::Resolve(std::uint32_t handle, const std::wstring& path, std::wstring* full) const {
    auto base = handles_.find(handle);
    const std::wstring joined = (handle && base != handles_.end() ? base->second : L"") + L"/" + path;
    if (full) *full = joined;
    if (handle && base == handles_.end()) return nullptr;
    Key* key = root_.get();
    for (const auto& part : Parts(joined))
        if (!(key = key->Child(part))) return nullptr;
    return key;
}

std::int32_t MetabaseModel::OpenKey(std::uint32_t handle, const std::wstring& path, std::uint32_t* opened) {
    std::wstring full;
    Key* key = Resolve(handle, path, &full);
    if (std::int32_t hr = Hit("OpenKey", full)) return hr;
    if (!key) return kPathNotFound;
    *opened = nextHandle_++;
    handles_[*opened] = full;
    return 0;
}

std::int32_t MetabaseModel::CloseKey(std::uint32_t handle) {
    if (std::int32_t hr = Hit("CloseKey")) return hr;
    return handles_.erase(handle) ? 0 : static_cast<std::int32_t>(0x80070006);
}

std::int32_t MetabaseModel::EnumKeys(std::uint32_t handle, const std::wstring& path, std::uint32_t index,
                                     std::wstring* name) {
    std::wstring full;
    Key* key = Resolve(handle, path, &full);
    if (std::int32_t hr = Hit("EnumKeys", full)) return hr;
    if (!key) return kPathNotFound;
    if (index >= key->children.size()) return kNoMoreItems;
    *name = key->children[index]->name;
    return 0;
}

std::int32_t MetabaseModel::GetData(std::uint32_t handle, const std::wstring& path, MetaValue* out,
                                    std::uint32_t capacity, std::uint32_t* required) {
    std::wstring full;
    Key* key = Resolve(handle, path, &full);
    if (std::int32_t hr = Hit("GetData", full, out->id)) return hr;
    if (!key) return kPathNotFound;
    const MetaValue* found = nullptr;
    for (Key* at = key; at && !found; at = (out->attributes & kInherit) ? at->parent : nullptr) {
        const MetaValue* value = at->Value(out->id);
        if (value && (at == key || (value->attributes & kInherit)) &&
            (out->dataType == 0 || out->dataType == value->dataType) &&
            (out->userType == 0 || out->userType == value->userType))
            found = value;
    }
    if (!found) return kDataNotFound;
    *required = static_cast<std::uint32_t>(found->bytes.size());
    if (found->bytes.size() > capacity) return kInsufficientBuffer;
    out->dataType = found->dataType;
    out->bytes = found->bytes;
    return 0;
}

std::int32_t MetabaseModel::SetData(std::uint32_t handle, const std::wstring& path, const MetaValue& value) {
    std::wstring full;
    Key* key = Resolve(handle, path, &full);
    if (std::int32_t hr = Hit("SetData", full, value.id)) return hr;
    if (!key) return kPathNotFound;
    Put(full, value);
    return 0;
}

std::int32_t MetabaseModel::DeleteKey(std::uint32_t handle, const std::wstring& path) {
    std::wstring full;
    Key* key = Resolve(handle, path, &full);
    if (std::int32_t hr = Hit("DeleteKey", full)) return hr;
    if (!key || key == root_.get()) return kPathNotFound;
    auto& siblings = key->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [key](const auto& k) { return k.get() == key; }));
    return 0;
}

std::int32_t MetabaseModel::SaveData() { return Hit("SaveData"); }

}  // namespace ondex::test
