#include "helper/Transaction.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

using Kind = JournalStep::Kind;

std::string pathOf(const std::string &folder, const std::string &name)
{
    return folder == "/" ? "/" + name : folder + '/' + name;
}

bool exists(int folderFd, const std::string &name, struct stat *status = nullptr)
{
    struct stat ignored = {};
    return ::fstatat(folderFd, name.c_str(), status ? status : &ignored, AT_SYMLINK_NOFOLLOW) == 0;
}

bool renamed(int folderFd, const std::string &from, const std::string &to, std::string &problem,
             const std::string &path)
{
    if (::renameat(folderFd, from.c_str(), folderFd, to.c_str()) == 0)
        return true;
    problem = failure("cannot put back", path);
    return false;
}

// Removes `name` when it is there. Looked for first: on a read-only file
// system even removing what is not there fails (EROFS), and what is not
// there is nothing to remove.
bool removeIfThere(int fd, const std::string &name, int flags, const char *why,
                   const std::string &path, std::string &problem)
{
    if (!exists(fd, name) || ::unlinkat(fd, name.c_str(), flags) == 0 || errno == ENOENT)
        return true;
    problem = failure(why, path);
    return false;
}

// Puts back what one step changed. Each case looks at what stands rather than
// trusting that its step ran, so undoing twice, or a step cut off, is fine.
bool undo(const JournalStep &step, int fd, std::string &problem)
{
    const std::string path = pathOf(step.folder, step.name);
    struct stat status = {};
    switch (step.kind) {
    case Kind::made:
    case Kind::staged:
        return removeEntry(fd, step.name, path, problem);
    case Kind::madeFolder:
        return removeIfThere(fd, step.name, AT_REMOVEDIR, "cannot remove the folder the run made",
                             path, problem);
    case Kind::kept: {
        struct stat aside = {};
        if (!exists(fd, step.aside, &aside))
            return true;
        // Cut off before the replacement: both names are the one file, and a
        // rename between links to one file does nothing, so the aside would stay.
        if (exists(fd, step.name, &status) && status.st_ino == aside.st_ino &&
            status.st_dev == aside.st_dev)
            return removeIfThere(fd, step.aside, 0, "cannot remove",
                                 pathOf(step.folder, step.aside), problem);
        return renamed(fd, step.aside, step.name, problem, path);
    }
    case Kind::movedAside:
        if (!exists(fd, step.aside))
            return true;
        return removeEntry(fd, step.name, path, problem) &&
               renamed(fd, step.aside, step.name, problem, path);
    case Kind::swapped: {
        struct stat aside = {};
        if (!exists(fd, step.name, &status) || status.st_ino == step.inode ||
            !exists(fd, step.aside, &aside) || aside.st_ino != step.inode)
            return true; // the exchange never happened
        if (::renameat2(fd, step.aside.c_str(), fd, step.name.c_str(), RENAME_EXCHANGE) == 0)
            return true;
        problem = failure("cannot put back", path);
        return false;
    }
    case Kind::committed:
        return true;
    }
    return true;
}

// After the commit record: what waited aside goes.
bool finish(const JournalStep &step, int fd, std::string &problem)
{
    switch (step.kind) {
    case Kind::kept:
        return removeIfThere(fd, step.aside, 0, "cannot remove", pathOf(step.folder, step.aside),
                             problem);
    case Kind::movedAside:
    case Kind::swapped:
        return removeEntry(fd, step.aside, pathOf(step.folder, step.aside), problem);
    case Kind::staged:
        return removeEntry(fd, step.name, pathOf(step.folder, step.name), problem);
    default:
        return true;
    }
}

// Files a run of process `pid` was writing under a temporary name when it
// stopped (helper/SafePath.h temporaryName()).
void removeTemporaries(int fd, const std::string &folder, long pid)
{
    const std::string prefix = ".quorvantic-" + std::to_string(pid) + '-';
    std::vector<FolderEntry> entries;
    std::string problem;
    if (!listFolder(fd, folder, entries, problem))
        return;
    for (const FolderEntry &entry : entries) {
        struct stat status = {};
        if (entry.name.rfind(prefix, 0) == 0 && exists(fd, entry.name, &status) &&
            !S_ISDIR(status.st_mode))
            ::unlinkat(fd, entry.name.c_str(), 0);
    }
}

