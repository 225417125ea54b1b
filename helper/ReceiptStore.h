#pragma once

#include "helper/Receipt.h"

#include <map>
#include <string>
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

    // Every whole receipt, by product. A missing folder holds none; a receipt
    // that cannot be read or parsed is left out and named in `damaged` with why.
    bool load(std::map<std::string, Receipt> &receipts, std::vector<std::string> &damaged,
              std::string &problem) const;
    // Makes the folder (mode 0755) when missing; the file gets mode 0644.
    bool write(const Receipt &receipt, std::string &problem) const;
    // Missing is fine.
    bool remove(const std::string &product, std::string &problem) const;

private:
    void removeEmptyStore() const;

    std::string m_folder;
    uid_t m_owner;
    bool m_ownerLinks;
};

} // namespace helper
