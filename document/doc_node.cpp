#include "document/doc_node.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "document/doc_format.h"
#include "document/file_stream.h"
#include "document/replaced_file.h"
#include "document/text_encoding.h"

namespace lumora {

// Reads node records from a block of bytes, checking every count against
// the bytes that are left before anything is allocated from it.
class DocumentReader : public ByteSpanSource {
public:
    DocumentReader(const std::uint8_t* data, std::size_t size) : ByteSpanSource(data, size) {}

    std::size_t Consumed() const { return at_; }

    bool Magic() {
        std::uint32_t magic = 0;
        return Fixed(magic) && magic == kDocumentMagic;
    }

    // The record after its magic.
    bool Body(DocNode& node, int depth) {
        if (depth > DocNode::kMaxDepth || !TakeNarrow(*this, node.name_))
            return false;
        std::uint32_t attributeCount = 0;
        // Each attribute takes at least a name count and a type byte.
        if (!Fixed(attributeCount) || attributeCount > Left() / 2)
            return false;
        node.attributes_.Reserve(std::min<std::uint32_t>(attributeCount, kReserveLimit));
        for (std::uint32_t i = 0; i < attributeCount; ++i) {
            auto attribute = Attribute();
            if (!attribute)
                return false;
            node.attributes_.Insert(std::move(attribute));
        }
        std::uint32_t childCount = 0;
        // Each child record takes at least 13 bytes.
        if (!Fixed(childCount) || childCount > Left() / 13)
            return false;
        node.children_.Reserve(std::min<std::uint32_t>(childCount, kReserveLimit));
        for (std::uint32_t i = 0; i < childCount; ++i) {
            auto child = std::make_unique<DocNode>();
            if (!Magic() || !Body(*child, depth + 1))
                return false;
            node.children_.Insert(std::move(child));
        }
        return true;
    }

private:
    // Lists are sized from their counts up to this many entries; longer ones
    // grow as their entries arrive, so a false count costs little memory.
    static constexpr std::uint32_t kReserveLimit = 1024;

    template <typename T>
    bool Fixed(T& value) {
        return Take(&value, sizeof value);
    }

    std::unique_ptr<DocAttribute> Attribute() {
        std::string name;
        std::uint8_t code = 0;
        if (!TakeNarrow(*this, name) || !Fixed(code))
            return nullptr;
        auto attribute = std::make_unique<DocAttribute>(std::move(name));
        auto type = static_cast<ValueType>(code);
        switch (type) {
        case ValueType::Unset:
        case ValueType::Int:
        case ValueType::Bool:
        case ValueType::Raw32A:
        case ValueType::Raw32B: {
            std::uint32_t word = 0;
            if (!Fixed(word))
                return nullptr;
            attribute->SetWord(type, word);
            break;
        }
        case ValueType::Raw64: {
            Raw64Block block{};
            if (!Take(block.data(), block.size()))
                return nullptr;
            attribute->SetRaw64(block);
            break;
        }
        case ValueType::String: {
            std::string text;
            if (!TakeNarrow(*this, text))
                return nullptr;
            attribute->SetString(std::move(text));
            break;
        }
        case ValueType::WString: {
            std::u16string text;
            if (!TakeWide(*this, text))
                return nullptr;
            attribute->SetWString(std::move(text));
            break;
        }
        case ValueType::Blob: {
            MemoryStream blob;
            if (!TakeBlob(*this, blob))
                return nullptr;
            attribute->SetBlob(std::move(blob));
            break;
        }
        default: attribute->SetBareType(code); break;
        }
        return attribute;
    }
};

// Writes a tree's records. Into a memory stream the bytes go straight to its
// buffer, sized once for the whole tree (growing it step by step costs more
// than a sizing walk over the tree); any other stream gets them in chunks,
// one Write call per chunk. Remembers whether any byte went missing.
class DocumentWriter {
public:
    explicit DocumentWriter(ByteStream& stream) : stream_(stream) {}

    bool Write(const DocNode& node) {
        if (auto* memory = dynamic_cast<MemoryStream*>(&stream_))
            return WriteInto(*memory, node);
        chunk_.reset(
            new std::uint8_t[kChunk]);  // not zeroed: each byte is written before it is passed on
        at_ = chunk_.get();
        end_ = at_ + kChunk;
        Node(node);
        Flush();
        return ok_;
    }