// Undoes (or, once committed, finishes) `steps`; the journal goes when all went well.
TransactionEnd settle(const std::vector<JournalStep> &steps, long pid, int storeFd,
                      const std::string &storePath, const FolderOpener &open)
{
    bool committed = false;
    for (const JournalStep &step : steps)
        committed = committed || step.kind == Kind::committed;
    TransactionEnd end;
    std::set<std::string> folders;
    const auto each = [&](const JournalStep &step) {
        if (step.kind == Kind::committed)
            return;
        const OpenedFolder folder = open(step.folder);
        std::string problem;
        struct stat status = {};
        if (!folder.fd.valid()) {
            // A folder that is gone holds nothing to put back or remove.
            if (folder.missing)
                return;
            problem = folder.problem;
        } else if (step.folderInode != 0 && ::fstat(folder.fd.get(), &status) == 0 &&
                   status.st_ino != step.folderInode) {
            return; // not the folder the step was taken in: that one was swapped out
        } else if (committed ? finish(step, folder.fd.get(), problem)
                             : undo(step, folder.fd.get(), problem)) {
            if (folders.insert(step.folder).second)
                removeTemporaries(folder.fd.get(), step.folder, pid);
            ::syncfs(folder.fd.get());
            return;
        }
        end.ok = false;
        end.problem += (end.problem.empty() ? "" : "; ") + problem;
    };
    if (committed) {
        for (const JournalStep &step : steps)
            each(step);
    } else {
        for (auto step = steps.rbegin(); step != steps.rend(); ++step)
            each(*step);
    }
    if (!end.ok) {
        end.problem += ". What is left is recorded in " + storePath + std::string(journalName) +
                       "; the next run of the installer finishes it";
        return end;
    }
    std::string problem;
    if (!JournalFile::removeAt(storeFd, storePath, problem))
        end = {false, problem};
    return end;
}

} // namespace

Transaction::Transaction(int storeFd, std::string storePath, FolderOpener open)
    : m_storeFd(storeFd), m_storePath(std::move(storePath)), m_open(std::move(open))
{
    if (!m_storePath.empty() && m_storePath.back() != '/')
        m_storePath += '/';
}

Transaction::~Transaction()
{
    if (begun() && !m_ended)
        rollback();
}

std::string Transaction::asideName()
{
    return ".quorvantic-undo-" + std::to_string(::getpid()) + '-' + std::to_string(++m_next);
}

bool Transaction::record(JournalStep step, int folderFd, std::string &problem)
{
    if (m_ended) {
        problem = "the run's changes were already settled";
        return false;
    }
    if (!begun() && !m_journal.create(m_storeFd, m_storePath, problem))
        return false;
    struct stat status = {};
    if (::fstat(folderFd, &status) == 0) {
        step.folderInode = status.st_ino;
        bool known = false;
        for (const auto &[device, fd] : m_fileSystems)
            known = known || device == status.st_dev;
        if (!known)
            m_fileSystems.emplace_back(status.st_dev,
                                       UniqueFd(::fcntl(folderFd, F_DUPFD_CLOEXEC, 3)));
    }
    if (!m_journal.append(encodeStep(step), problem))
        return false;
    m_steps.push_back(std::move(step));
    return true;
}

bool Transaction::willMake(int folderFd, const std::string &folder, const std::string &name,
                           std::string &problem)
{
    return record({Kind::made, folder, name, {}}, folderFd, problem);
}

bool Transaction::willMakeFolder(int folderFd, const std::string &folder, const std::string &name,
                                 std::string &problem)
{
    return record({Kind::madeFolder, folder, name, {}}, folderFd, problem);
}

bool Transaction::keep(int folderFd, const std::string &folder, const std::string &name,
                       std::string &problem)
{
    struct stat status = {};
    if (!exists(folderFd, name, &status))
        return willMake(folderFd, folder, name, problem);
    if (S_ISDIR(status.st_mode)) {
        problem = "cannot keep the folder " + pathOf(folder, name) + " to put it back";
        return false;
    }
    std::string aside = asideName();
    while (exists(folderFd, aside))
        aside = asideName();
    if (!record({Kind::kept, folder, name, aside}, folderFd, problem))
        return false;
    if (::linkat(folderFd, name.c_str(), folderFd, aside.c_str(), 0) == 0)
        return true;
    problem = failure("cannot keep a copy to put back of", pathOf(folder, name));
    return false;
}

