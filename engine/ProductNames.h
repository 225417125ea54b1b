#pragma once

#include "core/AppSettings.h"

#include <QStringList>

namespace ProductNames {

// The folder's own name: the last component of the path, without a trailing
// separator, as the file system shows it.
QString nameOf(const QString &folder);

// Orders by the Unicode scalar values of the canonically composed forms:
// case-sensitive, and canonically equivalent names compare equal.
bool lessThan(const QString &a, const QString &b);

// The names of the selected products, in that order; a stable sort.
QStringList selectedSorted(const ProductMap &products);

// The product whose element (element name -> product name) a command of the
// install script names as a path component; empty when it names none.
QString productNamedIn(const QList<QPair<QString, QString>> &elementProducts,
                       const QString &command);

} // namespace ProductNames
