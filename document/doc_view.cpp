#include "document/doc_view.h"

#include <cstring>

#include "document/doc_format.h"
#include "document/doc_node.h"
#include "document/file_stream.h"

namespace lumora {

// Reads node records into the view's arrays with the checks of the tree
// reader: every count is held against the bytes that are left, nesting is
// bounded by DocNode::kMaxDepth.
class DocView::Parser : public ByteSpanSource {
public:
    explicit Parser(DocView& view)
        : ByteSpanSource(view.bytes_.data(), view.bytes_.size()), view_(view) {}

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
    bool View(std::string_view& bytes, std::size_t n) {
        if (n > Left())
            return false;
        bytes = std::string_view(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return true;
    }

    template <typename T>
    bool Fixed(T& value) {
        return Take(&value, sizeof value);
    }

    // The view keeps the bytes where they lie; the count is the codec's.
    bool Narrow(std::string_view& text) {
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
        case ValueType::Raw32B: ok = Fixed(attribute.word); break;
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
    FileStream file;
    if (!file.Open(path, OpenMode::Read))
        return false;
    // The size is a hint: the file may change while it is read.
    constexpr std::size_t kChunk = 64 * 1024;
    bytes_.resize(std::size_t{file.Size()} + 1);
    std::size_t held = 0;
    for (;;) {
        if (held == bytes_.size())
            bytes_.resize(held + kChunk);
        std::uint32_t n =
            file.Read(bytes_.data() + held, static_cast<std::uint32_t>(bytes_.size() - held));
        if (n == 0)
            break;
        held += n;
    }
    bytes_.resize(held);
    return Parse();
}

bool DocView::Read(const void* data, std::size_t size) {
    Clear();
    const auto* first = static_cast<const std::uint8_t*>(data);
    bytes_.assign(first, first + size);
    return Parse();
}

bool DocView::Parse() {
    // A rough guess from catalogue files: a node every 60 bytes, an
    // attribute every 20. The arrays grow past it when needed.
    nodes_.reserve(bytes_.size() / 60 + 1);
    attributes_.reserve(bytes_.size() / 20 + 1);
    if (!Parser(*this).Record(0)) {
        Clear();
        return false;
    }
    return true;
}

void DocView::Clear() {
    nodes_.clear();
    attributes_.clear();
    bytes_.clear();
}

DocView::Node DocView::Root() const {
    return Node(this, 0);
}

const DocView::AttributeRecord* DocView::Find(std::uint32_t node, std::string_view name,
                                              ValueType type) const {
    const NodeRecord& record = nodes_[node];
    for (std::uint32_t i = 0; i < record.attributeCount; ++i) {
        const AttributeRecord& attribute = attributes_[record.firstAttribute + i];
        if (attribute.name == name)
            return attribute.type == type ? &attribute : nullptr;
    }
    return nullptr;
}

DocView::ChildRange DocView::Node::Children() const {
    return ChildRange(view_, index_ + 1, Record().end);
}

bool DocView::Node::FindChild(std::string_view name, Node& child) const {
    for (Node candidate : Children()) {
        if (candidate.Name() == name) {
            child = candidate;
            return true;
        }
    }
    return false;
}

std::int32_t DocView::Node::GetInt(std::string_view name, std::int32_t fallback) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::Int);
    return attribute ? static_cast<std::int32_t>(attribute->word) : fallback;
}

bool DocView::Node::GetBool(std::string_view name, bool fallback) const {
    // Only the low byte of the stored word counts, as on a DocNode.
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::Bool);
    return attribute ? (attribute->word & 0xFF) != 0 : fallback;
}

std::string_view DocView::Node::RequireString(std::string_view name) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::String);
    return attribute ? attribute->payload : std::string_view();
}

std::u16string DocView::Node::RequireWString(std::string_view name) const {
    const AttributeRecord* attribute = view_->Find(index_, name, ValueType::WString);
    if (attribute == nullptr)
        return {};
    // The file's bytes need not be aligned for char16_t: copied, not cast.
    std::u16string text(attribute->payload.size() / 2, u'\0');
    std::memcpy(text.data(), attribute->payload.data(), text.size() * 2);
    return text;
}

}  // namespace lumora
