#include "iis/metabase_model.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <sstream>

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

constexpr std::int32_t kDataNotFound = static_cast<std::int32_t>(0x800CC801);
constexpr std::int32_t kNoMoreItems = static_cast<std::int32_t>(0x80070103);
constexpr std::int32_t kInsufficientBuffer = static_cast<std::int32_t>(0x8007007A);
constexpr std::uint32_t kInherit = 1;

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

std::wstring FromUtf16(const std::vector<std::uint8_t>& bytes) {
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
    return text;
}

}  // namespace

MetabaseModel::MetabaseModel() : root_(std::make_unique<Key>()) {}
MetabaseModel::~MetabaseModel() = default;

MetabaseModel::Key* MetabaseModel::EnsureKey(const std::wstring& path) {
    Key* key = root_.get();
    for (const auto& part : Parts(path)) {
        Key* child = key->Child(part);
        if (!child) {
            key->children.push_back(std::make_unique<Key>(Key{part, key, {}, {}}));
            child = key->children.back().get();
        }
        key = child;
    }
    return key;
}

void MetabaseModel::PutValue(Key* key, MetaValue value) {
    if (MetaValue* old = key->Value(value.id)) *old = std::move(value);
    else key->values.push_back(std::move(value));
}

void MetabaseModel::AddKey(const std::wstring& path) {
    EnsureKey(path);
    Persist();
}

void MetabaseModel::Put(const std::wstring& path, MetaValue value) {
    PutValue(EnsureKey(path), std::move(value));
    Persist();
}

void MetabaseModel::PutString(const std::wstring& path, std::uint32_t id, const std::wstring& text,
                              std::uint32_t attributes, std::uint32_t userType) {
    Put(path, {id, attributes, userType, 2, Utf16(text + L'\0')});
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
    return value ? FromUtf16(value->bytes) : L"";
}

bool MetabaseModel::HasKey(const std::wstring& path) const { return Resolve(0, path, nullptr) != nullptr; }

void MetabaseModel::Fail(const std::string& method, std::int32_t hr, const std::wstring& path, std::uint32_t id) {
    failures_.push_back({method, hr, path, id});
}

int MetabaseModel::Calls(const std::string& method) const {
    auto found = calls_.find(method);
    return found == calls_.end() ? 0 : found->second;
}

std::int32_t MetabaseModel::Hit(const std::string& method, const std::wstring& path, std::uint32_t id) {
    ++calls_[method];
    const auto failure = std::find_if(failures_.begin(), failures_.end(), [&](const Failure& f) {
        return f.method == method && (f.path.empty() || Parts(f.path) == Parts(path)) && (!f.id || f.id == id);
    });
    if (failure == failures_.end()) return 0;
    const std::int32_t hr = failure->hr;
    failures_.erase(failure);
    return hr;
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
    Persist();
    return 0;
}

void MetabaseModel::RecordAppDelete(const std::wstring& path) {
    deletedApplications.push_back(path);
    Persist();
}

std::int32_t MetabaseModel::SaveData() { return Hit("SaveData"); }


// ---- The text file of a shared metabase. Keys are lines of their own, in
// creation order ("/LM/W3SVC/1"); each record follows its key as an indented
// line "id attributes user-type data-type payload", the payload one of
// "dword:N", "text:…" (a terminated string), "list:a|b" (a multi-string) or
// "hex:…"; strings that are not printable ASCII without '|' go as hex.
// Deleted applications are lines "AppDelete <path>".

namespace {

bool Plain(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x20 && c < 0x7F && c != L'|'; });
}
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::vector<std::wstring> Units(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::wstring> strings(1);
    for (wchar_t c : FromUtf16(bytes))
        if (c) strings.back() += c;
        else strings.emplace_back();
    return strings;  // the pieces between terminators, and what follows the last one
}

