#include "helper/ElementCopy.h"

#include "helper/SafePath.h"
#include "helper/SourceFile.h"
#include "helper/WrittenDigests.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace helper {

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// What lands in root's folders is never writable by the group or others,
// whatever the bundle says: only root may change installed plug-in code. The
// executable bits stay, set-ID and sticky bits go.
constexpr mode_t installedBits = 0755;

bool installable(mode_t type)
{
    return type == S_IFDIR || type == S_IFREG || type == S_IFLNK;
}

// The entry's type from the listing or, where the file system gives none, from fstatat.
bool entryType(int folderFd, const FolderEntry &entry, const std::string &path, mode_t &type,
               std::string &problem)
{
    switch (entry.type) {
    case DT_DIR:
        type = S_IFDIR;
        return true;
    case DT_REG:
        type = S_IFREG;
        return true;
    case DT_LNK:
        type = S_IFLNK;
        return true;
    default:
        break;
    }
    struct stat status = {};
    if (::fstatat(folderFd, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        problem = failure("cannot read", path);
        return false;
    }
    type = status.st_mode & S_IFMT;
    return true;
}

UniqueFd openSourceFolder(int parentFd, const std::string &name, const std::string &path,
                          std::string &problem)
{
    UniqueFd fd(::openat(parentFd, name.c_str(), folderFlags));
    if (!fd.valid())
        problem = errno == ELOOP || errno == ENOTDIR ? changedWhileInstalling(path)
                                                     : failure("cannot open folder", path);
    return fd;
}

// Looks the whole element over before anything is written.
bool inspect(int folderFd, const std::string &path, int depth, std::string &problem)
{
    if (depth > maxDepth) {
        problem = "too deeply nested to install: " + path;
        return false;
    }
    std::vector<FolderEntry> entries;
    if (!listFolder(folderFd, path, entries, problem))
        return false;
    for (const FolderEntry &entry : entries) {
        const std::string child = path + '/' + entry.name;
        mode_t type = 0;
        if (!entryType(folderFd, entry, child, type, problem))
            return false;
        if (!installable(type)) {
            problem = notInstallable(child, type);
            return false;
        }
        if (type != S_IFDIR)
            continue;
        const UniqueFd sub = openSourceFolder(folderFd, entry.name, child, problem);
        if (!sub.valid() || !inspect(sub.get(), child, depth + 1, problem))
            return false;
    }
    return true;
}

bool readLinkAt(int folderFd, const std::string &name, std::string &target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(folderFd, name.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// A path in the source and the matching one in the destination, with the
// folders that hold them.
struct Place
{
    int sourceFolder;
    int destinationFolder;
    const std::string &name;            // in the source
    const std::string &destinationName; // in the destination: the same below the top
    std::string sourcePath;
    std::string destinationPath;
};

class TreeCopier
{
public:
    TreeCopier(std::string &problem, const CopyEnds &ends)
        : m_problem(problem), m_stopped(ends.stopped), m_leaseWait(ends.leaseWait),
          m_topLength(ends.sourcePath.size())
    {
        if (ends.digests)
            m_digests.emplace(*ends.digests);
    }

    bool copyFolder(int sourceFd, const Place &place, int depth);

private:
    UniqueFd destinationFolder(const Place &place, bool &created);
    bool clearFolderAt(const Place &place);
    bool copyFile(const Place &place);
    bool copyLink(const Place &place);
    bool copyData(int in, int out, off_t size, const std::string &path);
    bool settleFolderMode(int fd, bool created, mode_t sourceMode, const std::string &path);

    std::string &m_problem;
    std::function<bool()> m_stopped;
    std::chrono::milliseconds m_leaseWait;
    std::vector<char> m_buffer;
    bool m_noRangeCopy = false; // copy_file_range failed for good between these folders
    std::size_t m_topLength;    // of the element's source path: the rest is a digest's key
    std::optional<WrittenDigests> m_digests; // waited for when the copier goes
};

bool TreeCopier::copyFolder(int sourceFd, const Place &place, int depth)
{
    struct stat status = {};
    if (::fstat(sourceFd, &status) != 0) {
        m_problem = failure("cannot read", place.sourcePath);
        return false;
    }
    bool created = false;
    const UniqueFd destination = destinationFolder(place, created);
    std::vector<FolderEntry> entries;
    if (!destination.valid() || !listFolder(sourceFd, place.sourcePath, entries, m_problem))
        return false;
    for (const FolderEntry &entry : entries) {
        const Place child{sourceFd,
                          destination.get(),
                          entry.name,
                          entry.name,
                          place.sourcePath + '/' + entry.name,
                          place.destinationPath + '/' + entry.name};
        mode_t type = 0;
        if (!entryType(sourceFd, entry, child.sourcePath, type, m_problem))
            return false;
        bool done = false;
        if (type == S_IFDIR) {
            if (depth >= maxDepth) {
                m_problem = "too deeply nested to install: " + child.sourcePath;
            } else {
                const UniqueFd sub =
                    openSourceFolder(sourceFd, entry.name, child.sourcePath, m_problem);
                done = sub.valid() && copyFolder(sub.get(), child, depth + 1);
            }
        } else if (type == S_IFREG) {
            done = copyFile(child);
        } else if (type == S_IFLNK) {
            done = copyLink(child);
        } else {
            m_problem = notInstallable(child.sourcePath, type);
        }
        if (!done)
            return false;
    }
    return settleFolderMode(destination.get(), created, status.st_mode, place.destinationPath);
}

// A new folder gets its mode once filled, the bundle's within the installed
// bits; one that was there keeps its own within them (an earlier installer
// may have left it writable by others).
bool TreeCopier::settleFolderMode(int fd, bool created, mode_t sourceMode, const std::string &path)
{
    struct stat now = {};
    if (::fstat(fd, &now) != 0) {
        m_problem = failure("cannot read", path);
        return false;
    }
    const mode_t wanted = (created ? sourceMode : now.st_mode) & installedBits;
    if ((now.st_mode & 07777) != wanted && ::fchmod(fd, wanted) != 0) {
        m_problem = failure("cannot set the mode of", path);
        return false;
    }
    return true;
}

UniqueFd TreeCopier::destinationFolder(const Place &place, bool &created)
{
    const int parent = place.destinationFolder;
    struct stat status = {};
    if (::fstatat(parent, place.destinationName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        // Root writes only into folders of its own.
        created = !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid();
        if (created &&
            !removeEntry(parent, place.destinationName, place.destinationPath, m_problem))
            return {};
    } else if (errno == ENOENT) {
        created = true;
    } else {
        m_problem = failure("cannot read", place.destinationPath);
        return {};
    }
    if (created && ::mkdirat(parent, place.destinationName.c_str(), 0700) != 0) {
        m_problem = failure("cannot create folder", place.destinationPath);
        return {};
    }
    UniqueFd fd(::openat(parent, place.destinationName.c_str(), folderFlags));
    if (!fd.valid())
        m_problem = failure("cannot open folder", place.destinationPath);
    return fd;
}

// A file or link cannot be renamed over a folder: a folder standing where one
// goes is removed first.
bool TreeCopier::clearFolderAt(const Place &place)
{
    struct stat status = {};
    if (::fstatat(place.destinationFolder, place.destinationName.c_str(), &status,
                  AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(status.st_mode))
        return true;
    return removeEntry(place.destinationFolder, place.destinationName, place.destinationPath,
                       m_problem);
}

bool TreeCopier::copyFile(const Place &place)
{
    if (m_stopped && m_stopped()) {
        m_problem = stoppedBefore(place.sourcePath);
        return false;
    }
    struct stat status = {};
    const UniqueFd in =
        openSourceFile({place.sourceFolder, place.name, place.sourcePath, m_leaseWait, m_stopped},
                       status, m_problem);
    if (!in.valid() || !clearFolderAt(place))
        return false;
    std::string temporary;
    UniqueFd out = createTemporaryFile(place.destinationFolder, place.destinationPath,
                                       status.st_mode & installedBits, temporary, m_problem,
                                       m_digests.has_value());
    if (!out.valid())
        return false;
    bool ok = copyData(in.get(), out.get(), status.st_size, place.destinationPath);
    if (ok && m_digests) // what was written, hashed while the next file copies
        m_digests->add(UniqueFd(::fcntl(out.get(), F_DUPFD_CLOEXEC, 0)),
                       place.sourcePath.substr(m_topLength));
    if (!out.close() && ok) {
        m_problem = failure("cannot write", place.destinationPath);
        ok = false;
    }
    if (ok && ::renameat(place.destinationFolder, temporary.c_str(), place.destinationFolder,
                         place.destinationName.c_str()) != 0) {
        m_problem = failure("cannot replace", place.destinationPath);
        ok = false;
    }
    if (!ok)
        ::unlinkat(place.destinationFolder, temporary.c_str(), 0);
    return ok;
}

bool TreeCopier::copyData(int in, int out, off_t size, const std::string &path)
{
    // In the kernel, without a trip through this process; shared extents where
    // the file system has them. Where it cannot (another file system, an old
    // kernel, a file system that reports nothing), read and write go on from
    // where it stopped. The size is the one the open file had when checked.
    off_t copied = 0;
    while (copied < size && !m_noRangeCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t(1) << 30, 0);
        if (n > 0)
            copied += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else {
            // Between these two file systems it never works: stop asking.
            m_noRangeCopy = n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP);
            break;
        }
    }
    if (copied == size)
        return true;
    if (m_buffer.empty())
        m_buffer.resize(std::size_t(1) << 20);
    for (;;) {
        const ssize_t n = ::read(in, m_buffer.data(), m_buffer.size());
        if (n == 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_problem = failure("cannot read the source of", path);
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, m_buffer.data() + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                m_problem = failure("cannot write", path);
                return false;
            }
            done += w;
        }
    }
}

bool TreeCopier::copyLink(const Place &place)
{
    std::string target;
    if (!readLinkAt(place.sourceFolder, place.name, target)) {
        m_problem = errno == EINVAL ? changedWhileInstalling(place.sourcePath)
                                    : failure("cannot read", place.sourcePath);
        return false;
    }
    return clearFolderAt(place) && replaceWithLink(place.destinationFolder, place.destinationName,
                                                   target, place.destinationPath, m_problem);
}

} // namespace

bool copyElementTree(const CopyEnds &ends, std::string &problem)
{
    const UniqueFd element(::openat(ends.sourceFolderFd, ends.elementName.c_str(), folderFlags));
    if (!element.valid()) {
        const int error = errno;
        struct stat status = {};
        if ((error == ELOOP || error == ENOTDIR) &&
            ::fstatat(ends.sourceFolderFd, ends.elementName.c_str(), &status,
                      AT_SYMLINK_NOFOLLOW) == 0) {
            problem = S_ISLNK(status.st_mode) ? "refusing to install a link: " + ends.sourcePath
                                              : notInstallable(ends.sourcePath, status.st_mode);
        } else {
            errno = error;
            problem = failure("cannot open folder", ends.sourcePath);
        }
        return false;
    }
    if (!inspect(element.get(), ends.sourcePath, 0, problem))
        return false;
    const Place top{
        ends.sourceFolderFd, ends.destinationFolderFd,
        ends.elementName,    ends.destinationName.empty() ? ends.elementName : ends.destinationName,
        ends.sourcePath,     ends.destinationPath};
    return TreeCopier(problem, ends).copyFolder(element.get(), top, 0);
}

} // namespace helper
