#include "rtf/RtfDocumentBuilder.h"

#include "rtf/RtfUnits.h"

#include <QTextDocument>
#include <QTextTable>

using RtfUnits::twipsToPixels;

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument *document) : m_cursor(document) {}

void RtfDocumentBuilder::appendText(const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
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
    flush();
    m_cursor.setBlockFormat(format);
    m_cursor.setBlockCharFormat(markFormat);
    m_cursor.insertBlock(format, markFormat);
}

void RtfDocumentBuilder::enterCell(const QList<int> &cellBoundaries)
{
    if (m_table) {
        if (m_rowEnded) {
            flush();
            m_table->appendRows(1);
            ++m_row;
            m_column = 0;
            m_rowEnded = false;
            m_cursor = m_table->cellAt(m_row, 0).firstCursorPosition();
        }
        if (m_column >= m_table->columns()) {
            flush();
            if (m_table->columns() < maxColumns) {
                m_table->appendColumns(1);
                m_cursor = m_table->cellAt(m_row, m_column).firstCursorPosition();
            } else {
                m_column = m_table->columns() - 1;
                m_cursor = m_table->cellAt(m_row, m_column).lastCursorPosition();
                m_cursor.insertText(QStringLiteral("\t"));
            }
        }
        return;
    }

    flush();
    if (m_cursor.block().length() > 1)
        m_cursor.insertBlock();
    const int columns = std::clamp(int(cellBoundaries.size()), 1, maxColumns);
    QTextTableFormat format;
    format.setBorder(1);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(160, 160, 160));
    format.setBorderCollapse(true);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    QList<QTextLength> widths;
    int left = 0;
    for (int i = 0; i < columns && i < cellBoundaries.size(); ++i) {
        const int width = std::clamp(cellBoundaries[i] - left, 15, RtfUnits::maxTwips);
        widths.append(QTextLength(QTextLength::FixedLength, twipsToPixels(width)));
        left = cellBoundaries[i];
    }
    if (widths.size() == columns)
        format.setColumnWidthConstraints(widths);
    m_table = m_cursor.insertTable(1, columns, format);
    m_row = 0;
    m_column = 0;
    m_rowEnded = false;
    m_cursor = m_table->cellAt(0, 0).firstCursorPosition();
}

void RtfDocumentBuilder::endCell(const QTextBlockFormat &format)
{
    if (!m_table)
        return;
    flush();
    m_cursor.setBlockFormat(format);
    ++m_column;
    if (m_column < m_table->columns())
        m_cursor = m_table->cellAt(m_row, m_column).firstCursorPosition();
}

void RtfDocumentBuilder::endRow()
{
    if (!m_table)
        return;
    flush();
    m_rowEnded = true;
}

void RtfDocumentBuilder::leaveTable()
{
    if (!m_table)
        return;
    flush();
    m_cursor.setPosition(m_table->lastPosition() + 1);
    m_table = nullptr;
}

void RtfDocumentBuilder::finish(const QTextBlockFormat &format, const QTextCharFormat &markFormat)
{
    flush();
    if (m_table) {
        leaveTable();
        return;
    }
    m_cursor.setBlockFormat(format);
    m_cursor.setBlockCharFormat(markFormat);
}
