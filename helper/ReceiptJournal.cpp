#include "helper/ReceiptJournal.h"

#include "helper/ReceiptScan.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace helper {

namespace {

PathComponents componentsOf(const std::string &path)
{
    SplitPath split = splitPath(path, true);
    return split.ok ? std::move(split.components) : PathComponents{};
}

OperationResult failed(std::string message)
{
    return {false, std::move(message)};
}

bool removes(const Operation &operation)
{
    return operation.kind == OperationKind::removeRecorded ||
           operation.kind == OperationKind::removeFolder;
}

std::string withoutSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// Root's folders, reached as its operations reach them.
OpenedFolder openSystemFolder(const std::string &folder)
{
    const SplitPath split = splitPath(folder, true);
    if (!split.ok)
        return {UniqueFd(), false, split.problem};
    return openTrustedFolder(split.components, false);
}

} // namespace

ReceiptJournal::ReceiptJournal(InstallRoots roots, std::string receiptsFolder, std::string user)
    : m_roots(std::move(roots)), m_store(std::move(receiptsFolder)), m_user(std::move(user))
{
    m_products = componentsOf(m_roots.products);
    m_app = componentsOf(m_roots.app);
    m_installFolders.push_back(m_app);
    for (const std::string &folder : m_roots.linkFolders)
        m_installFolders.push_back(componentsOf(folder));
}

ReceiptJournal::~ReceiptJournal()
{
    m_transaction.reset(); // undone unless finished
    if (m_lock)
        m_store.removeEmptyStore();
}

OperationResult ReceiptJournal::finish(bool commit)
{
    if (!m_transaction)
        return {true, {}};
    const TransactionEnd end = commit ? m_transaction->commit() : m_transaction->rollback();
    // What is on disk again is what the receipts say.
    m_loaded = false;
    m_receipts.clear();
    m_touched.clear();
    m_keptReceipts.clear();
    m_madeFolders.clear();
    m_transaction.emplace(m_lock->folder(), withoutSlash(m_store.folder()), openSystemFolder);
    return {end.ok, end.problem};
}

namespace {

constexpr const char *undoneNotice =
    "An earlier installation was interrupted; its changes were undone.";

} // namespace

std::string ReceiptJournal::recoverStore(const std::string &receiptsFolder, std::string &problem)
{
    const ReceiptStore store(receiptsFolder);
    if (!store.hasJournal())
        return {};
    const std::optional<StoreLock> lock = store.prepare(problem);
    if (!lock)
        return {};
    const Transaction::Recovered recovered =
        Transaction::recover(lock->folder(), withoutSlash(receiptsFolder), openSystemFolder);
    store.removeEmptyStore();
    if (recovered.found && !recovered.end.ok)
        problem = "An earlier installation was interrupted and could not be undone: " +
                  recovered.end.problem;
    return recovered.found && recovered.end.ok && !recovered.committed ? undoneNotice
                                                                       : std::string();
}

// A session that was killed left its journal: it is undone before anything else.
bool ReceiptJournal::recoverEarlier(const Operation &first)
{
    const Transaction::Recovered recovered =
        Transaction::recover(m_lock->folder(), withoutSlash(m_store.folder()), openSystemFolder);
    if (recovered.found && !recovered.end.ok) {
        m_unprepared = "An earlier installation was interrupted and could not be undone: " +
                       recovered.end.problem +
                       (removes(first) ? ". Nothing was removed." : ". Nothing was installed.");
        return false;
    }
    if (recovered.found && !recovered.committed)
        m_notice = undoneNotice;
    return true;
}

const std::map<std::string, Receipt> &ReceiptJournal::receipts()
{
    ensureLoaded();
    return m_receipts;
}

