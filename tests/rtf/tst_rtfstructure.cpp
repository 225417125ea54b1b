#include "DocumentStructure.h"
#include "rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// Every file of the shared corpus, tables included, against the structure of
// its reference HTML: tables, rows, cells and their text, which cells span,
// the pictures and their sizes, and the bold, italic and underlined words.
class TestRtfStructure : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data();
    void matchesReference();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describe(const DocumentStructure::Table &table)
{
    QStringList rows;
    for (const DocumentStructure::Row &row : table) {
        QStringList cells;
        for (const DocumentStructure::Cell &cell : row)
            cells << (cell.columnSpan > 1
                          ? QStringLiteral("%1 (x%2)").arg(cell.text).arg(cell.columnSpan)
                          : cell.text);
        rows << cells.join(QStringLiteral(" | "));
    }
    return rows.join(QLatin1Char('\n'));
}

// The first difference between two word lists, or an empty string.
QString firstDifference(const QStringList &read, const QStringList &reference)
{
    for (qsizetype i = 0; i < std::max(read.size(), reference.size()); ++i) {
        if (read.value(i) != reference.value(i))
            return QStringLiteral("word %1: read \"%2\", reference \"%3\" (%4 against %5 words)")
                .arg(i)
                .arg(read.value(i), reference.value(i))
                .arg(read.size())
                .arg(reference.size());
    }
    return QString();
}

} // namespace

void TestRtfStructure::matchesReference_data()
{
    QTest::addColumn<QString>("rtfPath");
    QTest::addColumn<QString>("htmlPath");
    for (const char *name : {"rtf", "rtf-tables"}) {
        const QDir folder(QStringLiteral(QUORVANTIC_SHARED_DIR "/testdata/") + QLatin1String(name));
        const QStringList files =
            folder.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), qPrintable(folder.path()));
        for (const QString &file : files) {
            const QString stem = file.chopped(4);
            QTest::newRow(qPrintable(stem))
                << folder.filePath(file)
                << folder.filePath(QStringLiteral("reference/html/") + stem + ".html");
        }
    }
}

void TestRtfStructure::matchesReference()
{
    QFETCH(QString, rtfPath);
    QFETCH(QString, htmlPath);
    QVERIFY2(QFile::exists(htmlPath), qPrintable(htmlPath));

    QTextDocument read;
    QVERIFY(RtfReader::read(contents(rtfPath), &read).ok);
    QTextDocument reference;
    reference.setHtml(QString::fromUtf8(contents(htmlPath)));
    const DocumentStructure actual = documentStructure(&read);
    const DocumentStructure expected = documentStructure(&reference);

    QCOMPARE(actual.tables.size(), expected.tables.size());
    for (qsizetype t = 0; t < actual.tables.size(); ++t) {
        const QString shapes = QStringLiteral("table %1 read:\n%2\nreference:\n%3")
                                   .arg(t)
                                   .arg(describe(actual.tables[t]), describe(expected.tables[t]));
        QVERIFY2(describe(actual.tables[t]) == describe(expected.tables[t]), qPrintable(shapes));
    }

    QCOMPARE(actual.pictures.size(), expected.pictures.size());
    for (qsizetype i = 0; i < actual.pictures.size(); ++i) {
        const QSizeF a = actual.pictures[i];
        const QSizeF e = expected.pictures[i];
        QVERIFY2(qAbs(a.width() - e.width()) <= e.width() / 10 &&
                     qAbs(a.height() - e.height()) <= e.height() / 10,
                 qPrintable(QStringLiteral("picture %1: %2x%3 against %4x%5")
                                .arg(i)
                                .arg(a.width())
                                .arg(a.height())
                                .arg(e.width())
                                .arg(e.height())));
    }

    const QString bold = firstDifference(actual.bold, expected.bold);
    QVERIFY2(bold.isEmpty(), qPrintable(QStringLiteral("bold ") + bold));
    const QString italic = firstDifference(actual.italic, expected.italic);
    QVERIFY2(italic.isEmpty(), qPrintable(QStringLiteral("italic ") + italic));
    const QString underlined = firstDifference(actual.underlined, expected.underlined);
    QVERIFY2(underlined.isEmpty(), qPrintable(QStringLiteral("underlined ") + underlined));
}

QTEST_MAIN(TestRtfStructure)
#include "tst_rtfstructure.moc"
