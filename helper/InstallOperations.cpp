#include "helper/InstallOperations.h"

#include "helper/ElementCopy.h"
#include "helper/SafePath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace helper {

namespace {

struct Roots
{
    PathComponents products;
    PathComponents app;
    std::vector<PathComponents> linkFolders;
};

OperationResult failed(std::string message)
{
    return {false, std::move(message)};
}

OperationResult succeeded()
{
    return {true, {}};
}

bool prepareRoots(const InstallRoots &given, Roots &roots, std::string &problem)
{
    auto root = [&problem](const std::string &path, PathComponents &into) {
        SplitPath split = splitPath(path, true);
        if (!split.ok || split.components.empty()) {
            problem = "not a usable install folder: \"" + path + '"';
            return false;
        }
        into = std::move(split.components);
        return true;
    };
    if (!root(given.products, roots.products) || !root(given.app, roots.app))
        return false;
    for (const std::string &folder : given.linkFolders) {
        if (!root(folder, roots.linkFolders.emplace_back()))
            return false;
    }
    return true;
}

// The deepest of `folders` that `path` lies strictly inside; null when none does.
const PathComponents *holder(const PathComponents &path,
                             const std::vector<const PathComponents *> &folders)
{
    const PathComponents *found = nullptr;
    for (const PathComponents *folder : folders) {
        if (startsWith(path, *folder, true) && (!found || folder->size() > found->size()))
            found = folder;
    }
    return found;
}

std::vector<const PathComponents *> linkFoldersOf(const Roots &roots)
{
    std::vector<const PathComponents *> folders;
    for (const PathComponents &folder : roots.linkFolders)
        folders.push_back(&folder);
    return folders;
}

// Opens the folder holding the last component of `path`: `root` by the trusted
// walk, then down to the parent following no link.
OpenedFolder openParent(const PathComponents &root, const PathComponents &path,
                        std::string_view linkRefusal)
{
    OpenedFolder base = openTrustedFolder(root, false);
    if (!base.fd.valid())
        return base;
    return descendFolder(std::move(base.fd), path, root.size(), path.size() - 1, linkRefusal);
}

// Keeps what stands at `path` to put it back, unless it is a folder, which
// the operation then refuses itself.
bool keepUnlessFolder(int parentFd, const PathComponents &path, Transaction &undo,
                      std::string &problem)
{
    struct stat status = {};
    if (::fstatat(parentFd, path.back().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(status.st_mode))
        return true;
    return undo.keep(parentFd, joinPath(path, path.size() - 1), path.back(), problem);
}

// Records each folder of `folder` that is missing before it is made.
bool recordMissingFolders(const PathComponents &folder, Transaction &undo, std::string &problem)
{
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        const PathComponents above(folder.begin(), folder.begin() + long(i - 1));
        const OpenedFolder parent = openTrustedFolder(above, false);
        if (!parent.fd.valid()) {
            problem = parent.problem;
            return false;
        }
        struct stat status = {};
        if (::fstatat(parent.fd.get(), folder[i - 1].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        if (!undo.willMakeFolder(parent.fd.get(), joinPath(above, above.size()), folder[i - 1],
                                 problem))
            return false;
        const PathComponents made(folder.begin(), folder.begin() + long(i));
        const OpenedFolder created = openTrustedFolder(made, true);
        if (!created.fd.valid()) {
            problem = created.problem;
            return false;
        }
    }
    return true;
}

OperationResult makeFolder(const Operation &operation, const Roots &roots, Transaction *undo)
{
    const SplitPath folder = splitPath(operation.first, true);
    if (!folder.ok)
        return failed(folder.problem);
    bool allowed = folder.components == roots.app;
    for (const PathComponents &linkFolder : roots.linkFolders)
        allowed = allowed || folder.components == linkFolder;
    if (!allowed)
        return failed("not an install folder: " + operation.first);
    std::string problem;
    if (undo && !recordMissingFolders(folder.components, *undo, problem))
        return failed(problem);
    const OpenedFolder made = openTrustedFolder(folder.components, true);
    return made.fd.valid() ? succeeded() : failed(made.problem);
}

OperationResult copyElement(const Operation &operation, const Roots &roots,
                            const std::function<bool()> &stopped, Transaction *undo,
                            FileDigests *digests)
{
    const SplitPath source = splitPath(operation.first, false);
    const SplitPath destination = splitPath(operation.second, true);
    if (!source.ok || !destination.ok)
        return failed(source.ok ? destination.problem : source.problem);
    const PathComponents &from = source.components;
    if (!startsWith(from, roots.products, true) || from.size() != roots.products.size() + 2)
        return failed("not an element of the bundle's products: " + operation.first);
    if (destination.components != roots.app)
        return failed("copy destination is not the app folder: " + operation.second);

    const OpenedFolder product =
        openParent(roots.products, from, "refusing to read through a link:");
    if (!product.fd.valid())
        return failed(product.problem);
    const OpenedFolder app = openTrustedFolder(roots.app, false);
    if (!app.fd.valid())
        return failed(app.problem);
    const std::string appPath = joinPath(roots.app, roots.app.size());
    CopyEnds ends;
    ends.sourceFolderFd = product.fd.get();
    ends.elementName = from.back();
    ends.sourcePath = joinPath(from, from.size());
    ends.destinationFolderFd = app.fd.get();
    ends.destinationPath = appPath + '/' + from.back();
    ends.stopped = stopped;
    ends.digests = digests;
    std::string problem;
    if (undo) {
        // Built beside its place and swapped in: a host sees the old element or the new one.
        ends.destinationName = undo->stage(app.fd.get(), appPath, problem);
        if (ends.destinationName.empty())
            return failed(problem);
    }
    if (!copyElementTree(ends, problem))
        return failed(problem);
    if (undo && !undo->swapIn(app.fd.get(), appPath, ends.destinationName, from.back(), problem))
        return failed(problem);
    return succeeded();
}

OperationResult remove(const Operation &operation, const Roots &roots, Transaction *undo)
{
    const SplitPath path = splitPath(operation.first, false);
    if (!path.ok)
        return failed(path.problem);
    std::vector<const PathComponents *> folders = linkFoldersOf(roots);
    folders.push_back(&roots.app);
    const PathComponents *root = holder(path.components, folders);
    if (!root)
        return failed("not inside an install folder: " + operation.first);
    const OpenedFolder parent =
        openParent(*root, path.components, "refusing to remove through a link:");
    if (!parent.fd.valid()) // nothing there is nothing to remove
        return parent.missing ? succeeded() : failed(parent.problem);
    std::string problem;
    const bool removed =
        undo ? undo->moveAside(parent.fd.get(),
                               joinPath(path.components, path.components.size() - 1),
                               path.components.back(), problem)
             : removeEntry(parent.fd.get(), path.components.back(), operation.first, problem);
    return removed ? succeeded() : failed(problem);
}

OperationResult link(const Operation &operation, const Roots &roots, Transaction *undo)
{
    const SplitPath target = splitPath(operation.first, false);
    const SplitPath link = splitPath(operation.second, false);
    if (!target.ok || !link.ok)
        return failed(target.ok ? link.problem : target.problem);
    if (!startsWith(target.components, roots.app, true))
        return failed("link target is not inside the app folder: " + operation.first);
    const PathComponents *root = holder(link.components, linkFoldersOf(roots));
    if (!root)
        return failed("link is not inside a plug-in folder: " + operation.second);
    const OpenedFolder parent =
        openParent(*root, link.components, "refusing to place a link through a link:");
    if (!parent.fd.valid())
        return failed(parent.problem);
    std::string problem;
    const PathComponents &at = link.components;
    if (undo && !keepUnlessFolder(parent.fd.get(), at, *undo, problem))
        return failed(problem);
    return replaceWithLink(parent.fd.get(), at.back(), operation.first, operation.second, problem)
               ? succeeded()
               : failed(problem);
}

OperationResult writeText(const Operation &operation, const Roots &roots, Transaction *undo)
{
    const SplitPath file = splitPath(operation.second, false);
    if (!file.ok)
        return failed(file.problem);
    const PathComponents &path = file.components;
    if (!startsWith(path, roots.app, true))
        return failed("not inside the app folder: " + operation.second);
    const OpenedFolder parent = openParent(roots.app, path, "refusing to write through a link:");
    // The folder's problem alone would not say which file was being written.
    if (!parent.fd.valid())
        return failed("cannot write " + operation.second + ": " + parent.problem);

    const int folder = parent.fd.get();
    const std::string &name = path.back();
    struct stat status = {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(status.st_mode))
        return failed("refusing to write to " + operation.second + ": it is " +
                      describeType(status.st_mode));
    std::string problem;
    if (undo && !keepUnlessFolder(folder, path, *undo, problem))
        return failed(problem);
    std::string temporary;
    UniqueFd out =
        createTemporaryFile(folder, joinPath(path, path.size() - 1), 0644, temporary, problem);
    if (!out.valid())
        return failed(problem);
    const bool written = writeAll(out.get(), operation.first);
    if (!out.close() || !written) {
        problem = failure("cannot write", operation.second);
    } else if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        problem = failure("cannot replace", operation.second);
    } else {
        return succeeded();
    }
    ::unlinkat(folder, temporary.c_str(), 0);
    return failed(problem);
}

OperationResult performChecked(const Operation &operation, const InstallRoots &roots,
                               const std::function<bool()> &stopped, Transaction *undo,
                               FileDigests *digests)
{
    Roots prepared;
    std::string problem;
    if (!prepareRoots(roots, prepared, problem))
        return failed(problem);
    switch (operation.kind) {
    case OperationKind::makeFolder:
        return makeFolder(operation, prepared, undo);
    case OperationKind::copyElement:
        return copyElement(operation, prepared, stopped, undo, digests);
    case OperationKind::remove:
        return remove(operation, prepared, undo);
    case OperationKind::link:
        return link(operation, prepared, undo);
    case OperationKind::writeText:
        return writeText(operation, prepared, undo);
    case OperationKind::removeRecorded:
    case OperationKind::removeFolder: // only the receipts say what these may remove
        return failed("an uninstall operation needs the receipts: " + operation.first);
    case OperationKind::nothing:
        return succeeded();
    }
    return failed("unknown operation");
}

} // namespace

OperationResult perform(const Operation &operation, const InstallRoots &roots,
                        const std::function<bool()> &stopped, Transaction *undo,
                        FileDigests *digests)
{
    try {
        return performChecked(operation, roots, stopped, undo, digests);
    } catch (...) { // only allocation can throw; the helper answers, never aborts
        return failed("out of memory");
    }
}

} // namespace helper
