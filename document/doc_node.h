#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/byte_stream.h"
#include "document/doc_attribute.h"
#include "document/named_list.h"

namespace lumora {

enum class ChildMode {
    Find,             // null when there is no child of that name
    CreateIfMissing,  // adds an empty child of that name when there is none
};

// One node of a tree document: a name, uniquely named children and uniquely
// named typed attributes, both kept in the order they were added or read.
// Pointers handed out stay valid until the node is cleared, read into again
// or destroyed, or until that attribute is replaced. A node is used by one
// thread at a time.
class DocNode {
public:
    DocNode() = default;
    explicit DocNode(std::string name) : name_(std::move(name)) {}
    DocNode(const DocNode&) = delete;
    DocNode& operator=(const DocNode&) = delete;

    const std::string& Name() const { return name_; }
    // Removes every attribute and child; the name stays.
    void Clear();

    // Children.
    DocNode* Child(std::string_view name, ChildMode mode = ChildMode::Find);
    const DocNode* Child(std::string_view name) const;
    // Null when the name is taken.
    DocNode* AddChild(std::string_view name);
    const std::vector<std::unique_ptr<DocNode>>& Children() const { return children_.entries(); }

    // Attributes.
    DocAttribute* FindAttribute(std::string_view name) const;
    // A new Unset attribute with value 0, or null when the name is taken.
    DocAttribute* AddAttribute(std::string_view name);
    // Takes the attribute, replacing one of the same name.
    DocAttribute* SetAttribute(std::unique_ptr<DocAttribute> attribute);
    void SetInt(std::string_view name, std::int32_t value);
    void SetBool(std::string_view name, bool value);
    void SetString(std::string_view name, std::string value);
    void SetWString(std::string_view name, std::u16string value);
    const std::vector<std::unique_ptr<DocAttribute>>& Attributes() const {
        return attributes_.entries();
    }

    // Getters yield the stored value only when the attribute exists with
    // exactly the stated type; otherwise the caller's default.
    std::int32_t GetInt(std::string_view name, std::int32_t fallback) const;
    bool GetBool(std::string_view name, bool fallback) const;
    std::string GetString(std::string_view name, const std::string& fallback = {}) const;
    std::u16string GetWString(std::string_view name, const std::u16string& fallback = {}) const;
    MemoryStream* GetBlob(std::string_view name, MemoryStream* fallback = nullptr) const;
    // For attributes a record must carry: a missing or mistyped one reads as
    // the empty string.
    const std::string& RequireString(std::string_view name) const;
    const std::u16string& RequireWString(std::string_view name) const;

    // The file format. ReadFrom clears the node and reads one node record;
    // false for a wrong magic, a record cut short, a count the remaining
    // bytes cannot hold, or nesting deeper than kMaxDepth. After a false the
    // node holds no attributes and no children.
    bool ReadFrom(ByteStream& stream);
    void WriteTo(ByteStream& stream) const;
    // Like WriteTo, and true only when every byte reached the stream.
    bool WriteAllTo(ByteStream& stream) const;

    // False, with the node untouched, when the file cannot be opened.
    bool LoadFromFile(const std::u16string& path);
    // Writes "PATH.tmp", flushes it and renames it over PATH; false, with
    // the old file intact and errno telling why, when anything fails.
    bool SaveToFile(const std::u16string& path) const;

    static constexpr int kMaxDepth = 256;

private:
    friend class DocumentReader;

    std::string name_;
    NamedList<DocNode> children_;
    NamedList<DocAttribute> attributes_;
};

}  // namespace lumora
