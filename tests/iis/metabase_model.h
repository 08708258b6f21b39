#pragma once
// The metabase as the doubles keep it: a key tree (names without regard to
// case, children in creation order) with typed records, open handles, and
// failures a test injects per method. No COM here: the selfssl stand-in
// uses it too.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ondex::test {

struct MetaValue {
    std::uint32_t id = 0, attributes = 0, userType = 1, dataType = 0;
    std::vector<std::uint8_t> bytes;
};

class MetabaseModel {
public:
    static constexpr std::int32_t kPathNotFound = static_cast<std::int32_t>(0x80070003);

    MetabaseModel();
    ~MetabaseModel();

    // ---- Arranging and inspecting (paths like "/LM/W3SVC/1"). ----
    void AddKey(const std::wstring& path);
    void Put(const std::wstring& path, MetaValue value);
    void PutString(const std::wstring& path, std::uint32_t id, const std::wstring& text, std::uint32_t attributes = 0,
                   std::uint32_t userType = 1);
    void PutDword(const std::wstring& path, std::uint32_t id, std::uint32_t value, std::uint32_t attributes = 0);
    void PutMultiString(const std::wstring& path, std::uint32_t id, const std::vector<std::wstring>& strings);
    // A web site key with KeyType "IIsWebServer" and, when given, bindings and comment.
    void AddSite(const std::wstring& key, const std::wstring& binding, const std::wstring& comment);
    const MetaValue* Find(const std::wstring& path, std::uint32_t id) const;
    std::wstring Text(const std::wstring& path, std::uint32_t id) const;  // the record as UTF-16 text
    bool HasKey(const std::wstring& path) const;

    // The next call of `method` (on `path` and record `id` when given) fails with `hr`.
    void Fail(const std::string& method, std::int32_t hr, const std::wstring& path = L"", std::uint32_t id = 0);
    int Calls(const std::string& method) const;
    size_t OpenHandles() const { return handles_.size(); }
    std::vector<std::wstring> deletedApplications;  // the WAM double's AppDelete paths
    void RecordAppDelete(const std::wstring& path);

    // ---- A metabase shared by processes: the tree and the deleted
    // applications live in a text file, read again by Refresh (when an
    // object is handed out; a malformed file changes nothing) and written
    // after every change. ----
    void BackWithFile(const std::wstring& path);
    void Refresh();

    // ---- The operations the COM glue forwards. ----
    std::int32_t OpenKey(std::uint32_t handle, const std::wstring& path, std::uint32_t* opened);
    std::int32_t CloseKey(std::uint32_t handle);
    std::int32_t EnumKeys(std::uint32_t handle, const std::wstring& path, std::uint32_t index, std::wstring* name);
    // Fills `out` (id and request fields in, data out); `capacity` bytes fit.
    std::int32_t GetData(std::uint32_t handle, const std::wstring& path, MetaValue* out, std::uint32_t capacity,
                         std::uint32_t* required);
    std::int32_t SetData(std::uint32_t handle, const std::wstring& path, const MetaValue& value);
    std::int32_t DeleteKey(std::uint32_t handle, const std::wstring& path);
    std::int32_t SaveData();
    // Counts a call of `method`; the injected failure or 0.
    std::int32_t Hit(const std::string& method, const std::wstring& path = L"", std::uint32_t id = 0);

private:
    struct Key;
    Key* Resolve(std::uint32_t handle, const std::wstring& path, std::wstring* full) const;
    Key* EnsureKey(const std::wstring& path);
    static void PutValue(Key* key, MetaValue value);
    void Persist() const;
    std::string Serialize() const;
    bool ParseInto(const std::string& text);

    std::wstring file_;

    std::unique_ptr<Key> root_;
    std::map<std::uint32_t, std::wstring> handles_;
    std::uint32_t nextHandle_ = 100;
    struct Failure {
        std::string method;
        std::int32_t hr;
        std::wstring path;
        std::uint32_t id;
    };
    std::vector<Failure> failures_;
    std::map<std::string, int> calls_;
};

}  // namespace ondex::test
