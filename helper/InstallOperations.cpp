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

OperationResult makeFolder(const Operation &operation, const Roots &roots)
{
    const SplitPath folder = splitPath(operation.first, true);
    if (!folder.ok)
        return failed(folder.problem);
    bool allowed = folder.components == roots.app;
    for (const PathComponents &linkFolder : roots.linkFolders)
        allowed = allowed || folder.components == linkFolder;
    if (!allowed)
        return failed("not an install folder: " + operation.first);
    const OpenedFolder made = openTrustedFolder(folder.components, true);
    return made.fd.valid() ? succeeded() : failed(made.problem);
}

OperationResult copyElement(const Operation &operation, const Roots &roots,
                            const std::function<bool()> &stopped)
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
    const CopyEnds ends{product.fd.get(),
                        from.back(),
                        joinPath(from, from.size()),
                        app.fd.get(),
                        joinPath(roots.app, roots.app.size()) + '/' + from.back(),
                        stopped};
    std::string problem;
    return copyElementTree(ends, problem) ? succeeded() : failed(problem);
}

OperationResult remove(const Operation &operation, const Roots &roots)
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
    return removeEntry(parent.fd.get(), path.components.back(), operation.first, problem)
               ? succeeded()
               : failed(problem);
}

OperationResult link(const Operation &operation, const Roots &roots)
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
    return replaceWithLink(parent.fd.get(), link.components.back(), operation.first,
                           operation.second, problem)
               ? succeeded()
               : failed(problem);
}

OperationResult writeText(const Operation &operation, const Roots &roots)
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
                               const std::function<bool()> &stopped)
{
    Roots prepared;
    std::string problem;
    if (!prepareRoots(roots, prepared, problem))
        return failed(problem);
    switch (operation.kind) {
    case OperationKind::makeFolder:
        return makeFolder(operation, prepared);
    case OperationKind::copyElement:
        return copyElement(operation, prepared, stopped);
    case OperationKind::remove:
        return remove(operation, prepared);
    case OperationKind::link:
        return link(operation, prepared);
    case OperationKind::writeText:
        return writeText(operation, prepared);
    case OperationKind::removeRecorded:
    case OperationKind::removeFolder: // only the receipts say what these may remove
        return failed("an uninstall operation needs the receipts: " + operation.first);
    }
    return failed("unknown operation");
}

} // namespace

OperationResult perform(const Operation &operation, const InstallRoots &roots,
                        const std::function<bool()> &stopped)
{
    try {
        return performChecked(operation, roots, stopped);
    } catch (...) { // only allocation can throw; the helper answers, never aborts
        return failed("out of memory");
    }
}

} // namespace helper
