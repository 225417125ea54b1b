#include "ui/TableFit.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace {

// Where a table keeps the column widths it came with while it is scaled.
constexpr int ownWidthsProperty = QTextFormat::UserProperty + 0x5446;

void fitTable(QTextTable *table, qreal width)
{
    QTextTableFormat format = table->format();
    if (!format.hasProperty(ownWidthsProperty))
        format.setProperty(ownWidthsProperty, QVariant::fromValue(format.columnWidthConstraints()));
    const auto own = format.property(ownWidthsProperty).value<QList<QTextLength>>();
    qreal total = 0;
    for (const QTextLength &length : own) {
        if (length.type() != QTextLength::FixedLength)
            return; // only fixed widths can be too wide
        total += length.rawValue() + 2 * format.cellPadding();
    }
    total += 2 * (format.border() + format.margin() + format.padding());
    const bool scaled = format.width().type() == QTextLength::PercentageLength;
    if (total <= width && scaled) {
        format.setColumnWidthConstraints(own);
        format.clearProperty(QTextFormat::FrameWidth);
    } else if (total > width && !scaled && total > 0) {
        QList<QTextLength> shares;
        for (const QTextLength &length : own)
            shares.append(
                QTextLength(QTextLength::PercentageLength,
                            100.0 * (length.rawValue() + 2 * format.cellPadding()) / total));
        format.setColumnWidthConstraints(shares);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    } else if (format == table->format()) {
        return;
    }
    table->setFormat(format);
}

void fitFrames(QTextFrame *frame, qreal width)
{
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(child))
            fitTable(table, width);
        fitFrames(child, width);
    }
}

} // namespace

void TableFit::fit(QTextDocument *document, qreal width)
{
    const bool modified = document->isModified();
    fitFrames(document->rootFrame(), width);
    document->setModified(modified);
}
