#include "PlainText.h"
#include "rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QTextDocument>
#include <QtTest>

// Every RTF file of the shared corpus reads to the text of its reference.
class TestRtfCorpus : public QObject
{
    Q_OBJECT

private slots:
    void matchesReference_data();
    void matchesReference();
};

namespace {

QString corpusFolder()
{
    return QStringLiteral(QUORVANTIC_SHARED_DIR "/testdata/rtf");
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestRtfCorpus::matchesReference_data()
{
    QTest::addColumn<QString>("rtfPath");
    QTest::addColumn<QString>("referencePath");
    const QDir folder(corpusFolder());
    const QStringList names = folder.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), qPrintable(QStringLiteral("no corpus in ") + corpusFolder()));
    for (const QString &name : names) {
        const QString stem = name.chopped(4);
        QTest::newRow(qPrintable(stem))
            << folder.filePath(name)
            << folder.filePath(QStringLiteral("reference/") + stem + ".txt");
    }
}

void TestRtfCorpus::matchesReference()
{
    QFETCH(QString, rtfPath);
    QFETCH(QString, referencePath);
    QVERIFY2(QFile::exists(referencePath), qPrintable(referencePath));

    QTextDocument document;
    const RtfReadResult result = RtfReader::read(contents(rtfPath), &document);
    QVERIFY2(result.ok, qPrintable(result.message));

    const QStringList actual = normalisedLines(document.toPlainText());
    const QStringList expected = normalisedLines(QString::fromUtf8(contents(referencePath)));
    for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("line %1 differs:\n  read:      %2\n  reference: %3")
                                 .arg(i + 1)
                                 .arg(actual[i], expected[i])));
    }
    QCOMPARE(actual.size(), expected.size());
}

QTEST_GUILESS_MAIN(TestRtfCorpus)
#include "tst_rtfcorpus.moc"
