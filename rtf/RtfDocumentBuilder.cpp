#include "rtf/RtfDocumentBuilder.h"

#include "rtf/RtfTableWriter.h"

#include <QTextBlock>
#include <QTextDocument>

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument *document) : m_cursor(document) {}

void RtfDocumentBuilder::appendText(const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
    if (m_inTable) {
        m_cell.appendText(text, format);
        return;
    }
    if (!m_pending.isEmpty() && !(format == m_pendingFormat))
        flush();
    if (m_pending.isEmpty())
        m_pendingFormat = format;
    m_pending += text;
}

void RtfDocumentBuilder::flush()
{
    if (m_pending.isEmpty())
        return;
    m_cursor.insertText(m_pending, m_pendingFormat);
    m_pending.clear();
}

void RtfDocumentBuilder::endParagraph(const QTextBlockFormat &format,
                                      const QTextCharFormat &markFormat)
{
    if (m_inTable) {
        m_cell.paragraphs.last().format = format;
        m_cell.paragraphs.last().markFormat = markFormat;
        m_cell.paragraphs.append(RtfParagraphContent());
        return;
    }
    flush();
    m_cursor.setBlockFormat(format);
    m_cursor.setBlockCharFormat(markFormat);
    m_cursor.insertBlock(format, markFormat);
}

void RtfDocumentBuilder::enterTable()
{
    if (m_inTable)
        return;
    flush();
    if (m_cursor.block().length() > 1)
        m_cursor.insertBlock();
    m_inTable = true;
}

void RtfDocumentBuilder::endCell(const QTextBlockFormat &format, const QTextCharFormat &markFormat)
{
    if (!m_inTable)
        return;
    m_cell.paragraphs.last().format = format;
    m_cell.paragraphs.last().markFormat = markFormat;
    m_rowCells.append(std::exchange(m_cell, RtfCellContent()));
}

void RtfDocumentBuilder::endRow(const RtfRowFormat &format)
{
    if (!m_inTable)
        return;
    // Text after the row's last \cell still belongs to the row.
    if (!m_cell.isEmpty())
        m_rowCells.append(std::exchange(m_cell, RtfCellContent()));
    if (m_rowCells.isEmpty())
        return;
    m_rows.append({std::exchange(m_rowCells, {}), format});
}

void RtfDocumentBuilder::leaveTable(const RtfRowFormat &format)
{
    if (!m_inTable)
        return;
    endRow(format); // a row cut short keeps its cells
    m_inTable = false;
    if (!m_rows.isEmpty())
        RtfTableWriter::write(m_cursor, std::exchange(m_rows, {}));
}

void RtfDocumentBuilder::finish(const QTextBlockFormat &format, const QTextCharFormat &markFormat,
                                const RtfRowFormat &rowFormat)
{
    flush();
    if (m_inTable) {
        leaveTable(rowFormat);
        return;
    }
    m_cursor.setBlockFormat(format);
    m_cursor.setBlockCharFormat(markFormat);
}
