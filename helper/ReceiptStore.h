#pragma once

#include "helper/JournalFile.h"
#include "helper/Receipt.h"
#include "helper/StoreLock.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

// The folder of receipts, one file a product, each replaced whole (written
// under a temporary name, then renamed over the old one) so a reader never
// sees half of one. Reached through descriptors like the install folders.
namespace helper {

class ReceiptStore
{
public:
    // `folder` absolute, ending with "/", and belonging to `owner`; on the
    // way to it only root's links are followed, and with `ownerLinks` the
    // owner's too (a process's own store). Folders made for a store of
    // root's get mode 0755, for a user's 0700.
    explicit ReceiptStore(std::string folder, uid_t owner = ::geteuid(), bool ownerLinks = false);

    const std::string &folder() const { return m_folder; }

    // The file a run keeps in the store while it changes what is installed,
    // to undo it should the run end early; gone once the run has finished.
    static constexpr std::string_view journalName = helper::journalName;
    // Whether a journal stands in the store (a missing store holds none).
    bool hasJournal() const;

    // Gets the store ready before anything is written: makes the folder when
    // missing, locks it (waiting up to lockWait() for a run that holds it),
    // removes the temporaries of runs that died, and writes and removes a
    // probe file, so a full or read-only file system shows before an install
    // rather than after it. Folders it made are removed again when it fails.
    // `problem` then holds the reason alone ("No space left on device").
    std::optional<StoreLock> prepare(std::string &problem) const;
    std::chrono::milliseconds lockWait() const { return m_lockWait; }
    // The store locked when it stands and no run holds it; nothing, and
    // nothing made, otherwise.
    std::optional<StoreLock> lockIfIdle() const;
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    // Every whole receipt, by product. A missing folder holds none; a receipt
    // that cannot be read or parsed is left out and named in `damaged` with why.
    bool load(std::map<std::string, Receipt> &receipts, std::vector<std::string> &damaged,
              std::string &problem) const;
    // Makes the folder (mode 0755) when missing; the file gets mode 0644.
    bool write(const Receipt &receipt, std::string &problem) const;
    // Missing is fine.
    bool remove(const std::string &product, std::string &problem) const;
    // With no receipt left, the folder goes, and its parent when it is
    // "quorvantic-installer" and holds nothing else.
    void removeEmptyStore() const;

private:
    std::optional<StoreLock> lock(std::chrono::steady_clock::time_point deadline,
                                  std::string &problem) const;
    void removeCreated(const PathComponents &components, std::size_t stood) const;

    std::string m_folder;
    uid_t m_owner;
    bool m_ownerLinks;
    std::chrono::milliseconds m_lockWait{30000};
};

} // namespace helper
