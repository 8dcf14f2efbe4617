#include "document/replaced_file.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {

namespace {

// The system's own bound on links followed while resolving a path.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string ReplacedFile(const std::string& path) {
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length <= 0)
            return current;
        const std::string link(target, static_cast<std::size_t>(length));
        // A relative target counts from the link's own folder.
        current = link.front() == '/' ? link : FolderOf(current) + link;
    }
    // A loop of links: renaming over the first one replaces the link, as
    // before; the loop was broken anyway.
    return path;
}

bool KeepModeOf(const std::string& original, const std::string& replacement) {
    struct stat info {};
    if (::stat(original.c_str(), &info) != 0)
        return true;
    return ::chmod(replacement.c_str(), info.st_mode & 07777) == 0;
}

}  // namespace lumora
