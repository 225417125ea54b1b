#pragma once

#include "engine/ReceiptBook.h"

#include <QList>
#include <QHash>
#include <QString>
#include <QStringList>

// Turns receipts into the script that removes what they list, written like
// the install script: `rm -f` for each link and file, then `rmdir
// --ignore-fail-on-non-empty` for each folder, deepest first, then the
// system receipt; the system part with administrator privileges, the user
// part as the user. What no longer stands as recorded is left out and named
// in `kept`: a link that points elsewhere now, something of another type,
// and a file whose contents changed unless `force`. Missing paths are
// skipped. A path that a receipt of a product in `others` (those staying
// installed) also lists is left for the last of them: two bundles may carry an
// element of the same name. Reads the disk; runs nothing.
namespace UninstallComposer {

struct Composed
{
    QString script;
    QStringList kept; // "kept PATH: why", one a path
    int steps = 0;
};

Composed compose(const QList<InstalledProduct> &products, const QString &systemReceipts, bool force,
                 const QList<InstalledProduct> &others = {});

// The lines that remove what `installed` lists and `installScript` will not
// make again, in the same form; empty when there is nothing stale. Changed
// files and re-pointed links are kept, as by an uninstall, and so is what a
// receipt in `others` lists. `bundleElements` maps an installed element
// folder to the bundle's element it is copied from: what a copy of a folder's
// contents ("SOURCE/.") will make again is then what that element holds, so a
// file the new bundle dropped from it is stale too.
QString staleLines(const QList<InstalledProduct> &installed, const QString &installScript,
                   const QList<InstalledProduct> &others = {},
                   const QHash<QString, QString> &bundleElements = {});

// The products of `installed` that are not among `chosen`.
QList<InstalledProduct> othersThan(const QList<InstalledProduct> &installed,
                                   const QList<InstalledProduct> &chosen);

} // namespace UninstallComposer
