#pragma once

#include "rtf/RtfTableContent.h"

class QTextCursor;

// Lays a table that has been read into the document at the cursor, which is
// left after it. Columns come from the cells' right edges in all rows, so a
// cell as wide as two columns spans them; \clmgf/\clmrg and \clvmgf/\clvmrg
// merge cells across and down. Text of a merged-away cell joins the cell it
// merges into; no text is dropped.
namespace RtfTableWriter {

void write(QTextCursor &cursor, const QList<RtfRowContent> &rows);

inline constexpr int maxColumns = 64;

} // namespace RtfTableWriter
