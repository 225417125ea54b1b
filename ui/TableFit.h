#pragma once

#include <QtGlobal>

class QTextDocument;

// Keeps the tables of a document within a width: a table whose columns are
// wider than the width is scaled to it, column widths kept in proportion, and
// gets its own widths back when the width allows them again.
namespace TableFit {

void fit(QTextDocument *document, qreal width);

} // namespace TableFit