std::string Payload(const MetaValue& value) {
    const auto strings = Units(value.bytes);
    const bool plain = value.bytes.size() % 2 == 0 && std::all_of(strings.begin(), strings.end(), Plain);
    if (value.dataType == 1 && value.bytes.size() == 4) {
        std::uint32_t number;
        std::memcpy(&number, value.bytes.data(), 4);
        return "dword:" + std::to_string(number);
    }
    if ((value.dataType == 2 || value.dataType == 4) && plain && strings.size() == 2 && strings[1].empty())
        return "text:" + Narrow(strings[0]);
    if (value.dataType == 5 && plain && strings.size() >= 3 && strings.back().empty() && strings[strings.size() - 2].empty()) {
        std::string list = "list:";
        for (size_t i = 0; i + 2 < strings.size(); ++i) list += (i ? "|" : "") + Narrow(strings[i]);
        return list;
    }
    std::string hex = "hex:";
    for (std::uint8_t b : value.bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex;
}

bool ParsePayload(const std::string& payload, std::vector<std::uint8_t>* bytes) {
    const size_t colon = payload.find(':');
    if (colon == std::string::npos) return false;
    const std::string kind = payload.substr(0, colon), rest = payload.substr(colon + 1);
    bytes->clear();
    if (kind == "dword") {
        const std::uint32_t number = static_cast<std::uint32_t>(std::stoul(rest));
        bytes->resize(4);
        std::memcpy(bytes->data(), &number, 4);
        return true;
    }
    if (kind == "hex") {
        if (rest.size() % 2) return false;
        for (size_t i = 0; i < rest.size(); i += 2) bytes->push_back(static_cast<std::uint8_t>(std::stoul(rest.substr(i, 2), nullptr, 16)));
        return true;
    }
    std::wstring units;
    if (kind == "text") {
        units = Wide(rest) + L'\0';
    } else if (kind == "list") {
        std::stringstream items(rest);
        for (std::string item; std::getline(items, item, '|');) units += Wide(item) + L'\0';
        units += L'\0';
    } else {
        return false;
    }
    *bytes = Utf16(units);
    return true;
}

}  // namespace

std::string MetabaseModel::Serialize() const {
    std::string text;
    std::vector<std::pair<const Key*, std::wstring>> pending{{root_.get(), L""}};
    while (!pending.empty()) {
        auto [key, path] = pending.back();
        pending.pop_back();
        if (key != root_.get()) text += Narrow(path) + "\n";
        for (const auto& v : key->values)
            text += "    " + std::to_string(v.id) + " " + std::to_string(v.attributes) + " " + std::to_string(v.userType) +
                    " " + std::to_string(v.dataType) + " " + Payload(v) + "\n";
        for (auto child = key->children.rbegin(); child != key->children.rend(); ++child)
            pending.emplace_back(child->get(), path + L"/" + (*child)->name);
    }
    for (const auto& application : deletedApplications) text += "AppDelete " + Narrow(application) + "\n";
    return text;
}

// Reads a file into an empty model.
bool MetabaseModel::ParseInto(const std::string& text) try {
    Key* current = nullptr;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '/') {
            current = EnsureKey(Wide(line));
        } else if (line.rfind("AppDelete ", 0) == 0) {
            deletedApplications.push_back(Wide(line.substr(10)));
        } else {
            MetaValue value;
            std::stringstream fields(line);
            std::string payload;
            if (!current || !(fields >> value.id >> value.attributes >> value.userType >> value.dataType)) return false;
            fields >> std::ws;
            std::getline(fields, payload);
            if (!ParsePayload(payload, &value.bytes)) return false;
            PutValue(current, std::move(value));
        }
    }
    return true;
} catch (const std::exception&) {
    return false;  // a number out of range
}

void MetabaseModel::BackWithFile(const std::wstring& path) {
    file_ = path;
    Refresh();
}

void MetabaseModel::Refresh() {
    if (file_.empty()) return;
    std::ifstream in(std::filesystem::path(file_), std::ios::binary);
    if (!in) return;  // no file yet: an empty metabase
    std::stringstream text;
    text << in.rdbuf();
    MetabaseModel read;
    if (!read.ParseInto(text.str())) return;
    root_ = std::move(read.root_);
    deletedApplications = std::move(read.deletedApplications);
}

void MetabaseModel::Persist() const {
    if (file_.empty()) return;
    std::ofstream(std::filesystem::path(file_), std::ios::binary | std::ios::trunc) << Serialize();
}

}  // namespace ondex::test
