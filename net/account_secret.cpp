#include "net/account_secret.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace lumora {
namespace {

// Passwords are short; a larger file is not one of ours.
constexpr std::size_t kMaxSecretBytes = 1024;

std::string SecretPath(const std::string& folder) {
    return folder + "/" + kAccountSecretFileName;
}

}  // namespace

bool SaveAccountSecret(const std::string& folder, const std::string& password) {
    if (folder.empty() || password.size() > kMaxSecretBytes)
        return false;
    const std::string path = SecretPath(folder);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    bool written = ::fchmod(fd, 0600) == 0;
    std::size_t done = 0;
    while (written && done < password.size()) {
        const ssize_t n = ::write(fd, password.data() + done, password.size() - done);
        written = n > 0;
        done += written ? std::size_t(n) : 0;
    }
    written = ::fsync(fd) == 0 && written;
    return ::close(fd) == 0 && written;
}

std::string LoadAccountSecret(const std::string& folder) {
    if (folder.empty())
        return {};
    const int fd = ::open(SecretPath(folder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    struct stat info {};
    std::string password;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) == 0 &&
        std::size_t(info.st_size) <= kMaxSecretBytes) {
        password.resize(std::size_t(info.st_size));
        if (::read(fd, password.data(), password.size()) != ssize_t(password.size()))
            password.clear();
    }
    ::close(fd);
    return password;
}

void ForgetAccountSecret(const std::string& folder) {
    if (!folder.empty())
        std::remove(SecretPath(folder).c_str());
}

}  // namespace lumora
