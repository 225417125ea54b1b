#include "helper/ReceiptStore.h"

#include "helper/SafePath.h"
#include "helper/TrustedWalk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace helper {

namespace {

// Larger than any install's receipt could be; a bigger file is not one of ours.
constexpr off_t maxReceiptSize = 256 * 1024 * 1024;

OpenedFolder openStore(const std::string &folder, bool create, uid_t owner, bool ownerLinks)
{
    const SplitPath split = splitPath(folder, true);
    if (!split.ok) {
        OpenedFolder refused;
        refused.problem = split.problem;
        return refused;
    }
    WalkRules rules;
    rules.create = create;
    rules.folderMode = owner == 0 ? 0755 : 0700;
    rules.owner = owner;
    if (ownerLinks)
        rules.linkOwner = owner;
    return TrustedWalk(split.components, rules).run();
}

// The reason alone of a failure() text made for `error`; the whole text when
// it is not one (a link refused, say).
std::string reasonOf(const std::string &problem, int error)
{
    const std::string reason = std::string(": ") + std::strerror(error);
    if (error != 0 && problem.size() > reason.size() &&
        problem.compare(problem.size() - reason.size(), reason.size(), reason) == 0)
        return reason.substr(2);
    return problem;
}

// How many of `components` stand already, from the first.
std::size_t standing(const PathComponents &components)
{
    for (std::size_t i = 1; i <= components.size(); ++i) {
        struct stat status = {};
        if (::lstat(joinPath(components, i).c_str(), &status) != 0 && errno == ENOENT)
            return i - 1;
    }
    return components.size();
}

// The names SafePath's temporaryName() gives; not what a transaction keeps
// to put back (".quorvantic-undo-..."), which its recovery settles.
bool isTemporary(const std::string &name)
{
    return name.rfind(".quorvantic-", 0) == 0 && name.size() > 12 && name[12] >= '0' &&
           name[12] <= '9';
}

// Temporaries left by runs that died; with the store locked, no live run has any.
void removeTemporaries(int folder, const std::string &path)
{
    std::vector<FolderEntry> entries;
    std::string problem;
    if (!listFolder(folder, path, entries, problem))
        return;
    for (const FolderEntry &entry : entries) {
        struct stat status = {};
        if (isTemporary(entry.name) &&
            ::fstatat(folder, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(status.st_mode))
            ::unlinkat(folder, entry.name.c_str(), 0);
    }
}

// A file written, synced and removed: a full or read-only file system fails here.
bool probe(int folder, const std::string &path, std::string &problem)
{
    std::string name;
    UniqueFd file = createTemporaryFile(folder, path, 0600, name, problem);
    if (!file.valid()) {
        problem = reasonOf(problem, errno);
        return false;
    }
    const bool written =
        writeAll(file.get(), "probe\n") && ::fsync(file.get()) == 0 && file.close();
    const int error = errno;
    ::unlinkat(folder, name.c_str(), 0);
    if (!written)
        problem = std::strerror(error);
    return written;
}

bool readReceipt(int folder, const std::string &name, std::string &text, std::string &problem)
{
    UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status = {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0) {
        problem = "cannot be read";
        return false;
    }
    if (!S_ISREG(status.st_mode) || status.st_size > maxReceiptSize) {
        problem = "is not a receipt file";
        return false;
    }
    readUpTo(file.get(), static_cast<std::size_t>(status.st_size), text);
    return true;
}

} // namespace

ReceiptStore::ReceiptStore(std::string folder, uid_t owner, bool ownerLinks)
    : m_folder(std::move(folder)), m_owner(owner), m_ownerLinks(ownerLinks)
{}

std::optional<StoreLock> ReceiptStore::prepare(std::string &problem) const
{
    const SplitPath split = splitPath(m_folder, true);
    if (!split.ok) {
        problem = split.problem;
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_lockWait;
    for (;;) {
        const std::size_t stood = standing(split.components);
        std::optional<StoreLock> locked = lock(deadline, problem);
        if (locked && locked->folder() < 0)
            continue; // the folder locked was removed meanwhile: the one standing now
        if (locked) {
            removeTemporaries(locked->folder(), m_folder);
            if (probe(locked->folder(), m_folder, problem))
                return locked;
        }
        removeCreated(split.components, stood);
        return std::nullopt;
    }
}

// The store opened and flock()ed; a lock whose folder() is -1 when the folder
// was removed while waiting (the run that held it took its last receipt away).
std::optional<StoreLock> ReceiptStore::lock(std::chrono::steady_clock::time_point deadline,
                                            std::string &problem) const
{
    OpenedFolder store = openStore(m_folder, true, m_owner, m_ownerLinks);
    if (!store.fd.valid()) {
        problem = reasonOf(store.problem, errno);
        return std::nullopt;
    }
    while (::flock(store.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            problem = std::strerror(errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            problem = "another installation is using them";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    struct stat status = {};
    if (::fstat(store.fd.get(), &status) != 0) {
        problem = std::strerror(errno);
        return std::nullopt;
    }
    if (status.st_nlink == 0)
        return StoreLock(UniqueFd());
    return StoreLock(std::move(store.fd));
}

std::optional<StoreLock> ReceiptStore::lockIfIdle() const
{
    OpenedFolder store = openStore(m_folder, false, m_owner, m_ownerLinks);
    if (!store.fd.valid() || ::flock(store.fd.get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    return StoreLock(std::move(store.fd));
}

// Removes the folders of `components` from the first that did not stand, deepest first.
void ReceiptStore::removeCreated(const PathComponents &components, std::size_t stood) const
{
    for (std::size_t count = components.size(); count > stood; --count) {
        const PathComponents parentPath(components.begin(), components.begin() + long(count - 1));
        const OpenedFolder parent = openTrustedFolder(parentPath, false);
        if (!parent.fd.valid() ||
            ::unlinkat(parent.fd.get(), components[count - 1].c_str(), AT_REMOVEDIR) != 0)
            return;
    }
}

bool ReceiptStore::load(std::map<std::string, Receipt> &receipts, std::vector<std::string> &damaged,
                        std::string &problem) const
{
    const OpenedFolder store = openStore(m_folder, false, m_owner, m_ownerLinks);
    if (!store.fd.valid()) {
        problem = store.problem;
        return store.missing;
    }
    std::vector<FolderEntry> files;
    if (!listFolder(store.fd.get(), m_folder, files, problem))
        return false;
    static const std::string suffix = ".receipt";
    for (const FolderEntry &file : files) {
        if (file.name.size() <= suffix.size() ||
            file.name.compare(file.name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string text;
        std::string why;
        if (!readReceipt(store.fd.get(), file.name, text, why)) {
            damaged.push_back(m_folder + file.name + ": " + why);
            continue;
        }
        ParsedReceipt parsed = parseReceipt(text);
        if (!parsed.ok || receiptFileName(parsed.receipt.product) != file.name) {
            damaged.push_back(m_folder + file.name + ": " +
                              (parsed.ok ? "names another product" : parsed.problem));
            continue;
        }
        receipts[parsed.receipt.product] = std::move(parsed.receipt);
    }
    return true;
}

bool ReceiptStore::hasJournal() const
{
    const OpenedFolder store = openStore(m_folder, false, m_owner, m_ownerLinks);
    struct stat status = {};
    return store.fd.valid() && ::fstatat(store.fd.get(), std::string(journalName).c_str(), &status,
                                         AT_SYMLINK_NOFOLLOW) == 0;
}

bool ReceiptStore::write(const Receipt &receipt, std::string &problem) const
{
    const std::string name = receiptFileName(receipt.product);
    if (name.empty()) {
        problem = "no receipt can be named after \"" + receipt.product + '"';
        return false;
    }
    const OpenedFolder store = openStore(m_folder, true, m_owner, m_ownerLinks);
    if (!store.fd.valid()) {
        problem = store.problem;
        return false;
    }
    std::string temporary;
    UniqueFd out = createTemporaryFile(store.fd.get(), m_folder, 0644, temporary, problem);
    if (!out.valid()) {
        problem = "cannot write the receipt " + m_folder + name + ": " + reasonOf(problem, errno);
        return false;
    }
    const bool written = writeAll(out.get(), formatReceipt(receipt)) && ::fsync(out.get()) == 0;
    if (out.close() && written &&
        ::renameat(store.fd.get(), temporary.c_str(), store.fd.get(), name.c_str()) == 0)
        return true;
    problem = failure("cannot write the receipt", m_folder + name);
    ::unlinkat(store.fd.get(), temporary.c_str(), 0);
    return false;
}

bool ReceiptStore::remove(const std::string &product, std::string &problem) const
{
    const OpenedFolder store = openStore(m_folder, false, m_owner, m_ownerLinks);
    if (!store.fd.valid()) {
        problem = store.problem;
        return store.missing;
    }
    const std::string name = receiptFileName(product);
    if (::unlinkat(store.fd.get(), name.c_str(), 0) == 0 || errno == ENOENT) {
        removeEmptyStore();
        return true;
    }
    problem = failure("cannot remove the receipt", m_folder + name);
    return false;
}

// With the last receipt gone, the folders kept for them go too (when they hold
// nothing else), so an uninstall leaves the system as it found it.
void ReceiptStore::removeEmptyStore() const
{
    SplitPath split = splitPath(m_folder, true);
    if (!split.ok || split.components.size() < 2)
        return;
    for (int i = 0; i < 2 && split.components.size() >= 2; ++i) {
        const std::string name = split.components.back();
        if (i == 1 && name != "quorvantic-installer")
            return;
        split.components.pop_back();
        const OpenedFolder parent = openTrustedFolder(split.components, false);
        if (!parent.fd.valid() || ::unlinkat(parent.fd.get(), name.c_str(), AT_REMOVEDIR) != 0)
            return;
    }
}

} // namespace helper
