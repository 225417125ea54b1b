#include "DocumentStructure.h"
#include "rtf/RtfReader.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

// Tables and pictures as producers write them: cells without \intbl, merged
// cells both ways, \cellx out of order, nested tables, picture alternatives,
// metafiles and pictures too large to load.
class TestRtfTables : public QObject
{
    Q_OBJECT

private slots:
    void tables_data();
    void tables();
    void outOfOrderEdgesKeepTheRowsWidth();
    void cellFormats();
    void pictures_data();
    void pictures();
};

namespace {

QByteArray document(const QByteArray &body)
{
    return "{\\rtf1\\ansi{\\colortbl;\\red200\\green10\\blue10;}" + body + "}";
}

QTextTable *firstTable(QTextDocument &document)
{
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

// Rows as "cell | cell", a cell spanning n columns or rows marked (xn) or (vn).
QString shape(QTextDocument &document)
{
    const DocumentStructure structure = documentStructure(&document);
    QStringList tables;
    for (const DocumentStructure::Table &table : structure.tables) {
        QStringList rows;
        for (const DocumentStructure::Row &row : table) {
            QStringList cells;
            for (const DocumentStructure::Cell &cell : row) {
                QString text = cell.text;
                if (cell.columnSpan > 1)
                    text += QStringLiteral(" (x%1)").arg(cell.columnSpan);
                if (cell.rowSpan > 1)
                    text += QStringLiteral(" (v%1)").arg(cell.rowSpan);
                cells << text;
            }
            rows << cells.join(QStringLiteral(" | "));
        }
        tables << rows.join(QStringLiteral(" / "));
    }
    return tables.join(QStringLiteral(" // "));
}

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex();
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return hex(encoded(image, "PNG"));
}

} // namespace

void TestRtfTables::tables_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("text");

    QTest::newRow("cells without intbl")
        << QByteArray("before\\par\\trowd\\cellx2000\\cellx4000\\pard{A}\\cell\\pard{B}\\cell\\row"
                      "\\pard after")
        << "A | B"
        << "before\nA\nB\nafter";
    QTest::newRow("row definition repeated at the row's end")
        << QByteArray("\\pard\\intbl one\\cell two\\cell\\pard\\intbl{\\trowd\\cellx1000\\cellx2000"
                      "\\row}\\pard next")
        << "one | two"
        << "one\ntwo\nnext";
    QTest::newRow("merged across")
        << QByteArray("\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\cellx6000\\pard wide\\cell"
                      "\\cell c\\cell\\row\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard a\\cell "
                      "b\\cell c\\cell\\row\\pard")
        << "wide (x2) | c / a | b | c"
        << "wide\nc\na\nb\nc\n";
    QTest::newRow("wider cellx step spans")
        << QByteArray("\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard a\\cell b\\cell c\\cell\\row"
                      "\\trowd\\cellx4000\\cellx6000\\pard ab\\cell c\\cell\\row\\pard")
        << "a | b | c / ab (x2) | c"
        << "a\nb\nc\nab\nc\n";
    QTest::newRow("merged down")
        << QByteArray("\\trowd\\clvmgf\\cellx2000\\cellx4000\\pard top\\cell b\\cell\\row"
                      "\\trowd\\clvmrg\\cellx2000\\cellx4000\\pard\\cell d\\cell\\row"
                      "\\trowd\\cellx2000\\cellx4000\\pard e\\cell f\\cell\\row\\pard")
        << "top (v2) | b / d / e | f"
        << "top\nb\nd\ne\nf\n";
    QTest::newRow("text in a merged-away cell is kept")
        << QByteArray("\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\pard one\\cell two\\cell\\row"
                      "\\pard")
        << "one two" // one cell as wide as the row: one column
        << "one\ntwo\n";
    QTest::newRow("nested table read flat")
        << QByteArray("\\trowd\\cellx3000\\cellx6000\\pard\\intbl outer\\par\\itap2 n1\\nestcell "
                      "n2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
                      "{\\nonesttables\\par}\\itap1 tail\\cell last\\cell\\row\\pard")
        << "outer n1 n2 tail | last"
        << "outer\nn1\nn2\ntail\nlast\n";
    QTest::newRow("more cells than the definition")
        << QByteArray("\\trowd\\cellx1500\\pard\\intbl a\\cell b\\cell\\row\\pard") << "a | b"
        << "a\nb\n";
    QTest::newRow("row never ended")
        << QByteArray("\\trowd\\cellx1500\\cellx3000\\pard\\intbl a\\cell b") << "a | b"
        << "a\nb";
}

void TestRtfTables::tables()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    QFETCH(QString, text);
    QTextDocument read;
    QVERIFY(RtfReader::read(document(body), &read).ok);
    QCOMPARE(shape(read), expected);
    // Every paragraph in its order, in cells or not; a table's frame shows as
    // a line break in plain text, so blank lines are left out.
    QCOMPARE(read.toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             text.split(QLatin1Char('\n'), Qt::SkipEmptyParts));
}

