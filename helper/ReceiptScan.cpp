#include "helper/ReceiptScan.h"

#include "helper/Sha256.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace helper {

namespace {

bool readLinkAt(int folder, const std::string &name, std::string &target)
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size())
        return false;
    buffer.resize(static_cast<std::size_t>(n));
    target = std::move(buffer);
    return true;
}

// One entry for `name` in `folder`, then what is below it when asked. Files
// below are listed without their digest (fillDigests() adds them). A run's
// temporary is never listed: one a dead run left in an element would
// otherwise pass as installed and be taken for the product's.
bool scanAt(int folder, const std::string &name, const std::string &path, bool recurse, int depth,
            std::vector<ReceiptEntry> &entries, std::string &problem)
{
    if (isTemporaryName(name))
        return true;
    struct stat status = {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        problem = failure("cannot read", path);
        return false;
    }
    ReceiptEntry entry;
    entry.path = path;
    entry.owner = status.st_uid;
    entry.group = status.st_gid;
    entry.mode = status.st_mode & 07777;
    if (S_ISLNK(status.st_mode)) {
        entry.kind = ReceiptEntry::Kind::link;
        entry.mode = 0;
        if (!readLinkAt(folder, name, entry.target)) {
            problem = failure("cannot read the link", path);
            return false;
        }
        entries.push_back(std::move(entry));
        return true;
    }
    const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (S_ISREG(status.st_mode)) {
        entry.kind = ReceiptEntry::Kind::file;
        if (depth > 0) {
            entries.push_back(std::move(entry));
            return true;
        }
        UniqueFd file(::openat(folder, name.c_str(), flags));
        std::string reason;
        if (!file.valid() || !digestOf(file.get(), entry.target, reason)) {
            problem = failure("cannot read", path);
            return false;
        }
        entries.push_back(std::move(entry));
        return true;
    }
    if (!S_ISDIR(status.st_mode)) // nothing an install makes; not recorded
        return true;
    entries.push_back(entry);
    if (!recurse)
        return true;
    if (depth >= maxDepth) {
        problem = "too deeply nested: " + path;
        return false;
    }
    UniqueFd inner(::openat(folder, name.c_str(), flags | O_DIRECTORY));
    std::vector<FolderEntry> children;
    if (!inner.valid() || !listFolder(inner.get(), path, children, problem)) {
        if (problem.empty())
            problem = failure("cannot open", path);
        return false;
    }
    for (const FolderEntry &child : children) {
        if (!scanAt(inner.get(), child.name, path + '/' + child.name, true, depth + 1, entries,
                    problem))
            return false;
    }
    return true;
}

// The digest of the regular file at `path`, reached as any recorded path is.
bool digestAt(const PathComponents &root, const std::string &path, std::string &digest)
{
    const SplitPath split = splitPath(path, false);
    if (!split.ok)
        return false;
    const OpenedFolder holder = openHolder(root, split.components);
    if (!holder.fd.valid())
        return false;
    UniqueFd file(::openat(holder.fd.get(), split.components.back().c_str(),
                           O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status = {};
    std::string problem;
    return file.valid() && ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) &&
           digestOf(file.get(), digest, problem);
}

// Hashing is most of what listing a copy costs: it runs on every core, each
// thread taking the next file. A file that cannot be read is left out.
void fillDigests(const PathComponents &root, std::vector<ReceiptEntry> &entries)
{
    std::vector<ReceiptEntry *> files;
    for (ReceiptEntry &entry : entries) {
        if (entry.kind == ReceiptEntry::Kind::file && entry.target.empty())
            files.push_back(&entry);
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&root, &files, &next] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            if (!digestAt(root, files[i]->path, files[i]->target))
                files[i]->target.clear();
        }
    };
    std::vector<std::thread> threads;
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    try {
        for (unsigned i = 1; i < cores && files.size() > 16; ++i)
            threads.emplace_back(work);
    } catch (...) { // no thread to be had: this one does it all
    }
    work();
    for (std::thread &thread : threads)
        thread.join();
    std::erase_if(entries, [](const ReceiptEntry &entry) {
        return entry.kind == ReceiptEntry::Kind::file && entry.target.empty();
    });
}

} // namespace

const PathComponents *installFolderOf(const PathComponents &path,
                                      const std::vector<PathComponents> &roots)
{
    const PathComponents *found = nullptr;
    for (const PathComponents &root : roots) {
        if (startsWith(path, root, true) && (!found || root.size() > found->size()))
            found = &root;
    }
    return found;
}

