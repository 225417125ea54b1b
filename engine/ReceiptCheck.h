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

// Every difference between `receipt` and the disk, and anything inside the
// folders it lists that no receipt (`recorded`, every receipt's paths) lists.
QList<Finding> check(const helper::Receipt &receipt, const QSet<QString> &recorded);

} // namespace ReceiptCheck
