#pragma once

#include "helper/InstallOperations.h"
#include "helper/Receipt.h"
#include "helper/ReceiptStore.h"
#include "helper/SafePath.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Performs install and uninstall operations and keeps each product's receipt
// in step with them: after every operation that changed what is installed,
// the receipts it touched are written again, so a run that ends anyhow leaves
// receipts that list what its completed operations made.
//
// Which product a path belongs to comes from the bundle (a copy names its
// product folder) or from the receipts (a link or file inside a copied
// element). Folders a run made are listed in every product the run touched:
// each uninstall removes them only once they are empty.
//
// The uninstall operations remove only what a receipt lists: a link that
// still points where it did, a file that is still a file, a folder once it is
// empty, and a product's receipt itself.
//
// An install nobody could undo must not read as success: the store is got
// ready (and locked for the session) before the first operation does
// anything, and an operation whose receipt cannot be written fails, naming
// what is not recorded.
//
// The session is one transaction (helper/Transaction.h), receipts included:
// finish() keeps it or undoes it, and a journal that ends any other way is
// undone, now or, when the process was killed, by the next session before
// its first operation.
namespace helper {

class ReceiptJournal
{
public:
    ReceiptJournal(InstallRoots roots, std::string receiptsFolder, std::string user);
    // A store left with no receipt goes, as after an uninstall.
    ~ReceiptJournal();
    ReceiptJournal(const ReceiptJournal &) = delete;
    ReceiptJournal &operator=(const ReceiptJournal &) = delete;

    // How long the first operation waits for another run holding the store.
    void setLockWait(std::chrono::milliseconds wait) { m_store.setLockWait(wait); }

    OperationResult perform(const Operation &operation, const std::function<bool()> &stopped = {});

    // The receipts as they stand (loaded at the first operation).
    const std::map<std::string, Receipt> &receipts();

    // Keeps (`commit`) or undoes what the session's operations changed.
    OperationResult finish(bool commit);
    // What the first operation found to say beforehand (an earlier session
    // that was interrupted and is now undone), once; empty when nothing.
    std::string takeNotice() { return std::exchange(m_notice, {}); }

private:
    bool ensurePrepared(const Operation &first);
    void ensureLoaded();
    Receipt &touch(const std::string &product);
    void creditSharedFolders(Receipt &receipt, const std::string &path) const;
    bool save(const std::string &product, std::string &problem);
    bool keepReceipt(const std::string &product, std::string &problem);
    bool recoverEarlier(const Operation &first);
    OperationResult saved(const std::string &product, const std::string &path,
                          OperationResult done);
    OperationResult forget(const std::string &path, OperationResult done);
    std::string productOwning(const PathComponents &path) const;
    const PathComponents *installFolderFor(const PathComponents &path) const;

    OperationResult makeFolder(const Operation &operation, const std::function<bool()> &stopped);
    OperationResult copyElement(const Operation &operation, const std::function<bool()> &stopped);
    OperationResult recordAfter(const Operation &operation, const std::string &path,
                                const std::function<bool()> &stopped);
    OperationResult removeTree(const Operation &operation, const std::function<bool()> &stopped);
    OperationResult removeRecorded(const std::string &path);
    OperationResult removeReceipt(const std::string &name);
    OperationResult removeFolder(const std::string &path);

    InstallRoots m_roots;
    ReceiptStore m_store;
    std::string m_user;
    PathComponents m_products;
    PathComponents m_app;
    std::vector<PathComponents> m_installFolders; // the app folder, then the link folders
    bool m_prepared = false;
    std::optional<StoreLock> m_lock;
    std::optional<Transaction> m_transaction;
    std::set<std::string> m_keptReceipts; // whose old receipt the transaction keeps
    std::string m_notice;
    std::string m_unprepared; // why no operation may run, when the store could not be got ready
    bool m_loaded = false;
    std::string m_loadProblem;
    std::map<std::string, Receipt> m_receipts;
    std::set<std::string> m_touched;
    std::vector<ReceiptEntry> m_madeFolders; // this run's, in the order made
};

} // namespace helper
