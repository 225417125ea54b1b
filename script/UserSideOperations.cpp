#include "script/UserSideOperations.h"

#include "helper/SourceFile.h"
#include "helper/TrustedWalk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using helper::PathComponents;
using helper::UniqueFd;
using Done = UserSideOperations::Done;

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// What the user's folders and files get when made here: never writable by others.
constexpr mode_t folderMode = 0755;
constexpr mode_t fileBits = 0755;
// A redirection the shell could not make exits 2, every program here 1.
constexpr int shellStatus = 2;

Done failed(std::string line, int status = 1)
{
    return {status, std::move(line) + '\n'};
}

std::string quoted(const std::string &path)
{
    return '\'' + path + '\'';
}

std::string pathOf(const std::string &folder, const std::string &name)
{
    return folder == "/" ? "/" + name : folder + '/' + name;
}

std::string reasonOf(int error)
{
    return std::strerror(error);
}

// A link in the data folder is refused as the shell would have been refused
// the write, with why.
std::string linkRefused(const std::string &link)
{
    return reasonOf(EACCES) + " (" + link +
           " is a symbolic link, and no link in the data folder is followed)";
}

bool status(int folderFd, const std::string &name, struct stat &st)
{
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

helper::OpenedFolder walk(const PathComponents &components, std::optional<uid_t> linkOwner)
{
    helper::WalkRules rules;
    rules.linkOwner = linkOwner;
    return helper::TrustedWalk(components, rules).run();
}

bool copyData(int in, int out, std::string &reason)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || !helper::writeAll(out, std::string(buffer, std::size_t(got)))) {
            reason = reasonOf(errno);
            return false;
        }
    }
}

} // namespace

UserSideOperations::UserSideOperations(PathComponents dataFolder, std::optional<uid_t> linkOwner,
                                       helper::Transaction *undo)
    : m_dataFolder(std::move(dataFolder)), m_linkOwner(linkOwner), m_undo(undo)
{}

helper::FolderOpener UserSideOperations::opener(PathComponents dataFolder,
                                                std::optional<uid_t> linkOwner)
{
    return [dataFolder = std::move(dataFolder), linkOwner](const std::string &folder) {
        const helper::SplitPath split = helper::splitPath(folder, false);
        if (!split.ok) {
            helper::OpenedFolder refused;
            refused.problem = split.problem;
            return refused;
        }
        if (!helper::startsWith(split.components, dataFolder, false))
            return walk(split.components, linkOwner);
        helper::OpenedFolder base = walk(dataFolder, linkOwner);
        if (!base.fd.valid())
            return base;
        return helper::descendFolder(std::move(base.fd), split.components, dataFolder.size(),
                                     split.components.size(), "refusing to follow the link");
    };
}

bool UserSideOperations::keep(int folderFd, const std::string &folder, const std::string &name,
                              std::string &problem)
{
    return !m_undo || m_undo->keep(folderFd, folder, name, problem);
}

bool UserSideOperations::madeFolder(int folderFd, const std::string &folder,
                                    const std::string &name, std::string &problem)
{
    return !m_undo || m_undo->willMakeFolder(folderFd, folder, name, problem);
}

UserSideOperations::Opened UserSideOperations::openFolder(const PathComponents &folder,
                                                          std::size_t count, std::size_t createFrom)
{
    // Down to the data folder by the walk from "/"; when it is still to be
    // made, from the deepest folder of it that stands.
    std::size_t base = std::min(count, m_dataFolder.size());
    for (;;) {
        helper::OpenedFolder walked =
            walk(PathComponents(folder.begin(), folder.begin() + long(base)), m_linkOwner);
        if (walked.fd.valid())
            return descend(std::move(walked.fd), folder, base, count, createFrom);
        if (!walked.missing || base == 0 || base <= createFrom) {
            Opened failed;
            failed.missing = walked.missing;
            failed.at = helper::joinPath(folder, base);
            failed.reason = walked.missing ? reasonOf(ENOENT) : walked.problem;
            return failed;
        }
        --base;
    }
}

