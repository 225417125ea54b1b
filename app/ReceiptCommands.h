#pragma once

#include <QStringList>

// The command line's view of the receipts: what is installed, whether it is
// still as installed, and taking it away again. Each returns the process's
// exit status (CommandLine's), printing results to standard output and
// problems to standard error.
namespace ReceiptCommands {

// One line a product: name, version, when, from which bundle; or JSON.
int listInstalled(bool json);

// 0 when every recorded path of `products` (all when empty) is as installed.
int verify(const QStringList &products);

struct UninstallOptions
{
    QStringList products; // all installed ones when empty
    bool yes = false;     // no question asked
    bool force = false;   // changed files go too
    bool printOnly = false;
};
int uninstall(const UninstallOptions &options);

} // namespace ReceiptCommands
