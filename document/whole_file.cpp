#include "document/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <utility>

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

bool WholeFile::ReadAll(LargePageVector<std::uint8_t>& bytes) {
    bytes.clear();
    if (fd_ < 0)
        return false;
    LargePageVector<std::uint8_t> buffer;
    // Not zeroed first: every byte is read over. One byte more than noted
    // shows a file that grew meanwhile.
    buffer.resize(size_ + 1);
    if (ReadUpTo(fd_, buffer.data(), size_ + 1) != size_)
        return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != size_)
        return false;
    buffer.resize(size_);
    bytes = std::move(buffer);
    return true;
}

void WholeFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

}  // namespace lumora
