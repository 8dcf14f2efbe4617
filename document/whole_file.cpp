#include "document/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>

#include "document/text_encoding.h"

namespace lumora {

namespace {

// Up to `count` bytes at the file's current place; fewer only at its end
// or on a failure.
std::size_t ReadUpTo(int fd, std::uint8_t* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, into + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

bool WholeFile::Open(const std::u16string& path) {
    Close();
    const std::string native = ToUtf8(path);
    do {
        fd_ = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > UINT32_MAX) {
        Close();
        return false;
    }
    size_ = static_cast<std::size_t>(info.st_size);
    return true;
}

bool WholeFile::ReadAll(std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& size) {
    bytes.reset();
    size = 0;
    if (fd_ < 0)
        return false;
    // Not zeroed first: every byte is read over.
    auto buffer = std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size_ + 1]);
    // One byte more than noted shows a file that grew meanwhile.
    if (ReadUpTo(fd_, buffer.get(), size_ + 1) != size_)
        return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != size_)
        return false;
    bytes = std::move(buffer);
    size = size_;
    return true;
}

void WholeFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

void AdviseLargePages(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto first = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (first + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (first + size) & ~(kLargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace lumora
