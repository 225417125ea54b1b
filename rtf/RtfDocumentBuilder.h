#pragma once

#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

class QTextDocument;
class QTextTable;

// Writes text, paragraphs and simple tables into a QTextDocument. Text is
// gathered while its format stays the same and inserted in runs.
class RtfDocumentBuilder
{
public:
    explicit RtfDocumentBuilder(QTextDocument *document);

    void appendText(const QString &text, const QTextCharFormat &format);
    // Ends the current paragraph with the formats it had at its end.
    void endParagraph(const QTextBlockFormat &format, const QTextCharFormat &markFormat);

    // Tables: the reader calls enterCell before anything that belongs to a
    // table paragraph, with the row's cell boundaries in twips.
    void enterCell(const QList<int> &cellBoundaries);
    void endCell(const QTextBlockFormat &format);
    void endRow();
    void leaveTable();
    bool inTable() const { return m_table != nullptr; }

    void finish(const QTextBlockFormat &format, const QTextCharFormat &markFormat);

    // Wider rows are folded into their last cell, tab-separated.
    static constexpr int maxColumns = 64;

private:
    void flush();

    QTextCursor m_cursor;
    QString m_pending;
    QTextCharFormat m_pendingFormat;
    QTextTable *m_table = nullptr;
    int m_row = 0;
    int m_column = 0;
    bool m_rowEnded = false;
};