OpenedFolder openHolder(const PathComponents &root, const PathComponents &path)
{
    OpenedFolder base = openTrustedFolder(root, false);
    if (!base.fd.valid())
        return base;
    return descendFolder(std::move(base.fd), path, root.size(), path.size() - 1,
                         "refusing to go through a link:");
}

bool describe(const PathComponents &root, const PathComponents &path, bool recurse,
              std::vector<ReceiptEntry> &entries, std::string &problem)
{
    const OpenedFolder holder = openHolder(root, path);
    if (!holder.fd.valid()) {
        if (!holder.missing)
            problem = holder.problem;
        return holder.missing;
    }
    return scanAt(holder.fd.get(), path.back(), joinPath(path, path.size()), recurse, 0, entries,
                  problem);
}

bool scanCopy(const PathComponents &root, const PathComponents &copied, const FileDigests &digests,
              std::vector<ReceiptEntry> &entries, std::string &problem)
{
    const bool listed = describe(root, copied, true, entries, problem);
    const std::size_t prefix = joinPath(copied, copied.size()).size();
    for (ReceiptEntry &entry : entries) {
        if (entry.kind != ReceiptEntry::Kind::file || !entry.target.empty())
            continue;
        const auto found = digests.find(entry.path.substr(prefix));
        if (found != digests.end())
            entry.target = found->second;
    }
    fillDigests(root, entries);
    return listed;
}

OperationResult removeRecordedEntry(const ReceiptEntry &entry, const PathComponents &root,
                                    Transaction *undo)
{
    const SplitPath path = splitPath(entry.path, false);
    if (!path.ok)
        return {false, path.problem};
    const OpenedFolder holder = openHolder(root, path.components);
    if (!holder.fd.valid())
        return {holder.missing, holder.missing ? std::string() : holder.problem};
    const int folder = holder.fd.get();
    const std::string &name = path.components.back();
    struct stat status = {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT,
                errno == ENOENT ? std::string() : failure("cannot read", entry.path)};
    if (entry.kind == ReceiptEntry::Kind::link) {
        std::string target;
        if (!S_ISLNK(status.st_mode))
            return {false, "kept " + entry.path + ": it is " + describeType(status.st_mode) +
                               " now, not the link that was installed"};
        if (!readLinkAt(folder, name, target) || target != entry.target)
            return {false, "kept " + entry.path + ": it points to " + target + " now, not to " +
                               entry.target};
    } else if (entry.kind != ReceiptEntry::Kind::file || !S_ISREG(status.st_mode)) {
        return {false, "kept " + entry.path + ": it is " + describeType(status.st_mode) +
                           " now, not the file that was installed"};
    }
    std::string problem;
    if (undo)
        return {undo->moveAside(folder, joinPath(path.components, path.components.size() - 1), name,
                                problem),
                problem};
    if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT)
        return {false, failure("cannot remove", entry.path)};
    return {true, {}};
}

OperationResult removeFolderIfEmpty(const PathComponents &path,
                                    const std::vector<PathComponents> &roots, bool &removed,
                                    Transaction *undo)
{
    removed = false;
    PathComponents parent = path;
    parent.pop_back();
    // Below an install folder nothing is followed (a copied element may hold
    // links); an install folder or one above it is reached as the install
    // reached it, following only root's own links.
    const PathComponents *root = installFolderOf(path, roots);
    const OpenedFolder holder = root ? openHolder(*root, path) : openTrustedFolder(parent, false);
    if (!holder.fd.valid())
        return {holder.missing, holder.missing ? std::string() : holder.problem};
    if (undo) {
        // What the run removed inside waits there until the commit: a folder
        // holding only that is moved aside whole, and comes back whole.
        const UniqueFd inside(::openat(holder.fd.get(), path.back().c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!inside.valid())
            return {errno == ENOENT,
                    errno == ENOENT ? std::string()
                                    : failure("cannot open folder", joinPath(path, path.size()))};
        if (!undo->holdsOnlySetAside(inside.get(), joinPath(path, path.size())))
            return {true, {}};
        std::string problem;
        removed =
            undo->moveAside(holder.fd.get(), joinPath(path, path.size() - 1), path.back(), problem);
        return {removed, problem};
    }
    if (::unlinkat(holder.fd.get(), path.back().c_str(), AT_REMOVEDIR) == 0) {
        removed = true;
        return {true, {}};
    }
    if (errno == ENOENT || errno == ENOTEMPTY || errno == EEXIST) {
        removed = errno == ENOENT;
        return {true, {}};
    }
    return {false, failure("cannot remove the folder", joinPath(path, path.size()))};
}

} // namespace helper
