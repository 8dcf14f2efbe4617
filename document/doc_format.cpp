#include "document/doc_format.h"

namespace lumora {

namespace {

// A ByteStream as a codec source: it ends where its size says.
class StreamSource {
public:
    explicit StreamSource(ByteStream& stream) : stream_(stream) {}

    bool Take(void* target, std::size_t n) {
        if (n > Left())
            return false;
        auto count = static_cast<std::uint32_t>(n);
        return n == 0 || stream_.Read(target, count) == count;
    }

    std::size_t Left() {
        std::uint32_t size = stream_.Size();
        std::uint32_t position = stream_.Position();
        return size > position ? size - position : 0;
    }

private:
    ByteStream& stream_;
};

// A ByteStream as a codec sink that remembers whether a byte went missing.
class StreamSink {
public:
    explicit StreamSink(ByteStream& stream) : stream_(stream) {}

    void Put(const void* data, std::size_t n) {
        auto count = static_cast<std::uint32_t>(n);
        if (n != 0 && (n != count || stream_.Write(data, count) != count))
            ok_ = false;
    }

    bool Ok() const { return ok_; }

private:
    ByteStream& stream_;
    bool ok_ = true;
};

template <typename Value, typename Put>
bool WriteWith(ByteStream& stream, const Value& value, Put put) {
    StreamSink sink(stream);
    put(sink, value);
    return sink.Ok();
}

}  // namespace

std::size_t EncodeCount(std::uint32_t count, std::uint8_t* out) {
    if (count < 0xFF) {
        out[0] = static_cast<std::uint8_t>(count);
        return 1;
    }
    out[0] = 0xFF;
    const std::uint32_t medium = count < 0xFFFF ? count : 0xFFFF;
    out[1] = static_cast<std::uint8_t>(medium);
    out[2] = static_cast<std::uint8_t>(medium >> 8);
    if (count < 0xFFFF)
        return 3;
    for (int i = 0; i < 4; ++i)
        out[3 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    return kLongestCount;
}

bool WriteCount(ByteStream& stream, std::uint32_t count) {
    return WriteWith(stream, count, [](StreamSink& sink, std::uint32_t n) { PutCount(sink, n); });
}

bool ReadCount(ByteStream& stream, std::uint32_t& count) {
    StreamSource source(stream);
    return TakeCount(source, count);
}

bool WriteNarrow(ByteStream& stream, const std::string& text) {
    return WriteWith(stream, text,
                     [](StreamSink& sink, const std::string& t) { PutNarrow(sink, t); });
}

bool ReadNarrow(ByteStream& stream, std::string& text) {
    StreamSource source(stream);
    return TakeNarrow(source, text);
}

bool WriteWide(ByteStream& stream, const std::u16string& text) {
    return WriteWith(stream, text,
                     [](StreamSink& sink, const std::u16string& t) { PutWide(sink, t); });
}

bool ReadWide(ByteStream& stream, std::u16string& text) {
    StreamSource source(stream);
    return TakeWide(source, text);
}

bool WriteBlob(ByteStream& stream, const MemoryStream& blob) {
    return WriteWith(stream, blob,
                     [](StreamSink& sink, const MemoryStream& b) { PutBlob(sink, &b); });
}

bool ReadBlob(ByteStream& stream, MemoryStream& blob) {
    StreamSource source(stream);
    return TakeBlob(source, blob);
}

}  // namespace lumora
