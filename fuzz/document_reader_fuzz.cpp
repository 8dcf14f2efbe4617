// Feeds arbitrary bytes to the document reader. Whatever it accepts must
// write back to bytes that read again into the very same bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/doc_format.h"
#include "document/doc_node.h"
#include "document/memory_stream.h"

using lumora::DocNode;
using lumora::MemoryStream;
using lumora::SeekOrigin;

namespace {

MemoryStream Written(const DocNode& node) {
    MemoryStream out;
    if (!node.WriteAllTo(out))
        std::abort();
    return out;
}

// Not a memory stream, so the writer passes its bytes in chunks.
class Collector final : public lumora::ByteStream {
public:
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        bytes.append(static_cast<const char*>(data), count);
        return count;
    }
    std::uint32_t Read(void*, std::uint32_t) override { return 0; }
    std::uint32_t Seek(std::int32_t, lumora::SeekOrigin) override { return Size(); }
    std::uint32_t Size() override { return static_cast<std::uint32_t>(bytes.size()); }
    bool SetSize(std::uint32_t) override { return false; }
    std::uint32_t Position() override { return Size(); }
    void Close() override {}
    std::string bytes;
};

bool SameBytes(const MemoryStream& a, const MemoryStream& b) {
    return a.Size() == b.Size() &&
           (a.Size() == 0 || std::memcmp(a.Data(), b.Data(), a.Size()) == 0);
}

// The codecs on their own, so short counts and strings are explored too.
void FuzzCodecs(const std::uint8_t* data, std::size_t size) {
    MemoryStream in;
    in.Write(data, static_cast<std::uint32_t>(size));
    in.Seek(0, SeekOrigin::Begin);
    std::string narrow;
    std::u16string wide;
    MemoryStream blob;
    std::uint32_t count = 0;
    lumora::ReadCount(in, count);
    lumora::ReadNarrow(in, narrow);
    lumora::ReadWide(in, wide);
    lumora::ReadBlob(in, blob);
    if (in.Position() > in.Size())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFF)
        return 0;
    FuzzCodecs(data, size);

    MemoryStream input;
    input.Write(data, static_cast<std::uint32_t>(size));
    input.Seek(0, SeekOrigin::Begin);
    DocNode first;
    if (!first.ReadFrom(input)) {
        if (!first.Attributes().empty() || !first.Children().empty())
            std::abort();  // a failed read leaves no half-built tree
        return 0;
    }
    if (input.Position() > size)
        std::abort();

    MemoryStream once = Written(first);
    // A record that was read is never longer once written (duplicates and
    // trailing bytes are dropped, nothing is added).
    if (once.Size() > input.Position())
        std::abort();
    once.Seek(0, SeekOrigin::Begin);
    DocNode second;
    if (!second.ReadFrom(once) || once.Position() != once.Size())
        std::abort();
    MemoryStream twice = Written(second);
    if (!SameBytes(once, twice))
        std::abort();
    Collector chunked;
    if (!second.WriteAllTo(chunked) || chunked.bytes != once.View())
        std::abort();
    return 0;
}
