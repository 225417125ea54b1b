#pragma once

#include "helper/Receipt.h"

#include <QList>
#include <QSet>
#include <QString>

// Compares what a receipt lists with what is on disk now, reading only.
namespace ReceiptCheck {

struct Finding
{
    enum class Kind
    {
        missing,
        changed,
        unexpected,
        unreadable,
    };
    Kind kind = Kind::missing;
    QString path;
    QString detail; // what changed: "contents", "points to X, not Y", ...

    // "missing: PATH", "changed: PATH (contents)", ...
    QString line() const;
};

// How an entry differs from what stands at its path now; empty when it does
// not. `digest` false skips reading file contents.
QString difference(const helper::ReceiptEntry &recorded, const helper::ReceiptEntry &now);

// Every difference between `receipt` and the disk, and what stands inside the
// folders it lists that no receipt (`recorded`, every receipt's paths) lists:
// anything in `appFolder` (a trailing "/" or not) or below, which only
// installs fill; elsewhere (the link folders, the user's data folders, which
// other vendors share) only a run's temporary. A temporary that a receipt
// lists is reported too: it was recorded by mistake and is nobody's.
QList<Finding> check(const helper::Receipt &receipt, const QSet<QString> &recorded,
                     const QString &appFolder);

} // namespace ReceiptCheck
