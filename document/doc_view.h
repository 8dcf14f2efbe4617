#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc_attribute.h"
#include "document/large_page_allocator.h"

namespace lumora {

// A document file read for looking only: every node and every attribute is
// a small record in one of two arrays, and names and values view the file's
// bytes in place (read once into one block; never mapped, so a file cut
// short by another program while it is read is a damaged file, not a
// crash). Reading allocates nothing
// per node or attribute, so a catalogue of 100,000 channels is read several
// times faster than into a DocNode tree, and the tree's records need not be
// freed one by one.
//
// It accepts and refuses exactly the bytes DocNode::ReadFrom does. Where a
// node has two children or two attributes of one name (DocNode keeps the
// first and drops the second), Child() and the getters find the first, as
// on a DocNode; Children() lists every record, so a reader that walks them
// skips a name it has seen (see Catalogue).
//
// Threads: one at a time; nodes are valid while their view lives and is not
// read into again.
class DocView {
public:
    class Node;
    class ChildRange;

    DocView() = default;
    DocView(const DocView&) = delete;
    DocView& operator=(const DocView&) = delete;

    // The whole file. False, with the view empty, when the file cannot be
    // read, changes size while it is read, or is not a document; bytes after
    // the root record are ignored.
    bool LoadFromFile(const std::u16string& path);
    // A copy of `size` bytes; the same rules.
    bool Read(const void* data, std::size_t size);

    bool Empty() const { return nodes_.empty(); }
    // The size of what was read, in bytes.
    std::size_t ByteSize() const { return size_; }
    // The root; only on a view that is not empty.
    Node Root() const;

private:
    // A run of the file's bytes, by position: half the size of a view.
    struct Span {
        std::uint32_t at = 0;
        std::uint32_t size = 0;
    };
    struct NodeRecord {
        Span name;
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
        std::uint32_t childCount = 0;
        std::uint32_t end = 0;  // one past the last node of this subtree
    };
    struct AttributeRecord {
        Span name;
        // The value's bytes: the word of types 0 to 4, the eight bytes of
        // Raw64, the text of String and WString (2 bytes a unit), the Blob.
        Span payload;
        ValueType type = ValueType::Unset;
    };
    class Parser;

    bool Parse();
    void Clear();
    std::string_view Bytes(Span span) const {
        return std::string_view(reinterpret_cast<const char*>(data_) + span.at, span.size);
    }
    std::uint32_t Word(const AttributeRecord& attribute) const;
    const AttributeRecord* Find(std::uint32_t node, std::string_view name, ValueType type) const;

    // The bytes read: the file's, or the copy that Read() made. They and
    // the records are big arrays filled once, so they live in large pages.
    LargePageVector<std::uint8_t> bytes_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    LargePageVector<NodeRecord> nodes_;  // in file order: a node, then its subtree
    LargePageVector<AttributeRecord> attributes_;
};

// One node of a view: a handle, cheap to copy.
class DocView::Node {
public:
    std::string_view Name() const { return view_->Bytes(Record().name); }
    std::uint32_t ChildCount() const { return Record().childCount; }
    ChildRange Children() const;
    // The first child of that name, if any.
    bool FindChild(std::string_view name, Node& child) const;

    // As DocNode's getters: the stored value only when the first attribute
    // of that name has exactly the stated type; otherwise the fallback.
    std::int32_t GetInt(std::string_view name, std::int32_t fallback) const;
    bool GetBool(std::string_view name, bool fallback) const;
    // Missing or mistyped: empty.
    std::string_view RequireString(std::string_view name) const;
    std::u16string RequireWString(std::string_view name) const;
    // The same text as its stored UTF-16 bytes, for a reader that copies
    // it elsewhere: the view's own bytes, not aligned for char16_t.
    std::string_view RequireWStringBytes(std::string_view name) const;

    // The attributes in file order, for a reader that walks them: a name
    // may repeat, and the getters above read the first attribute of a name.
    std::uint32_t AttributeCount() const { return Record().attributeCount; }
    std::string_view AttributeName(std::uint32_t i) const;
    ValueType AttributeType(std::uint32_t i) const;

private:
    friend class DocView;
    Node(const DocView* view, std::uint32_t index) : view_(view), index_(index) {}
    const NodeRecord& Record() const { return view_->nodes_[index_]; }

    const DocView* view_ = nullptr;
    std::uint32_t index_ = 0;
};

// The children of a node, in file order.
class DocView::ChildRange {
public:
    class Iterator {
    public:
        Node operator*() const { return Node(view_, index_); }
        Iterator& operator++() {
            index_ = view_->nodes_[index_].end;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

    private:
        friend class ChildRange;
        Iterator(const DocView* view, std::uint32_t index) : view_(view), index_(index) {}
        const DocView* view_;
        std::uint32_t index_;
    };

    Iterator begin() const { return Iterator(view_, first_); }
    Iterator end() const { return Iterator(view_, end_); }

private:
    friend class Node;
    ChildRange(const DocView* view, std::uint32_t first, std::uint32_t end)
        : view_(view), first_(first), end_(end) {}
    const DocView* view_;
    std::uint32_t first_;
    std::uint32_t end_;
};

}  // namespace lumora
