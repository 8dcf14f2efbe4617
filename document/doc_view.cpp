#include "document/doc_view.h"

#include <cstring>

#include "document/doc_format.h"
#include "document/doc_node.h"
#include "document/whole_file.h"

namespace lumora {

// Reads node records into the view's arrays with the checks of the tree
// reader: every count is held against the bytes that are left, nesting is
// bounded by DocNode::kMaxDepth.
class DocView::Parser : public ByteSpanSource {
public:
    explicit Parser(DocView& view) : ByteSpanSource(view.data_, view.size_), view_(view) {}

    bool Record(int depth) {
        std::uint32_t magic = 0;
        if (!Fixed(magic) || magic != kDocumentMagic || depth > DocNode::kMaxDepth)
            return false;
        const auto index = static_cast<std::uint32_t>(view_.nodes_.size());
        NodeRecord node;
        std::uint32_t attributeCount = 0;
        // Each attribute takes at least a name count and a type byte.
        if (!Narrow(node.name) || !Fixed(attributeCount) || attributeCount > Left() / 2)
            return false;
        node.firstAttribute = static_cast<std::uint32_t>(view_.attributes_.size());
        node.attributeCount = attributeCount;
        for (std::uint32_t i = 0; i < attributeCount; ++i) {
            if (!Attribute())
                return false;
        }
        // Each child record takes at least 13 bytes.
        if (!Fixed(node.childCount) || node.childCount > Left() / 13)
            return false;
        view_.nodes_.push_back(node);
        for (std::uint32_t i = 0; i < node.childCount; ++i) {
            if (!Record(depth + 1))
                return false;
        }
        view_.nodes_[index].end = static_cast<std::uint32_t>(view_.nodes_.size());
        return true;
    }

private:
    bool View(Span& bytes, std::size_t n) {
        if (n > Left())
            return false;
        bytes = {static_cast<std::uint32_t>(at_), static_cast<std::uint32_t>(n)};
        at_ += n;
        return true;
    }

    template <typename T>
    bool Fixed(T& value) {
        return Take(&value, sizeof value);
    }

    // The view keeps the bytes where they lie; the count is the codec's.
    bool Narrow(Span& text) {
        std::uint32_t n = 0;
        return TakeCount(*this, n) && View(text, n);
    }

    bool Attribute() {
        AttributeRecord attribute;
        std::uint8_t code = 0;
        if (!Narrow(attribute.name) || !Fixed(code))
            return false;
        attribute.type = static_cast<ValueType>(code);
        bool ok = true;
        switch (attribute.type) {
        case ValueType::Unset:
        case ValueType::Int:
        case ValueType::Bool:
        case ValueType::Raw32A:
        case ValueType::Raw32B: ok = View(attribute.payload, sizeof(std::uint32_t)); break;
        case ValueType::Raw64: ok = View(attribute.payload, sizeof(Raw64Block)); break;
        case ValueType::String: ok = Narrow(attribute.payload); break;
        case ValueType::WString: {
            std::uint32_t units = 0;
            ok = TakeCount(*this, units) && units <= Left() / 2 &&
                 View(attribute.payload, std::size_t{units} * 2);
            break;
        }
        case ValueType::Blob: {
            std::uint32_t n = 0;
            ok = Fixed(n) && View(attribute.payload, n);
            break;
        }
        default:
            // Codes 9 to 255: a bare type without a value.
            break;
        }
        if (ok)
            view_.attributes_.push_back(attribute);
        return ok;
    }

    DocView& view_;
};

bool DocView::LoadFromFile(const std::u16string& path) {
    Clear();
    WholeFile file;
    if (!file.Open(path) || !file.ReadAll(bytes_))
        return false;
    data_ = bytes_.data();
    size_ = bytes_.size();
    return Parse();
}

bool DocView::Read(const void* data, std::size_t size) {
    Clear();
    bytes_.resize(size);
    if (size != 0)
        std::memcpy(bytes_.data(), data, size);
    data_ = bytes_.data();
    size_ = size;
    return Parse();
}

bool DocView::Parse() {
    // Room for the most nodes the bytes can hold (a record takes at least
    // 13), which only costs address space: pages are only taken as the
    // array fills. For attributes a rough guess from catalogue files, one
    // every 20 bytes; the array grows past it when needed.
    nodes_.reserve(size_ / 13 + 1);
    attributes_.reserve(size_ / 20 + 1);
    if (!Parser(*this).Record(0)) {
        Clear();
        return false;
    }
    return true;
}

void DocView::Clear() {
    nodes_.clear();
    attributes_.clear();
    bytes_ = {};
    data_ = nullptr;
    size_ = 0;
}

std::uint32_t DocView::Word(const AttributeRecord& attribute) const {
    std::uint32_t word = 0;
    std::memcpy(&word, data_ + attribute.payload.at, sizeof word);
    return word;
}

DocView::Node DocView::Root() const {
    return Node(this, 0);
}

const DocView::AttributeRecord* DocView::Find(std::uint32_t node, std::string_view name,
                                              ValueType type) const {
    const NodeRecord& record = nodes_[node];
    for (std::uint32_t i = 0; i < record.attributeCount; ++i) {
        const AttributeRecord& attribute = attributes_[record.firstAttribute + i];
        // Names are mostly a letter or two: the size and the first byte turn
        // most of the others away without a call to compare them.
        if (attribute.name.size != name.size() ||
            (!name.empty() && data_[attribute.name.at] != static_cast<std::uint8_t>(name[0])))
            continue;
        if (Bytes(attribute.name) == name)
            return attribute.type == type ? &attribute : nullptr;
    }
    return nullptr;
}

DocView::ChildRange DocView::Node::Children() const {
    return ChildRange(view_, index_ + 1, Record().end);
}

bool DocView::Node::FindChild(std::string_view name, Node& child) const {
    for (Node candidate : Children()) {
        const Span& span = candidate.Record().name;
        if (span.size != name.size() ||
            (!name.empty() && view_->data_[span.at] != static_cast<std::uint8_t>(name[0])))
            continue;
        if (candidate.Name() == name) {
            child = candidate;
            return true;
        }
    }
    return false;
}

std::int32_t DocView::Node::GetInt(std::string_view name, std::int32_t fallback) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::Int);
    return attribute ? static_cast<std::int32_t>(view_->Word(*attribute)) : fallback;
}

bool DocView::Node::GetBool(std::string_view name, bool fallback) const {
    // Only the low byte of the stored word counts, as on a DocNode.
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::Bool);
    return attribute ? (view_->Word(*attribute) & 0xFF) != 0 : fallback;
}

std::string_view DocView::Node::RequireString(std::string_view name) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::String);
    return attribute ? view_->Bytes(attribute->payload) : std::string_view();
}

std::u16string DocView::Node::RequireWString(std::string_view name) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::WString);
    if (attribute == nullptr)
        return {};
    // The file's bytes need not be aligned for char16_t: copied, not cast.
    const std::string_view payload = view_->Bytes(attribute->payload);
    std::u16string text(payload.size() / 2, u'\0');
    std::memcpy(text.data(), payload.data(), text.size() * 2);
    return text;
}

std::string_view DocView::Node::RequireWStringBytes(std::string_view name) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::WString);
    return attribute ? view_->Bytes(attribute->payload) : std::string_view();
}

std::string_view DocView::Node::AttributeName(std::uint32_t i) const {
    return view_->Bytes(view_->attributes_[Record().firstAttribute + i].name);
}

ValueType DocView::Node::AttributeType(std::uint32_t i) const {
    return view_->attributes_[Record().firstAttribute + i].type;
}

}  // namespace lumora
