#include "document/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "document/text_encoding.h"

namespace lumora {

bool FileStream::Open(const std::u16string& path, OpenMode mode) {
    Close();
    std::string native = ToUtf8(path);
    int flags = O_CLOEXEC | (mode == OpenMode::Read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC));
    do {
        fd_ = ::open(native.c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int cause = S_ISDIR(info.st_mode) ? EISDIR : errno;
        Close();
        errno = cause;
        return false;
    }
    return true;
}

std::uint32_t FileStream::Write(const void* data, std::uint32_t count) {
    if (fd_ < 0 || data == nullptr)
        return 0;
    auto bytes = static_cast<const char*>(data);
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

std::uint32_t FileStream::Read(void* buffer, std::uint32_t count) {
    if (fd_ < 0 || buffer == nullptr)
        return 0;
    auto bytes = static_cast<char*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

std::uint32_t FileStream::Seek(std::int32_t offset, SeekOrigin origin) {
    if (fd_ < 0)
        return 0;
    int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                 : origin == SeekOrigin::Current ? SEEK_CUR
                                                 : SEEK_END;
    off_t at = ::lseek(fd_, offset, whence);
    if (at < 0)
        at = ::lseek(fd_, 0, SEEK_CUR);
    return static_cast<std::uint32_t>(at < 0 ? 0 : at);
}

std::uint32_t FileStream::Size() {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return 0;
    return static_cast<std::uint32_t>(info.st_size);
}

bool FileStream::SetSize(std::uint32_t) {
    return Size() != 0;
}

std::uint32_t FileStream::Position() {
    if (fd_ < 0)
        return 0;
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    return static_cast<std::uint32_t>(at < 0 ? 0 : at);
}

void FileStream::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool FileStream::Sync() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

}  // namespace lumora