// Once, before the first operation does anything; the lock is then held
// until the journal goes.
bool ReceiptJournal::ensurePrepared(const Operation &first)
{
    if (!m_prepared) {
        m_prepared = true;
        std::string why;
        m_lock = m_store.prepare(why);
        if (!m_lock) {
            m_unprepared = "The receipts cannot be kept in " + withoutSlash(m_store.folder()) +
                           ": " + why +
                           (removes(first) ? ". Nothing was removed." : ". Nothing was installed.");
        } else if (recoverEarlier(first)) {
            m_transaction.emplace(m_lock->folder(), withoutSlash(m_store.folder()),
                                  openSystemFolder);
        }
    }
    return m_unprepared.empty();
}

void ReceiptJournal::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    std::vector<std::string> damaged; // left alone: an install replaces them whole
    m_store.load(m_receipts, damaged, m_loadProblem);
}

Receipt &ReceiptJournal::touch(const std::string &product)
{
    Receipt &receipt = m_receipts[product];
    receipt.product = product;
    if (m_touched.insert(product).second) {
        for (const ReceiptEntry &folder : m_madeFolders)
            receipt.put(folder);
    }
    return receipt;
}

// Folders an earlier install made above `path` are listed by this product
// too once it has something in them: whichever product goes last removes them.
void ReceiptJournal::creditSharedFolders(Receipt &receipt, const std::string &path) const
{
    const PathComponents components = componentsOf(path);
    for (std::size_t count = components.size(); count-- > 1;) {
        const std::string folder = joinPath(components, count);
        for (const auto &[product, other] : m_receipts) {
            const ReceiptEntry *entry = other.find(folder);
            if (&other != &receipt && entry && entry->kind == ReceiptEntry::Kind::folder &&
                !receipt.find(folder))
                receipt.put(*entry);
        }
    }
}

