#pragma once

#include "rtf/RtfTableContent.h"

#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

class QTextDocument;

// Writes text, paragraphs and tables into a QTextDocument. Text is gathered
// while its format stays the same and inserted in runs. A table's text is
// kept until the table ends, when its shape is known, and laid out then.
class RtfDocumentBuilder
{
public:
    explicit RtfDocumentBuilder(QTextDocument *document);

    void appendText(const QString &text, const QTextCharFormat &format);
    // Ends the current paragraph with the formats it had at its end.
    void endParagraph(const QTextBlockFormat &format, const QTextCharFormat &markFormat);

    // Tables: the reader calls enterTable before anything that belongs to a
    // table, and leaveTable before anything after it, with the row definition
    // for a row that was never ended.
    void enterTable();
    void endCell(const QTextBlockFormat &format, const QTextCharFormat &markFormat);
    void endRow(const RtfRowFormat &format);
    void leaveTable(const RtfRowFormat &format);
    bool inTable() const { return m_inTable; }

    void finish(const QTextBlockFormat &format, const QTextCharFormat &markFormat,
                const RtfRowFormat &rowFormat);

private:
    void flush();

    QTextCursor m_cursor;
    QString m_pending;
    QTextCharFormat m_pendingFormat;

    bool m_inTable = false;
    QList<RtfRowContent> m_rows;
    QList<RtfCellContent> m_rowCells; // the cells of the row not yet ended
    RtfCellContent m_cell;
};
