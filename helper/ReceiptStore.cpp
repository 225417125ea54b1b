#include "helper/ReceiptStore.h"

#include "helper/SafePath.h"
#include "helper/TrustedWalk.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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
    text.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return true;
}

} // namespace

ReceiptStore::ReceiptStore(std::string folder, uid_t owner, bool ownerLinks)
    : m_folder(std::move(folder)), m_owner(owner), m_ownerLinks(ownerLinks)
{}

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
    if (!out.valid())
        return false;
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