// The receipt as it was before the session, for an undo to put back.
bool ReceiptJournal::keepReceipt(const std::string &product, std::string &problem)
{
    if (m_keptReceipts.count(product))
        return true;
    // A folder in a receipt's place is no receipt to put back; writing there fails.
    struct stat status = {};
    if (::fstatat(m_lock->folder(), receiptFileName(product).c_str(), &status,
                  AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(status.st_mode))
        return true;
    if (!m_transaction->keep(m_lock->folder(), withoutSlash(m_store.folder()),
                             receiptFileName(product), problem))
        return false;
    m_keptReceipts.insert(product);
    return true;
}

bool ReceiptJournal::save(const std::string &product, std::string &problem)
{
    if (!keepReceipt(product, problem))
        return false;
    Receipt &receipt = m_receipts[product];
    receipt.version = QUORVANTIC_VERSION;
    receipt.bundle = m_roots.products;
    receipt.time = utcNow();
    receipt.user = m_user;
    return m_store.write(receipt, problem);
}

// `done` unless `product`'s receipt cannot be written: what an uninstall would
// not know of is a failure of the operation that made it.
OperationResult ReceiptJournal::saved(const std::string &product, const std::string &path,
                                      OperationResult done)
{
    std::string problem;
    if (save(product, problem))
        return done;
    const std::string unrecorded = path + " was installed but is not recorded: " + problem;
    return failed(done.ok ? unrecorded : done.message + " (" + unrecorded + ")");
}

// Drops `path`, now gone, from every receipt that lists it.
OperationResult ReceiptJournal::forget(const std::string &path, OperationResult done)
{
    for (auto &[product, receipt] : m_receipts) {
        std::string problem;
        if (receipt.dropAt(path) && !save(product, problem))
            return failed(path + " was removed but is still recorded: " + problem);
    }
    return done;
}

const PathComponents *ReceiptJournal::installFolderFor(const PathComponents &path) const
{
    return installFolderOf(path, m_installFolders);
}

// The product whose copied element holds `path`: the one whose receipt lists
// the element's folder, else the bundle's product that carries the element.
std::string ReceiptJournal::productOwning(const PathComponents &path) const
{
    if (!startsWith(path, m_app, true))
        return {};
    const PathComponents element(path.begin(), path.begin() + long(m_app.size() + 1));
    // This run installs its bundle's element: an older receipt that lists a
    // folder of the same name is another product's, whose copy this replaced.
    const OpenedFolder products = openTrustedFolder(m_products, false);
    std::vector<FolderEntry> entries;
    std::string problem;
    if (products.fd.valid() && listFolder(products.fd.get(), m_roots.products, entries, problem)) {
        for (const FolderEntry &product : entries) {
            const std::string inside = product.name + '/' + element.back();
            struct stat status = {};
            if (::fstatat(products.fd.get(), inside.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
                return product.name;
        }
    }
    const std::string elementPath = joinPath(element, element.size());
    for (const auto &[product, receipt] : m_receipts) {
        if (receipt.find(elementPath))
            return product;
    }
    return {};
}

OperationResult ReceiptJournal::perform(const Operation &operation,
                                        const std::function<bool()> &stopped)
{
    if (!ensurePrepared(operation))
        return failed(m_unprepared);
    ensureLoaded();
    switch (operation.kind) {
    case OperationKind::makeFolder:
        return makeFolder(operation, stopped);
    case OperationKind::copyElement:
        return copyElement(operation, stopped);
    case OperationKind::link:
        return recordAfter(operation, operation.second, stopped);
    case OperationKind::writeText:
        return recordAfter(operation, operation.second, stopped);
    case OperationKind::remove:
        return removeTree(operation, stopped);
    case OperationKind::removeRecorded:
        return removeRecorded(operation.first);
    case OperationKind::removeFolder:
        return removeFolder(operation.first);
    case OperationKind::nothing:
        return {true, {}};
    }
    return failed("unknown operation");
}

OperationResult ReceiptJournal::makeFolder(const Operation &operation,
                                           const std::function<bool()> &stopped)
{
    const PathComponents folder = componentsOf(operation.first);
    std::size_t firstMissing = folder.size() + 1;
    for (std::size_t i = 1; i <= folder.size() && firstMissing > folder.size(); ++i) {
        struct stat status = {};
        if (::lstat(joinPath(folder, i).c_str(), &status) != 0 && errno == ENOENT)
            firstMissing = i;
    }
    const OperationResult done = helper::perform(operation, m_roots, stopped, &*m_transaction);
    if (!done.ok)
        return done;
    for (std::size_t i = firstMissing; i <= folder.size(); ++i) {
        struct stat status = {};
        const std::string path = joinPath(folder, i);
        if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
            continue;
        ReceiptEntry made{ReceiptEntry::Kind::folder, path, {}, status.st_uid, status.st_gid,
                          status.st_mode & 07777u};
        m_madeFolders.push_back(made);
        for (const std::string &product : m_touched) {
            m_receipts[product].put(made);
            const OperationResult recorded = saved(product, path, done);
            if (!recorded.ok)
                return recorded;
        }
    }
    return done;
}

OperationResult ReceiptJournal::copyElement(const Operation &operation,
                                            const std::function<bool()> &stopped)
{
    const PathComponents source = componentsOf(operation.first);
    if (source.size() != m_products.size() + 2 || !startsWith(source, m_products, true) ||
        componentsOf(operation.second) != m_app)
        return helper::perform(operation, m_roots, stopped,
                               &*m_transaction); // refused there, with the reason
    PathComponents copied = m_app;
    copied.push_back(source.back());
    const std::string copiedPath = joinPath(copied, copied.size());
    // The copy hashes what it writes; the listing takes those digests.
    FileDigests digests;
    const OperationResult done =
        helper::perform(operation, m_roots, stopped, &*m_transaction, &digests);
    // A copy cut short stays in its staging folder, which the undo removes.
    if (!done.ok)
        return done;
    std::vector<ReceiptEntry> entries;
    std::string problem;
    scanCopy(m_app, copied, digests, entries, problem);
    const std::string &product = source[m_products.size()];
    Receipt &receipt = touch(product);
    receipt.dropAt(copiedPath);
    for (ReceiptEntry &entry : entries)
        receipt.put(std::move(entry));
    creditSharedFolders(receipt, copiedPath);
    return saved(product, copiedPath, done);
}

OperationResult ReceiptJournal::recordAfter(const Operation &operation, const std::string &path,
                                            const std::function<bool()> &stopped)
{
    const OperationResult done = helper::perform(operation, m_roots, stopped, &*m_transaction);
    if (!done.ok)
        return done;
    const PathComponents made = componentsOf(path);
    const PathComponents *root = installFolderFor(made);
    const std::string product =
        productOwning(componentsOf(operation.kind == OperationKind::link ? operation.first : path));
    if (!root || product.empty())
        return done;
    std::vector<ReceiptEntry> entries;
    std::string problem;
    if (!describe(*root, made, false, entries, problem) || entries.empty())
        return done;
    Receipt &receipt = touch(product);
    receipt.put(std::move(entries.front()));
    creditSharedFolders(receipt, path);
    return saved(product, path, done);
}

OperationResult ReceiptJournal::removeTree(const Operation &operation,
                                           const std::function<bool()> &stopped)
{
    const OperationResult done = helper::perform(operation, m_roots, stopped, &*m_transaction);
    if (!done.ok)
        return done;
    const PathComponents removed = componentsOf(operation.first);
    return forget(joinPath(removed, removed.size()), done);
}

OperationResult ReceiptJournal::removeRecorded(const std::string &path)
{
    const SplitPath split = splitPath(path, false);
    if (!split.ok)
        return failed(split.problem);
    const PathComponents store = componentsOf(m_store.folder());
    if (split.components.size() == store.size() + 1 && startsWith(split.components, store, true))
        return removeReceipt(split.components.back());
    const std::string normal = joinPath(split.components, split.components.size());
    const PathComponents *root = installFolderFor(split.components);
    if (!root)
        return failed("not inside an install folder: " + path);
    for (auto &[product, receipt] : m_receipts) {
        const ReceiptEntry *entry = receipt.find(normal);
        if (!entry || entry->kind == ReceiptEntry::Kind::folder)
            continue;
        const OperationResult done = removeRecordedEntry(*entry, *root, &*m_transaction);
        return done.ok ? forget(normal, done) : done;
    }
    return failed("not recorded by an install: " + path);
}

OperationResult ReceiptJournal::removeReceipt(const std::string &name)
{
    for (auto it = m_receipts.begin(); it != m_receipts.end(); ++it) {
        if (receiptFileName(it->first) != name)
            continue;
        std::string problem;
        if (!keepReceipt(it->first, problem) || !m_store.remove(it->first, problem))
            return failed(problem);
        m_touched.erase(it->first);
        m_receipts.erase(it);
        return {true, {}};
    }
    return failed("no such receipt: " + m_store.folder() + name);
}

OperationResult ReceiptJournal::removeFolder(const std::string &path)
{
    const SplitPath split = splitPath(path, true);
    if (!split.ok || split.components.empty())
        return failed(split.ok ? "not a folder an install made: /" : split.problem);
    const PathComponents &folder = split.components;
    bool nearInstall = installFolderFor(folder) != nullptr;
    for (const PathComponents &installFolder : m_installFolders)
        nearInstall = nearInstall || startsWith(installFolder, folder, false);
    const std::string normal = joinPath(folder, folder.size());
    bool recorded = false;
    for (const auto &[product, receipt] : m_receipts) {
        const ReceiptEntry *entry = receipt.find(normal);
        recorded = recorded || (entry && entry->kind == ReceiptEntry::Kind::folder);
    }
    if (!nearInstall || !recorded)
        return failed("not a folder an install made: " + path);
    bool removed = false;
    const OperationResult done =
        removeFolderIfEmpty(folder, m_installFolders, removed, &*m_transaction);
    return removed ? forget(normal, done) : done;
}

} // namespace helper