bool Transaction::moveAside(int folderFd, const std::string &folder, const std::string &name,
                            std::string &problem)
{
    if (!exists(folderFd, name))
        return true;
    std::string aside = asideName();
    while (exists(folderFd, aside))
        aside = asideName();
    if (!record({Kind::movedAside, folder, name, aside}, folderFd, problem))
        return false;
    if (::renameat(folderFd, name.c_str(), folderFd, aside.c_str()) == 0)
        return true;
    problem = failure("cannot remove", pathOf(folder, name));
    return false;
}

std::string Transaction::stage(int folderFd, const std::string &folder, std::string &problem)
{
    std::string name;
    do
        name = ".quorvantic-stage-" + std::to_string(::getpid()) + '-' + std::to_string(++m_next);
    while (exists(folderFd, name));
    return record({Kind::staged, folder, name, {}}, folderFd, problem) ? name : std::string();
}

bool Transaction::swapIn(int folderFd, const std::string &folder, const std::string &staged,
                         const std::string &name, std::string &problem)
{
    struct stat status = {};
    if (!exists(folderFd, name, &status)) {
        if (!willMake(folderFd, folder, name, problem))
            return false;
    } else {
        JournalStep step{Kind::swapped, folder, name, staged};
        step.inode = status.st_ino;
        if (!record(std::move(step), folderFd, problem))
            return false;
        if (::renameat2(folderFd, staged.c_str(), folderFd, name.c_str(), RENAME_EXCHANGE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS) {
            problem = failure("cannot replace", pathOf(folder, name));
            return false;
        }
        // A file system that cannot exchange: the old one aside, then the new one in.
        if (!moveAside(folderFd, folder, name, problem) ||
            !willMake(folderFd, folder, name, problem))
            return false;
    }
    if (::renameat(folderFd, staged.c_str(), folderFd, name.c_str()) == 0)
        return true;
    problem = failure("cannot put in place", pathOf(folder, name));
    return false;
}

bool Transaction::holdsOnlySetAside(int folderFd, const std::string &folder) const
{
    const std::string prefix = ".quorvantic-undo-" + std::to_string(::getpid()) + '-';
    std::vector<FolderEntry> entries;
    std::string problem;
    if (!listFolder(folderFd, folder, entries, problem))
        return false;
    for (const FolderEntry &entry : entries) {
        if (entry.name.rfind(prefix, 0) != 0)
            return false;
    }
    return true;
}

TransactionEnd Transaction::commit()
{
    if (!begun() || m_ended) {
        m_ended = true;
        return {};
    }
    // Everything the run wrote is on disk before the record that keeps it.
    for (const auto &[device, fd] : m_fileSystems) {
        if (fd.valid() && ::syncfs(fd.get()) != 0)
            return {false, failure("cannot write to disk what was installed in", m_storePath)};
    }
    std::string problem;
    if (!m_journal.append(encodeStep({Kind::committed, {}, {}, {}}), problem))
        return {false, problem};
    m_ended = true;
    m_steps.push_back({Kind::committed, {}, {}, {}});
    return settle(m_steps, ::getpid(), m_storeFd, m_storePath, m_open);
}

TransactionEnd Transaction::rollback()
{
    m_ended = true;
    if (!begun())
        return {};
    return settle(m_steps, ::getpid(), m_storeFd, m_storePath, m_open);
}

Transaction::Recovered Transaction::recover(int storeFd, const std::string &storePath,
                                            const FolderOpener &open)
{
    Recovered recovered;
    std::string store = storePath;
    if (!store.empty() && store.back() != '/')
        store += '/';
    const JournalContents contents = JournalFile::read(storeFd, store, recovered.found);
    if (!recovered.found)
        return recovered;
    if (!contents.ok) {
        recovered.end = {false, contents.problem};
        return recovered;
    }
    for (const JournalStep &step : contents.steps)
        recovered.committed = recovered.committed || step.kind == Kind::committed;
    recovered.end = settle(contents.steps, contents.pid, storeFd, store, open);
    return recovered;
}

} // namespace helper
