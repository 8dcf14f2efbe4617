#include "document/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lumora {

MemoryStream::MemoryStream(const MemoryStream& other) {
    if (other.size_ == 0)
        return;
    try {
        bytes_ = other.bytes_;
        size_ = other.size_;
    } catch (const std::bad_alloc&) {
        bytes_.clear();
    }
}

MemoryStream::MemoryStream(MemoryStream&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(other.size_), position_(other.position_) {
    other.bytes_.clear();
    other.size_ = 0;
    other.position_ = 0;
}

std::uint32_t MemoryStream::Write(const void* data, std::uint32_t count) {
    if (count == 0 || data == nullptr)
        return 0;
    std::uint64_t end = std::uint64_t{position_} + count;
    if (end > UINT32_MAX)
        return 0;
    if (end > size_ && !SetSize(static_cast<std::uint32_t>(end)))
        return 0;
    std::memcpy(bytes_.data() + position_, data, count);
    position_ += count;
    return count;
}

std::uint32_t MemoryStream::Read(void* buffer, std::uint32_t count) {
    if (size_ == 0 || position_ == size_ || buffer == nullptr)
        return 0;
    std::uint32_t k = std::min(count, size_ - position_);
    std::memcpy(buffer, bytes_.data() + position_, k);
    position_ += k;
    return k;
}

std::uint32_t MemoryStream::Seek(std::int32_t offset, SeekOrigin origin) {
    if (size_ == 0)
        return 0;
    auto step = static_cast<std::uint32_t>(offset);
    switch (origin) {
    case SeekOrigin::Begin: position_ = step; break;
    case SeekOrigin::Current: position_ += step; break;
    case SeekOrigin::End:
        // The offset counts backwards from the end.
        position_ = step <= size_ ? size_ - step : 0;
        break;
    }
    if (position_ > size_)
        position_ = size_;
    return position_;
}

bool MemoryStream::SetSize(std::uint32_t size) {
    if (size < position_)
        position_ = size;
    if (size == 0) {
        Close();
        return true;
    }
    try {
        if (size > bytes_.capacity() && size > bytes_.size()) {
            // Grow geometrically so that appends stay linear overall.
            std::size_t want =
                std::max<std::size_t>(size, bytes_.capacity() + bytes_.capacity() / 2);
            bytes_.reserve(std::min<std::size_t>(want, UINT32_MAX));
        }
        bytes_.resize(size);
    } catch (const std::bad_alloc&) {
        Close();
        return false;
    }
    size_ = size;
    return true;
}

void MemoryStream::Close() {
    std::vector<std::uint8_t>().swap(bytes_);
    size_ = 0;
    position_ = 0;
}

}  // namespace lumora
