#include "helper/SafePath.h"

#include "helper/TrustedWalk.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace helper {

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string childPath(const std::string &parent, const std::string &name)
{
    return parent == "/" ? "/" + name : parent + '/' + name;
}

} // namespace

// The target of a link, read from a descriptor that holds the link itself,
// so the link checked is the link read.
bool readLink(int linkFd, std::string &target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(linkFd, "", buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

UniqueFd::UniqueFd(UniqueFd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

UniqueFd &UniqueFd::operator=(UniqueFd &&other) noexcept
{
    if (this != &other)
        reset(std::exchange(other.m_fd, -1));
    return *this;
}

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

bool UniqueFd::close()
{
    const int fd = std::exchange(m_fd, -1);
    return fd < 0 || ::close(fd) == 0;
}

std::string failure(std::string_view what, const std::string &path)
{
    const int error = errno;
    std::string text(what);
    text += ' ';
    text += path;
    text += ": ";
    text += std::strerror(error);
    return text;
}

SplitPath splitPath(std::string_view path, bool trailingSlash)
{
    SplitPath split;
    const std::string shown(path);
    if (path.empty() || path.front() != '/') {
        split.problem = "not an absolute path: " + shown;
        return split;
    }
    if (path.find('\0') != std::string_view::npos) {
        split.problem = "path holds a NUL byte: " + shown;
        return split;
    }
    std::string_view rest = path.substr(1);
    if (trailingSlash && !rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    while (path.size() > 1) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == "..") {
            split.problem = "path has an empty, \".\" or \"..\" component: " + shown;
            return split;
        }
        split.components.emplace_back(part);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    split.ok = true;
    return split;
}

std::string joinPath(const PathComponents &components, std::size_t count)
{
    if (count == 0)
        return "/";
    std::string path;
    for (std::size_t i = 0; i < count && i < components.size(); ++i)
        path += '/' + components[i];
    return path;
}

bool startsWith(const PathComponents &path, const PathComponents &root, bool strictly)
{
    if (path.size() < root.size() || (strictly && path.size() == root.size()))
        return false;
    for (std::size_t i = 0; i < root.size(); ++i) {
        if (path[i] != root[i])
            return false;
    }
    return true;
}

OpenedFolder openTrustedFolder(const PathComponents &components, bool create)
{
    WalkRules rules;
    rules.create = create;
    rules.createThroughLinks = true;
    return TrustedWalk(components, rules).run();
}

OpenedFolder descendFolder(UniqueFd base, const PathComponents &components, std::size_t from,
                           std::size_t to, std::string_view linkRefusal)
{
    OpenedFolder result;
    result.fd = std::move(base);
    for (std::size_t i = from; i < to; ++i) {
        const std::string path = joinPath(components, i + 1);
        const int fd = ::openat(result.fd.get(), components[i].c_str(), folderFlags);
        if (fd >= 0) {
            result.fd.reset(fd);
            continue;
        }
        struct stat status = {};
        const int error = errno;
        if ((error == ELOOP || error == ENOTDIR) &&
            ::fstatat(result.fd.get(), components[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            result.problem = S_ISLNK(status.st_mode)
                                 ? std::string(linkRefusal) + ' ' + path
                                 : "not a folder: " + path + " is " + describeType(status.st_mode);
        } else {
            errno = error;
            result.missing = error == ENOENT;
            result.problem = failure("cannot open folder", path);
        }
        result.fd.reset();
        return result;
    }
    return result;
}

std::string describeType(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFLNK:
        return "a symbolic link";
    case S_IFDIR:
        return "a folder";
    case S_IFREG:
        return "a file";
    case S_IFIFO:
        return "a FIFO";
    case S_IFSOCK:
        return "a socket";
    case S_IFCHR:
    case S_IFBLK:
        return "a device node";
    default:
        return "of an unknown type";
    }
}

bool listFolder(int fd, const std::string &path, std::vector<FolderEntry> &entries,
                std::string &problem)
{
    // The stream owns a duplicate, rewound: the duplicate shares the offset.
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR *stream = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!stream) {
        problem = failure("cannot read folder", path);
        if (copy >= 0)
            ::close(copy);
        return false;
    }
    ::rewinddir(stream);
    errno = 0;
    while (const dirent *entry = ::readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type});
        errno = 0;
    }
    const bool ok = errno == 0;
    if (!ok)
        problem = failure("cannot read folder", path);
    ::closedir(stream);
    return ok;
}

namespace {

bool removeContents(int fd, const std::string &path, int depth, std::string &problem)
{
    if (depth > maxDepth) {
        problem = "too deeply nested to remove: " + path;
        return false;
    }
    std::vector<FolderEntry> entries;
    if (!listFolder(fd, path, entries, problem))
        return false;
    for (const FolderEntry &entry : entries) {
        const std::string child = childPath(path, entry.name);
        struct stat status = {};
        if (::fstatat(fd, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            problem = failure("cannot remove", child);
            return false;
        }
        if (S_ISDIR(status.st_mode)) {
            const UniqueFd folder(::openat(fd, entry.name.c_str(), folderFlags));
            if (!folder.valid()) {
                problem = failure("cannot remove", child);
                return false;
            }
            if (!removeContents(folder.get(), child, depth + 1, problem))
                return false;
        }
        const int flags = S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0;
        if (::unlinkat(fd, entry.name.c_str(), flags) != 0 && errno != ENOENT) {
            problem = failure("cannot remove", child);
            return false;
        }
    }
    return true;
}

} // namespace

bool removeEntry(int parentFd, const std::string &name, const std::string &path,
                 std::string &problem)
{
    struct stat status = {};
    if (::fstatat(parentFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        problem = failure("cannot remove", path);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        const UniqueFd folder(::openat(parentFd, name.c_str(), folderFlags));
        if (!folder.valid()) {
            problem = failure("cannot remove", path);
            return false;
        }
        if (!removeContents(folder.get(), path, 1, problem))
            return false;
    }
    const int flags = S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0;
    if (::unlinkat(parentFd, name.c_str(), flags) != 0 && errno != ENOENT) {
        problem = failure("cannot remove", path);
        return false;
    }
    return true;
}

std::string temporaryName()
{
    static const std::string prefix = ".quorvantic-" + std::to_string(::getpid()) + '-';
    static std::atomic<unsigned long> counter{0};
    return prefix + std::to_string(++counter);
}

bool isTemporaryName(std::string_view name)
{
    static constexpr std::string_view prefix = ".quorvantic-";
    if (!name.starts_with(prefix))
        return false;
    name.remove_prefix(prefix.size());
    if (name.starts_with("undo-"))
        name.remove_prefix(5);
    else if (name.starts_with("stage-"))
        name.remove_prefix(6);
    const auto digits = [&name] {
        std::size_t count = 0;
        while (count < name.size() && name[count] >= '0' && name[count] <= '9')
            ++count;
        name.remove_prefix(count);
        return count > 0;
    };
    if (!digits() || !name.starts_with('-'))
        return false;
    name.remove_prefix(1);
    return digits() && name.empty();
}

UniqueFd createTemporaryFile(int folderFd, const std::string &folderPath, mode_t mode,
                             std::string &name, std::string &problem, bool readable)
{
    const int access = readable ? O_RDWR : O_WRONLY;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        UniqueFd fd(::openat(folderFd, name.c_str(),
                             access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.valid()) {
            if (::fchmod(fd.get(), mode) != 0) {
                problem = failure("cannot set the mode of a new file in", folderPath);
                ::unlinkat(folderFd, name.c_str(), 0);
                return {};
            }
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    problem = failure("cannot create a file in", folderPath);
    return {};
}

bool replaceWithLink(int folderFd, const std::string &name, const std::string &target,
                     const std::string &path, std::string &problem)
{
    struct stat status = {};
    if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(status.st_mode)) {
        problem = "cannot overwrite folder: " + path;
        return false;
    }
    std::string temporary;
    int made = -1;
    for (int attempt = 0; attempt < 100 && made != 0; ++attempt) {
        temporary = temporaryName();
        made = ::symlinkat(target.c_str(), folderFd, temporary.c_str());
        if (made != 0 && errno != EEXIST)
            break;
    }
    if (made != 0) {
        problem = failure("cannot make the link", path);
        return false;
    }
    if (::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) != 0) {
        problem = errno == EISDIR ? "cannot overwrite folder: " + path
                                  : failure("cannot make the link", path);
        ::unlinkat(folderFd, temporary.c_str(), 0);
        return false;
    }
    return true;
}

void readUpTo(int fd, std::size_t size, std::string &text)
{
    text.resize(size);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
}

bool writeAll(int fd, const std::string &bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace helper