UserSideOperations::Opened UserSideOperations::descend(UniqueFd base, const PathComponents &folder,
                                                       std::size_t from, std::size_t to,
                                                       std::size_t createFrom)
{
    Opened opened;
    opened.fd = std::move(base);
    for (std::size_t i = from; i < to; ++i) {
        const std::string &name = folder[i];
        const std::string above = helper::joinPath(folder, i);
        opened.at = helper::joinPath(folder, i + 1);
        int fd = ::openat(opened.fd.get(), name.c_str(), folderFlags);
        if (fd < 0 && errno == ENOENT && i >= createFrom) {
            if (!madeFolder(opened.fd.get(), above, name, opened.reason))
                return {UniqueFd(), false, opened.at, opened.reason};
            if (::mkdirat(opened.fd.get(), name.c_str(), folderMode) != 0 && errno != EEXIST)
                return {UniqueFd(), false, opened.at, reasonOf(errno)};
            fd = ::openat(opened.fd.get(), name.c_str(), folderFlags);
        }
        if (fd >= 0) {
            opened.fd.reset(fd);
            continue;
        }
        const int error = errno;
        struct stat st = {};
        if (error != ENOENT && status(opened.fd.get(), name, st))
            opened.reason = S_ISLNK(st.st_mode)   ? linkRefused(opened.at)
                            : S_ISDIR(st.st_mode) ? reasonOf(error)
                                                  : reasonOf(ENOTDIR);
        else
            opened.reason = reasonOf(error);
        opened.missing = error == ENOENT;
        opened.fd.reset();
        return opened;
    }
    return opened;
}

UserSideOperations::Done UserSideOperations::perform(const UserSideLine &line)
{
    try {
        switch (line.kind) {
        case UserSideLine::Kind::makeFolder:
            return makeFolder(line);
        case UserSideLine::Kind::copyContents:
            return copyContents(line);
        case UserSideLine::Kind::link:
            return link(line);
        case UserSideLine::Kind::writeText:
            return writeText(line);
        case UserSideLine::Kind::giveToUser:
            return giveToUser(line);
        case UserSideLine::Kind::removeFile:
            return removeFile(line);
        case UserSideLine::Kind::removeEmptyFolder:
            return removeEmptyFolder(line);
        }
    } catch (const std::bad_alloc &) {
        return failed("out of memory");
    }
    return failed("unknown operation");
}

// Like mkdir -p: what stands is fine, a link to a folder included (only
// looked at, nothing is made through it); what is missing is made.
UserSideOperations::Done UserSideOperations::makeFolder(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const Opened parent = openFolder(path, path.size() - 1, 0);
    if (!parent.fd.valid())
        return failed("mkdir: cannot create directory " + quoted(parent.at) + ": " + parent.reason);
    const int fd = parent.fd.get();
    const std::string &name = path.back();
    const std::string shown = helper::joinPath(path, path.size());
    struct stat st = {};
    if (status(fd, name, st)) {
        if (S_ISDIR(st.st_mode) ||
            (S_ISLNK(st.st_mode) && ::fstatat(fd, name.c_str(), &st, 0) == 0 &&
             S_ISDIR(st.st_mode)))
            return {};
        return failed("mkdir: cannot create directory " + quoted(shown) + ": " + reasonOf(EEXIST));
    }
    std::string problem;
    if (!madeFolder(fd, helper::joinPath(path, path.size() - 1), name, problem))
        return failed("mkdir: cannot create directory " + quoted(shown) + ": " + problem);
    if (::mkdirat(fd, name.c_str(), folderMode) != 0)
        return failed("mkdir: cannot create directory " + quoted(shown) + ": " + reasonOf(errno));
    return {};
}

// What the source folder holds, merged into the destination like cp -R -f:
// folders entered, files and links replaced, each change recorded.
UserSideOperations::Done UserSideOperations::copyContents(const UserSideLine &line)
{
    // The app folder is root's: only root's links lead there.
    const helper::OpenedFolder source = walk(line.source, std::nullopt);
    if (!source.fd.valid())
        return failed("cp: cannot stat " + quoted(line.text) + ": " +
                      (source.missing ? reasonOf(ENOENT) : source.problem));
    const PathComponents &path = line.path;
    const Opened destination = openFolder(path, path.size(), path.size() - 1);
    if (!destination.fd.valid())
        return failed("cp: cannot create directory " + quoted(destination.at) + ": " +
                      destination.reason);
    std::string error;
    if (!copyTree(source.fd.get(), helper::joinPath(line.source, line.source.size()),
                  destination.fd.get(), line.shown, 0, error))
        return failed(error);
    return {};
}

bool UserSideOperations::copyTree(int from, const std::string &fromPath, int to,
                                  const std::string &toPath, int depth, std::string &error)
{
    std::vector<helper::FolderEntry> entries;
    std::string problem;
    if (!helper::listFolder(from, fromPath, entries, problem)) {
        error = "cp: " + problem;
        return false;
    }
    for (const helper::FolderEntry &entry : entries) {
        if (!copyEntry(from, fromPath, to, toPath, entry.name, depth, error))
            return false;
    }
    return true;
}