void TestRtfTables::outOfOrderEdgesKeepTheRowsWidth()
{
    QTextDocument read;
    QVERIFY(RtfReader::read(document("\\trowd\\cellx2880\\cellx576\\cellx8640\\pard\\intbl a\\cell "
                                     "b\\cell c\\cell\\row\\pard"),
                            &read)
                .ok);
    QCOMPARE(shape(read), QStringLiteral("a | b | c"));
    const QList<QTextLength> widths = firstTable(read)->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 3);
    qreal total = 0;
    for (const QTextLength &width : widths) {
        QCOMPARE(width.rawValue(), 8640 / 15.0 / 3);
        total += width.rawValue();
    }
    QCOMPARE(total, 8640 / 15.0); // never wider than the widest edge written
}

void TestRtfTables::cellFormats()
{
    QTextDocument read;
    QVERIFY(RtfReader::read(document("\\trowd\\clvertalc\\clcbpat1\\clbrdrb\\brdrs\\brdrw30"
                                     "\\brdrcf1\\cellx2000\\clvertalb\\cellx4000\\pard\\intbl a"
                                     "\\cell b\\cell\\row\\pard"),
                            &read)
                .ok);
    QTextTable *table = firstTable(read);
    QVERIFY(table);
    const QTextTableCellFormat first = table->cellAt(0, 0).format().toTableCellFormat();
    QCOMPARE(first.verticalAlignment(), QTextCharFormat::AlignMiddle);
    QCOMPARE(first.background().color(), QColor(200, 10, 10));
    QCOMPARE(first.bottomBorder(), 2.0);
    QCOMPARE(first.bottomBorderBrush().color(), QColor(200, 10, 10));
    QCOMPARE(first.topBorder(), 0.0);
    const QTextTableCellFormat second = table->cellAt(0, 1).format().toTableCellFormat();
    QCOMPARE(second.verticalAlignment(), QTextCharFormat::AlignBottom);
    QCOMPARE(second.bottomBorder(), 0.0);
}

void TestRtfTables::pictures_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<QSizeF>>("sizes");
    QTest::addColumn<QString>("mimeType");

    const QByteArray small = png(40, 20);
    QImage photo(30, 30, QImage::Format_RGB32);
    photo.fill(Qt::yellow);
    const QByteArray jpeg = hex(encoded(photo, "JPEG"));

    QTest::newRow("png at its goal, scaled") << "a{"
                                                "\\pict\\pngblip\\picw40\\pich20\\picwgoal1440\\pic"
                                                "hgoal720\\picscalex50\\picscaley200 " +
                                                    small + "}b"
                                             << QList<QSizeF>{{48, 96}} << "image/png";
    QTest::newRow("jpeg at its own size")
        << "{\\pict\\jpegblip " + jpeg + "}" << QList<QSizeF>{{30, 30}} << "image/jpeg";
    QTest::newRow("binary data") << "{\\pict\\pngblip\\bin" +
                                        QByteArray::number(QByteArray::fromHex(small).size()) +
                                        " " + QByteArray::fromHex(small) + "}"
                                 << QList<QSizeF>{{40, 20}} << "image/png";
    QTest::newRow("shape picture and its alternative show once")
        << "{\\*\\shppict{\\pict\\pngblip " + small + "}}{\\nonshppict{\\pict\\wmetafile8 00}}"
        << QList<QSizeF>{{40, 20}} << "image/png";
    QTest::newRow("alternative alone shows") << "{\\nonshppict{\\pict\\pngblip " + small + "}}"
                                             << QList<QSizeF>{{40, 20}} << "image/png";
    QTest::newRow("metafile keeps its space empty")
        << QByteArray("{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 0102}")
        << QList<QSizeF>{{96, 48}} << "image/png";
    QTest::newRow("damaged data is left out")
        << QByteArray("{\\pict\\pngblip 89504e470d0a1a0a0000}") << QList<QSizeF>() << "";
    QTest::newRow("within the decoded limit") << "{\\pict\\pngblip " + png(2000, 2000) + "}"
                                              << QList<QSizeF>{{2000, 2000}} << "image/png";
    QTest::newRow("over the decoded limit")
        << "{\\pict\\pngblip " + png(2600, 2600) + "}" << QList<QSizeF>() << "";
    QTest::newRow("in a table cell")
        << "\\trowd\\cellx2000\\pard\\intbl{\\pict\\pngblip " + small + "}\\cell\\row\\pard"
        << QList<QSizeF>{{40, 20}} << "image/png";
}

void TestRtfTables::pictures()
{
    QFETCH(QByteArray, body);
    QFETCH(QList<QSizeF>, sizes);
    QFETCH(QString, mimeType);
    QTextDocument read;
    QVERIFY(RtfReader::read(document(body), &read).ok);
    QCOMPARE(documentStructure(&read).pictures, sizes);
    QVERIFY(!read.toPlainText().contains(QLatin1Char('0'))); // picture data is not text
    if (sizes.isEmpty())
        return;
    const QTextCursor found = read.find(QString(QChar::ObjectReplacementCharacter));
    QTextCursor cursor(found);
    cursor.setPosition(found.selectionEnd());
    const QTextImageFormat image = cursor.charFormat().toImageFormat();
    QVERIFY(image.name().startsWith(QStringLiteral("data:") + mimeType + QLatin1Char(';')));
    // What the view will draw: the picture itself, or a transparent space.
    const QVariant resource = read.resource(QTextDocument::ImageResource, QUrl(image.name()));
    QVERIFY(resource.isValid());
}

QTEST_MAIN(TestRtfTables)
#include "tst_rtftables.moc"