    // The codec sink (document/doc_format.h).
    void Put(const void* data, std::size_t n) {
        if (n <= static_cast<std::size_t>(end_ - at_)) {
            if (n != 0)
                std::memcpy(at_, data, n);
            at_ += n;
            return;
        }
        Spill(static_cast<const std::uint8_t*>(data), n);
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    // The exact number of bytes Node() writes.
    static std::uint64_t SizeOf(const DocNode& node) {
        std::uint64_t size = 4 + CountSize(node.Name().size()) + node.Name().size() + 4 + 4;
        for (const auto& attribute : node.Attributes())
            size += SizeOf(*attribute);
        for (const auto& child : node.Children())
            size += SizeOf(*child);
        return size;
    }

    static std::uint64_t SizeOf(const DocAttribute& attribute) {
        std::uint64_t size = CountSize(attribute.Name().size()) + attribute.Name().size() + 1;
        switch (attribute.Type()) {
        case ValueType::Unset:
        case ValueType::Int:
        case ValueType::Bool:
        case ValueType::Raw32A:
        case ValueType::Raw32B: return size + 4;
        case ValueType::Raw64: return size + 8;
        case ValueType::String: {
            std::uint64_t n = attribute.String() ? attribute.String()->size() : 0;
            return size + CountSize(n) + n;
        }
        case ValueType::WString: {
            std::uint64_t n = attribute.WString() ? attribute.WString()->size() : 0;
            return size + CountSize(n) + 2 * n;
        }
        case ValueType::Blob: return size + 4 + (attribute.Blob() ? attribute.Blob()->Size() : 0);
        default: return size;
        }
    }

    bool WriteInto(MemoryStream& memory, const DocNode& node) {
        std::uint32_t start = memory.Position();
        std::uint64_t end = start + SizeOf(node);
        if (end > UINT32_MAX ||
            (end > memory.Size() && !memory.SetSize(static_cast<std::uint32_t>(end))))
            return false;
        at_ = memory.Data() + start;
        end_ = memory.Data() + end;
        Node(node);
        ok_ = ok_ && at_ == end_;
        memory.Seek(static_cast<std::int32_t>(static_cast<std::uint32_t>(end)), SeekOrigin::Begin);
        return ok_;
    }

    void Node(const DocNode& node) {
        Fixed(kDocumentMagic);
        PutNarrow(*this, node.Name());
        Fixed(static_cast<std::uint32_t>(node.Attributes().size()));
        for (const auto& attribute : node.Attributes())
            Attribute(*attribute);
        Fixed(static_cast<std::uint32_t>(node.Children().size()));
        for (const auto& child : node.Children())
            Node(*child);
    }

    template <typename T>
    void Fixed(T value) {
        Put(&value, sizeof value);
    }

    void Attribute(const DocAttribute& attribute) {
        PutNarrow(*this, attribute.Name());
        Fixed(static_cast<std::uint8_t>(attribute.TypeCode()));
        switch (attribute.Type()) {
        case ValueType::Unset:
        case ValueType::Int:
        case ValueType::Bool:
        case ValueType::Raw32A:
        case ValueType::Raw32B: Fixed(attribute.Word()); break;
        // A kind set without its payload (SetWord or SetBareType with a code
        // of 5 to 8) is written with an empty one, so the file stays readable.
        case ValueType::Raw64: {
            static constexpr Raw64Block kZero{};
            Put(attribute.Raw64() ? attribute.Raw64()->data() : kZero.data(), 8);
            break;
        }
        case ValueType::String:
            PutNarrow(*this, attribute.String() ? *attribute.String() : std::string());
            break;
        case ValueType::WString:
            PutWide(*this, attribute.WString() ? *attribute.WString() : std::u16string());
            break;
        case ValueType::Blob: PutBlob(*this, attribute.Blob()); break;
        default: break;
        }
    }

    // The bytes do not fit the window: pass the chunk on and start a new one.
    // A memory stream's window was sized for the whole tree, so it never
    // gets here; should it, the bytes are reported missing.
    void Spill(const std::uint8_t* data, std::size_t n) {
        if (!chunk_) {
            ok_ = false;
            return;
        }
        Flush();
        if (n >= kChunk) {
            Pass(data, n);
            return;
        }
        std::memcpy(at_, data, n);
        at_ += n;
    }

    void Pass(const std::uint8_t* data, std::size_t n) {
        while (n > 0) {
            auto part = static_cast<std::uint32_t>(std::min<std::size_t>(n, 1u << 30));
            if (stream_.Write(data, part) != part) {
                ok_ = false;
                return;
            }
            data += part;
            n -= part;
        }
    }

    void Flush() {
        if (chunk_ && at_ != chunk_.get())
            Pass(chunk_.get(), static_cast<std::size_t>(at_ - chunk_.get()));
        at_ = chunk_.get();
    }

    ByteStream& stream_;
    std::unique_ptr<std::uint8_t[]> chunk_;
    std::uint8_t* at_ = nullptr;
    std::uint8_t* end_ = nullptr;
    bool ok_ = true;
};

void DocNode::Clear() {
    children_.Clear();
    attributes_.Clear();
}

DocNode* DocNode::Child(std::string_view name, ChildMode mode) {
    if (DocNode* found = children_.Find(name))
        return found;
    if (mode == ChildMode::Find)
        return nullptr;
    return children_.Insert(std::make_unique<DocNode>(std::string(name)));
}

const DocNode* DocNode::Child(std::string_view name) const {
    return children_.Find(name);
}

DocNode* DocNode::AddChild(std::string_view name) {
    if (children_.Find(name))
        return nullptr;
    return children_.Insert(std::make_unique<DocNode>(std::string(name)));
}

DocAttribute* DocNode::FindAttribute(std::string_view name) const {
    return attributes_.Find(name);
}

DocAttribute* DocNode::AddAttribute(std::string_view name) {
    if (attributes_.Find(name))
        return nullptr;
    return attributes_.Insert(std::make_unique<DocAttribute>(std::string(name)));
}

DocAttribute* DocNode::SetAttribute(std::unique_ptr<DocAttribute> attribute) {
    return attributes_.Replace(std::move(attribute));
}

void DocNode::SetInt(std::string_view name, std::int32_t value) {
    auto attribute = std::make_unique<DocAttribute>(std::string(name));
    attribute->SetInt(value);
    SetAttribute(std::move(attribute));
}

void DocNode::SetBool(std::string_view name, bool value) {
    auto attribute = std::make_unique<DocAttribute>(std::string(name));
    attribute->SetBool(value);
    SetAttribute(std::move(attribute));
}

void DocNode::SetString(std::string_view name, std::string value) {
    auto attribute = std::make_unique<DocAttribute>(std::string(name));
    attribute->SetString(std::move(value));
    SetAttribute(std::move(attribute));
}

void DocNode::SetWString(std::string_view name, std::u16string value) {
    auto attribute = std::make_unique<DocAttribute>(std::string(name));
    attribute->SetWString(std::move(value));
    SetAttribute(std::move(attribute));
}

namespace {

const DocAttribute* Typed(const DocNode& node, std::string_view name, ValueType type) {
    const DocAttribute* attribute = node.FindAttribute(name);
    return attribute && attribute->Type() == type ? attribute : nullptr;
}

}  // namespace

std::int32_t DocNode::GetInt(std::string_view name, std::int32_t fallback) const {
    const DocAttribute* attribute = Typed(*this, name, ValueType::Int);
    return attribute ? static_cast<std::int32_t>(attribute->Word()) : fallback;
}

bool DocNode::GetBool(std::string_view name, bool fallback) const {
    // Only the low byte of the stored word counts.
    const DocAttribute* attribute = Typed(*this, name, ValueType::Bool);
    return attribute ? (attribute->Word() & 0xFF) != 0 : fallback;
}

std::string DocNode::GetString(std::string_view name, const std::string& fallback) const {
    const DocAttribute* attribute = Typed(*this, name, ValueType::String);
    return attribute ? *attribute->String() : fallback;
}

std::u16string DocNode::GetWString(std::string_view name, const std::u16string& fallback) const {
    const DocAttribute* attribute = Typed(*this, name, ValueType::WString);
    return attribute ? *attribute->WString() : fallback;
}

MemoryStream* DocNode::GetBlob(std::string_view name, MemoryStream* fallback) const {
    const DocAttribute* attribute = Typed(*this, name, ValueType::Blob);
    return attribute ? attribute->Blob() : fallback;
}

const std::string& DocNode::RequireString(std::string_view name) const {
    static const std::string empty;
    const DocAttribute* attribute = Typed(*this, name, ValueType::String);
    return attribute ? *attribute->String() : empty;
}

const std::u16string& DocNode::RequireWString(std::string_view name) const {
    static const std::u16string empty;
    const DocAttribute* attribute = Typed(*this, name, ValueType::WString);
    return attribute ? *attribute->WString() : empty;
}

namespace {

// Reads everything the stream still holds. The size a stream reports is only
// a hint: a pipe reports none and may hand out its bytes in small pieces.
bool PullRest(ByteStream& stream, MemoryStream& into) {
    std::uint32_t size = stream.Size();
    std::uint32_t position = stream.Position();
    constexpr std::uint32_t kChunk = 64 * 1024;
    // One byte more than announced, so a stream that tells the truth is read
    // in a single round.
    std::uint32_t left = size > position ? size - position : 0;
    std::uint32_t chunk = left < UINT32_MAX - kChunk ? std::max(left + 1, kChunk) : kChunk;
    for (;; chunk = kChunk) {
        std::uint32_t held = into.Size();
        if (std::uint64_t{held} + chunk > UINT32_MAX || !into.SetSize(held + chunk))
            return false;
        std::uint32_t got = 0;
        while (got < chunk) {
            std::uint32_t n = stream.Read(into.Data() + held + got, chunk - got);
            if (n == 0)
                break;
            got += n;
        }
        if (got < chunk)
            return into.SetSize(held + got);
    }
}

}  // namespace

bool DocNode::ReadFrom(ByteStream& stream) {
    Clear();
    // The record is parsed from one block of bytes: a memory stream's own
    // buffer, or the rest of any other stream read at once.
    MemoryStream pulled;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint32_t start = stream.Position();
    auto* memory = dynamic_cast<MemoryStream*>(&stream);
    if (memory) {
        data = memory->Data() ? memory->Data() + start : nullptr;
        size = memory->Size() - start;
    } else {
        if (!PullRest(stream, pulled))
            return false;
        data = pulled.Data();
        size = pulled.Size();
    }

    DocumentReader reader(data, size);
    bool magicOk = reader.Magic();
    bool ok = magicOk && reader.Body(*this, 0);
    // Bytes after the record stay unread.
    stream.Seek(static_cast<std::int32_t>(start + reader.Consumed()), SeekOrigin::Begin);
    if (!ok) {
        Clear();
        return false;
    }
    return true;
}

void DocNode::WriteTo(ByteStream& stream) const {
    WriteAllTo(stream);
}

bool DocNode::WriteAllTo(ByteStream& stream) const {
    return DocumentWriter(stream).Write(*this);
}

bool DocNode::LoadFromFile(const std::u16string& path) {
    FileStream file;
    if (!file.Open(path, OpenMode::Read))
        return false;
    return ReadFrom(file);
}

namespace {

// Makes a finished rename last across a power cut.
void SyncFolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool DocNode::SaveToFile(const std::u16string& path) const {
    // A link (a dotfiles repository) stays a link: its target is replaced.
    const std::string to = ReplacedFile(ToUtf8(path));
    const std::string from = to + ".tmp";
    FileStream file;
    if (!file.Open(FromUtf8(from), OpenMode::Write))
        return false;
    bool ok = WriteAllTo(file) && file.Sync();
    file.Close();
    // The user's choice of who may read the file survives the save.
    ok = ok && KeepModeOf(to, from);
    if (!ok || std::rename(from.c_str(), to.c_str()) != 0) {
        // errno tells the caller why; the clean-up must not change it.
        const int cause = errno;
        std::remove(from.c_str());
        errno = cause;
        return false;
    }
    SyncFolderOf(to);
    return true;
}

}  // namespace lumora