bool UserSideOperations::copyEntry(int from, const std::string &fromPath, int to,
                                   const std::string &toPath, const std::string &name, int depth,
                                   std::string &error)
{
    const std::string source = pathOf(fromPath, name);
    const std::string target = pathOf(toPath, name);
    struct stat st = {};
    struct stat there = {};
    if (!status(from, name, st)) {
        error = "cp: cannot stat " + quoted(source) + ": " + reasonOf(errno);
        return false;
    }
    const bool stands = status(to, name, there);
    if (S_ISDIR(st.st_mode)) {
        if (stands && !S_ISDIR(there.st_mode)) {
            error = "cp: cannot overwrite non-directory " + quoted(target) + " with directory " +
                    quoted(source);
            return false;
        }
        if (depth >= helper::maxDepth) {
            error = "cp: too deeply nested to copy: " + quoted(source);
            return false;
        }
        std::string problem;
        if (!stands && (!madeFolder(to, toPath, name, problem) ||
                        ::mkdirat(to, name.c_str(), st.st_mode & folderMode) != 0)) {
            error = "cp: cannot create directory " + quoted(target) + ": " +
                    (problem.empty() ? reasonOf(errno) : problem);
            return false;
        }
        const UniqueFd in(::openat(from, name.c_str(), folderFlags));
        const UniqueFd out(::openat(to, name.c_str(), folderFlags));
        if (!in.valid() || !out.valid()) {
            error =
                "cp: cannot open " + quoted(in.valid() ? target : source) + ": " + reasonOf(errno);
            return false;
        }
        return copyTree(in.get(), source, out.get(), target, depth + 1, error);
    }
    if (stands && S_ISDIR(there.st_mode)) {
        error = "cp: cannot overwrite directory " + quoted(target) + " with non-directory";
        return false;
    }
    if (S_ISREG(st.st_mode))
        return copyFile(from, fromPath, to, toPath, name, error);
    std::string linkTarget;
    std::string problem;
    if (!S_ISLNK(st.st_mode)) {
        error = "cp: " + helper::notInstallable(source, st.st_mode);
        return false;
    }
    const UniqueFd link(::openat(from, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!link.valid() || !helper::readLink(link.get(), linkTarget)) {
        error = "cp: cannot read symbolic link " + quoted(source) + ": " + reasonOf(errno);
        return false;
    }
    if (keep(to, toPath, name, problem) &&
        helper::replaceWithLink(to, name, linkTarget, target, problem))
        return true;
    error = "cp: cannot create symbolic link " + quoted(target) + ": " + problem;
    return false;
}

bool UserSideOperations::copyFile(int from, const std::string &fromPath, int to,
                                  const std::string &toPath, const std::string &name,
                                  std::string &error)
{
    static const std::function<bool()> never;
    const std::string source = pathOf(fromPath, name);
    const std::string target = pathOf(toPath, name);
    struct stat st = {};
    std::string problem;
    const UniqueFd in =
        helper::openSourceFile({from, name, source, helper::defaultLeaseWait, never}, st, problem);
    if (!in.valid()) {
        error = "cp: " + problem;
        return false;
    }
    std::string temporary;
    UniqueFd out;
    if (keep(to, toPath, name, problem))
        out = helper::createTemporaryFile(to, toPath, st.st_mode & fileBits, temporary, problem);
    if (!out.valid()) {
        error = "cp: cannot create regular file " + quoted(target) + ": " + problem;
        return false;
    }
    std::string reason;
    const bool copied = copyData(in.get(), out.get(), reason);
    if (!out.close() && copied)
        reason = reasonOf(errno);
    if (copied && reason.empty() && ::renameat(to, temporary.c_str(), to, name.c_str()) == 0)
        return true;
    if (reason.empty())
        reason = reasonOf(errno);
    ::unlinkat(to, temporary.c_str(), 0);
    error = "cp: error writing " + quoted(target) + ": " + reason;
    return false;
}

UserSideOperations::Done UserSideOperations::link(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const std::string failure = "ln: failed to create symbolic link " + quoted(line.shown) + ": ";
    const Opened folder = openFolder(path, path.size() - 1, path.size());
    if (!folder.fd.valid())
        return failed(failure + folder.reason);
    const int fd = folder.fd.get();
    struct stat st = {};
    if (status(fd, path.back(), st) && S_ISDIR(st.st_mode))
        return failed("ln: " + quoted(line.shown) + ": cannot overwrite directory");
    std::string problem;
    if (!keep(fd, helper::joinPath(path, path.size() - 1), path.back(), problem) ||
        !helper::replaceWithLink(fd, path.back(), line.text, line.shown, problem))
        return failed(failure + problem);
    return {};
}

// The file is replaced whole, never written through a link that stands there.
UserSideOperations::Done UserSideOperations::writeText(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const std::string failure = "cannot create " + line.shown + ": ";
    const Opened folder = openFolder(path, path.size() - 1, path.size());
    if (!folder.fd.valid())
        return failed(failure + (folder.missing ? "Directory nonexistent" : folder.reason),
                      shellStatus);
    const int fd = folder.fd.get();
    const std::string &name = path.back();
    struct stat st = {};
    if (status(fd, name, st) && !S_ISREG(st.st_mode))
        return failed(failure + (S_ISLNK(st.st_mode) ? linkRefused(line.shown)
                                 : S_ISDIR(st.st_mode)
                                     ? reasonOf(EISDIR)
                                     : "it is " + helper::describeType(st.st_mode)),
                      shellStatus);
    const std::string above = helper::joinPath(path, path.size() - 1);
    std::string problem;
    std::string temporary;
    UniqueFd out;
    if (keep(fd, above, name, problem))
        out = helper::createTemporaryFile(fd, above, 0644, temporary, problem);
    if (!out.valid())
        return failed(failure + problem, shellStatus);
    const bool written = helper::writeAll(out.get(), line.text);
    const int error = errno;
    if (out.close() && written && ::renameat(fd, temporary.c_str(), fd, name.c_str()) == 0)
        return {};
    const std::string reason = reasonOf(written ? errno : error);
    ::unlinkat(fd, temporary.c_str(), 0);
    return failed(failure + reason, shellStatus);
}

// The folder is the owner's already: acting as the owner, there is nothing to give.
UserSideOperations::Done UserSideOperations::giveToUser(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const Opened folder = openFolder(path, path.size() - 1, path.size());
    struct stat st = {};
    if (!folder.fd.valid())
        return failed("chown: cannot access " + quoted(line.shown) + ": " + folder.reason);
    if (!status(folder.fd.get(), path.back(), st))
        return failed("chown: cannot access " + quoted(line.shown) + ": " + reasonOf(errno));
    return {};
}

UserSideOperations::Done UserSideOperations::removeFile(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const std::string failure = "rm: cannot remove " + quoted(line.shown) + ": ";
    const Opened folder = openFolder(path, path.size() - 1, path.size());
    if (!folder.fd.valid())
        return folder.missing ? Done{} : failed(failure + folder.reason);
    const int fd = folder.fd.get();
    struct stat st = {};
    if (!status(fd, path.back(), st))
        return {};
    if (S_ISDIR(st.st_mode))
        return failed(failure + reasonOf(EISDIR));
    std::string problem;
    if (m_undo
            ? m_undo->moveAside(fd, helper::joinPath(path, path.size() - 1), path.back(), problem)
            : ::unlinkat(fd, path.back().c_str(), 0) == 0 || errno == ENOENT)
        return {};
    return failed(failure + (problem.empty() ? reasonOf(errno) : problem));
}

UserSideOperations::Done UserSideOperations::removeEmptyFolder(const UserSideLine &line)
{
    const PathComponents &path = line.path;
    const std::string failure = "rmdir: failed to remove " + quoted(line.shown) + ": ";
    const Opened folder = openFolder(path, path.size() - 1, path.size());
    if (!folder.fd.valid())
        return failed(failure + folder.reason);
    const int fd = folder.fd.get();
    const std::string &name = path.back();
    struct stat st = {};
    if (!status(fd, name, st))
        return failed(failure + reasonOf(errno));
    if (!S_ISDIR(st.st_mode))
        return failed(failure + reasonOf(ENOTDIR));
    const UniqueFd inside(::openat(fd, name.c_str(), folderFlags));
    std::vector<helper::FolderEntry> entries;
    std::string problem;
    if (!inside.valid() || !helper::listFolder(inside.get(), line.shown, entries, problem))
        return failed(failure + (problem.empty() ? reasonOf(errno) : problem));
    // What this run removed inside waits there until the commit: a folder
    // holding only that is moved aside whole, and comes back whole.
    if (m_undo && m_undo->holdsOnlySetAside(inside.get(), line.shown))
        return m_undo->moveAside(fd, helper::joinPath(path, path.size() - 1), name, problem)
                   ? Done{}
                   : failed(failure + problem);
    if (!entries.empty())
        return {};
    if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOTEMPTY || errno == EEXIST)
        return {};
    return failed(failure + reasonOf(errno));
}
