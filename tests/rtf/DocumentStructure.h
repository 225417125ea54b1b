#pragma once

#include <QRegularExpression>
#include <QSizeF>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

// What a reader sees of a document's layout, taken the same way from the
// reader's document and from a reference HTML file loaded into a
// QTextDocument: tables with their cells, pictures, and the words shown bold,
// italic or underlined.
struct DocumentStructure
{
    struct Cell
    {
        QString text; // blanks collapsed
        int columnSpan = 1;
        int rowSpan = 1;
    };
    using Row = QList<Cell>;
    using Table = QList<Row>;

    QList<Table> tables;
    QList<QSizeF> pictures;
    QStringList bold, italic, underlined;
};

inline QString collapsedText(const QString &text)
{
    QString simple = text;
    simple.remove(QChar::ObjectReplacementCharacter);
    simple.replace(QChar::Nbsp, QLatin1Char(' '));
    return simple.simplified();
}

inline QString cellText(const QTextTableCell &cell)
{
    QString text;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (it.currentBlock().isValid())
            text += it.currentBlock().text() + QLatin1Char(' ');
        else if (qobject_cast<QTextTable *>(it.currentFrame()))
            text += QStringLiteral("[nested] ");
    }
    return collapsedText(text);
}

inline void collectTables(QTextFrame *frame, QList<DocumentStructure::Table> &tables)
{
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            DocumentStructure::Table shape;
            for (int r = 0; r < table->rows(); ++r) {
                DocumentStructure::Row row;
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() == r && cell.column() == c)
                        row.append({cellText(cell), cell.columnSpan(), cell.rowSpan()});
                }
                shape.append(row);
            }
            tables.append(shape);
        }
        collectTables(child, tables);
    }
}

inline QStringList words(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return collapsedText(text).split(blanks, Qt::SkipEmptyParts);
}

inline DocumentStructure documentStructure(QTextDocument *document)
{
    DocumentStructure structure;
    collectTables(document->rootFrame(), structure.tables);
    // A list marker written as text (\pntext) is no word; in HTML it is the list's own.
    static const QRegularExpression marker(
        QStringLiteral("^(?:[\\x{2022}\\x{00B7}\\x{25AA}\\x{25CF}\\x{25E6}\\x{F0B7}o*-]"
                       "|\\(?(?:[0-9]{1,3}|[a-zA-Z]|[ivxlcIVXLC]{1,6})[.)])$"));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        bool first = true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const QTextImageFormat image = format.toImageFormat();
                for (qsizetype i = 0; i < fragment.length(); ++i)
                    structure.pictures.append(QSizeF(image.width(), image.height()));
                continue;
            }
            QStringList shown = words(fragment.text());
            if (first && !shown.isEmpty()) {
                first = false;
                if (marker.match(shown.first()).hasMatch())
                    shown.removeFirst();
            }
            if (format.fontWeight() >= QFont::DemiBold)
                structure.bold += shown;
            if (format.fontItalic())
                structure.italic += shown;
            if (format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline)
                structure.underlined += shown;
        }
    }
    return structure;
}
