#include "rtf/RtfTableWriter.h"

#include "rtf/RtfUnits.h"

#include <QTextCursor>
#include <QTextTable>

namespace {

constexpr int snapTwips = 30;          // right edges closer than this are one column edge
constexpr int defaultCellWidth = 1440; // for cells written beyond the row's definition

struct PlacedCell
{
    QList<const RtfCellContent *> contents; // its own, then those merged into it
    RtfCellDefinition definition;
    int right = 0;
    int column = 0, columnSpan = 1, rowSpan = 1;
    bool mergedUp = false; // part of the cell above
};

using PlacedRow = QList<PlacedCell>;

// The right edges of a row's cells: as written while they increase; a row
// whose edges go back (as some generators write them) shares its widest edge
// evenly, which keeps every cell readable.
QList<int> rightEdges(const RtfRowContent &row)
{
    const qsizetype count = row.cells.size();
    QList<int> edges;
    bool ordered = true;
    int widest = 0;
    for (qsizetype i = 0; i < count && i < row.format.cells.size(); ++i) {
        const int right = row.format.cells[i].right;
        ordered = ordered && right > (edges.isEmpty() ? 0 : edges.last());
        widest = std::max(widest, right);
        edges.append(right);
    }
    if (!ordered) {
        for (qsizetype i = 0; i < edges.size(); ++i)
            edges[i] = int(widest * (i + 1) / edges.size());
    }
    while (edges.size() < count) {
        const int width = edges.size() >= 2 ? edges.last() - edges[edges.size() - 2]
                          : edges.isEmpty() ? defaultCellWidth
                                            : edges.first();
        edges.append((edges.isEmpty() ? 0 : edges.last()) + width);
    }
    return edges;
}

// A row's cells with cells merged across folded into the cell they join.
PlacedRow placeRow(const RtfRowContent &row)
{
    const QList<int> edges = rightEdges(row);
    PlacedRow placed;
    for (qsizetype i = 0; i < row.cells.size(); ++i) {
        const RtfCellDefinition definition = row.format.cells.value(i);
        if (definition.merged && !placed.isEmpty()) {
            placed.last().right = edges[i];
            placed.last().contents.append(&row.cells[i]);
            continue;
        }
        PlacedCell cell;
        cell.contents.append(&row.cells[i]);
        cell.definition = definition;
        cell.right = edges[i];
        placed.append(cell);
    }
    return placed;
}

QList<int> columnEdges(const QList<PlacedRow> &rows)
{
    QList<int> all;
    for (const PlacedRow &row : rows) {
        for (const PlacedCell &cell : row)
            all.append(cell.right);
    }
    std::sort(all.begin(), all.end());
    QList<int> edges;
    for (const int edge : all) {
        if (edges.isEmpty() || edge - edges.last() >= snapTwips)
            edges.append(edge);
    }
    if (edges.size() > RtfTableWriter::maxColumns)
        edges.remove(RtfTableWriter::maxColumns - 1, edges.size() - RtfTableWriter::maxColumns);
    return edges;
}

// Gives each cell its columns; a cell with no column left joins the one before.
void assignColumns(PlacedRow &row, const QList<int> &edges)
{
    int next = 0;
    for (qsizetype i = 0; i < row.size(); ++i) {
        PlacedCell &cell = row[i];
        const auto found = std::lower_bound(edges.begin(), edges.end(), cell.right - snapTwips + 1);
        const int end = std::min(int(found - edges.begin()), int(edges.size()) - 1);
        if (end < next && i > 0) {
            row[i - 1].contents.append(cell.contents);
            row.removeAt(i--);
            continue;
        }
        cell.column = next;
        cell.columnSpan = std::max(end, next) - next + 1;
        next = cell.column + cell.columnSpan;
    }
}

// Cells marked as merged down join the cell above that covers the same columns.
void mergeDown(QList<PlacedRow> &rows)
{
    for (qsizetype r = 1; r < rows.size(); ++r) {
        for (PlacedCell &cell : rows[r]) {
            if (!cell.definition.verticalMerged)
                continue;
            for (qsizetype above = r - 1; above >= 0; --above) {
                const auto match = std::find_if(rows[above].begin(), rows[above].end(),
                                                [&cell](const PlacedCell &candidate) {
                                                    return candidate.column == cell.column &&
                                                           candidate.columnSpan == cell.columnSpan;
                                                });
                if (match == rows[above].end())
                    break;
                if (match->mergedUp)
                    continue;
                match->rowSpan = int(r - above) + 1;
                match->contents.append(cell.contents);
                cell.mergedUp = true;
                break;
            }
        }
    }
}

QTextFrameFormat::BorderStyle borderStyle(RtfCellBorder::Style style)
{
    switch (style) {
    case RtfCellBorder::doubleLine:
        return QTextFrameFormat::BorderStyle_Double;
    case RtfCellBorder::dotted:
        return QTextFrameFormat::BorderStyle_Dotted;
    case RtfCellBorder::dashed:
        return QTextFrameFormat::BorderStyle_Dashed;
    default:
        return QTextFrameFormat::BorderStyle_Solid;
    }
}

QTextTableCellFormat cellFormat(const RtfCellDefinition &definition)
{
    QTextTableCellFormat format;
    format.setPadding(3);
    for (int side = 0; side < 4; ++side) {
        const RtfCellBorder &border = definition.borders[side];
        const bool shown = border.style != RtfCellBorder::none;
        // A double line needs three pixels to show as two.
        const qreal minimum = border.style == RtfCellBorder::doubleLine ? 3 : 1;
        const qreal width = shown ? std::max(minimum, RtfUnits::twipsToPixels(border.width)) : 0;
        const QBrush brush(border.color.isValid() ? border.color : QColor(Qt::black));
        const QTextFrameFormat::BorderStyle style = borderStyle(border.style);
        if (side == 0) {
            format.setTopBorder(width), format.setTopBorderStyle(style);
            format.setTopBorderBrush(brush);
        } else if (side == 1) {
            format.setLeftBorder(width), format.setLeftBorderStyle(style);
            format.setLeftBorderBrush(brush);
        } else if (side == 2) {
            format.setBottomBorder(width), format.setBottomBorderStyle(style);
            format.setBottomBorderBrush(brush);
        } else {
            format.setRightBorder(width), format.setRightBorderStyle(style);
            format.setRightBorderBrush(brush);
        }
    }
    if (definition.shading.isValid())
        format.setBackground(definition.shading);
    if (definition.verticalAlignment == 1)
        format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    else if (definition.verticalAlignment == 2)
        format.setVerticalAlignment(QTextCharFormat::AlignBottom);
    return format;
}

void writeContent(QTextCursor &cursor, const QList<const RtfCellContent *> &contents)
{
    bool first = true;
    for (const RtfCellContent *content : contents) {
        // What merged-away cells hold follows the cell's own text, blank paragraphs left out.
        const bool own = content == contents.first();
        for (const RtfParagraphContent &paragraph : content->paragraphs) {
            if (!own && paragraph.isEmpty())
                continue;
            if (first) {
                // A cell's first block keeps its char format: it holds the cell's own.
                cursor.setBlockFormat(paragraph.format);
                first = false;
            } else {
                cursor.insertBlock(paragraph.format, paragraph.markFormat);
            }
            for (const auto &[text, format] : paragraph.runs)
                cursor.insertText(text, format);
        }
    }
}

QTextTableFormat tableFormat(const QList<int> &edges, int alignment)
{
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    format.setAlignment(alignment == 1   ? Qt::AlignHCenter
                        : alignment == 2 ? Qt::AlignRight
                                         : Qt::AlignLeft);
    QList<QTextLength> widths;
    int left = 0;
    for (const int edge : edges) {
        widths.append(QTextLength(QTextLength::FixedLength,
                                  RtfUnits::twipsToPixels(std::clamp(edge - left, 15, 31680))));
        left = edge;
    }
    format.setColumnWidthConstraints(widths);
    return format;
}

} // namespace

void RtfTableWriter::write(QTextCursor &cursor, const QList<RtfRowContent> &rows)
{
    QList<PlacedRow> placed;
    for (const RtfRowContent &row : rows) {
        if (!row.cells.isEmpty())
            placed.append(placeRow(row));
    }
    const QList<int> edges = columnEdges(placed);
    if (edges.isEmpty())
        return;
    for (PlacedRow &row : placed)
        assignColumns(row, edges);
    mergeDown(placed);

    QTextTable *table = cursor.insertTable(int(placed.size()), int(edges.size()),
                                           tableFormat(edges, rows.first().format.alignment));
    for (qsizetype r = 0; r < placed.size(); ++r) {
        for (const PlacedCell &cell : placed[r]) {
            if (cell.mergedUp)
                continue;
            if (cell.rowSpan > 1 || cell.columnSpan > 1)
                table->mergeCells(int(r), cell.column, cell.rowSpan, cell.columnSpan);
            table->cellAt(int(r), cell.column).setFormat(cellFormat(cell.definition));
            QTextCursor cellCursor = table->cellAt(int(r), cell.column).firstCursorPosition();
            writeContent(cellCursor, cell.contents);
        }
    }
    cursor.setPosition(table->lastPosition() + 1);
}
