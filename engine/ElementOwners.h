#pragma once

#include <QString>
#include <QStringList>

// Every element folder is copied into the one app folder under its own name,
// so two products carrying an element of the same name would merge there, and
// taking one away would take the other's files with it.
namespace ElementOwners {

// Why `elements` (paths ".../<product>/<element>", in product order) cannot
// be installed together: the first element name that more than one product
// holds, with those products named. Names are compared as the file system
// does, exactly; empty when every name belongs to one product.
QString sharedNameProblem(const QStringList &elements);

} // namespace ElementOwners
