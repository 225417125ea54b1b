#pragma once

#include "helper/ElementCopy.h"
#include "helper/InstallCommand.h"
#include "helper/Transaction.h"

#include <functional>
#include <string>
#include <vector>

// Performs the install's operations as root: with no shell, only inside the
// install folders, and without following a link that a user or a bundle
// controls. The install folders themselves are reached from "/" following
// only links that belong to root; below them no link is followed at all.
namespace helper {

struct InstallRoots
{
    std::string products;                 // the bundle's Products folder, absolute, no trailing "/"
    std::string app;                      // where elements are copied, e.g. "/opt/Quorvantic/"
    std::vector<std::string> linkFolders; // where links go, each ending "/"
};

struct OperationResult
{
    bool ok = false;
    std::string message; // why it failed, one line, naming the path
};

// makeFolder: the app folder or a link folder, made like mkdir -p (mode 0755).
// copyElement: PRODUCTS/<product>/<element> into the app folder, merged.
// remove: a path strictly inside the app folder or a link folder, like rm -R -f.
// link: a link strictly inside a link folder to a path strictly inside the app
// folder, replacing a file or link there (never a folder).
// writeText: a file strictly inside the app folder, replaced whole (mode 0644).
// Operand paths are absolute with no empty, "." or ".." component; DIR and
// DEST may end with one "/".
// `stopped`, when given, is asked between the files of a copy: true ends it.
// With `undo`, every change can be undone: what is replaced or removed is
// kept aside and a copied element is built under a staging name, then
// swapped in whole; without it, a copy merges into the element that stands.
// With `digests`, a copy fills them with what it wrote.
OperationResult perform(const Operation &operation, const InstallRoots &roots,
                        const std::function<bool()> &stopped = {}, Transaction *undo = nullptr,
                        FileDigests *digests = nullptr);

} // namespace helper
