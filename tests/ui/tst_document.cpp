#include "../common/CapturedStdout.h"
#include "engine/Resources.h"
#include "ui/Document.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

// Loading the licence: where it is looked for, what is printed when it cannot
// be had, and that data changes once, announced, only on success.
class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void startsEmpty();
    void load_data();
    void load();
    void failureKeepsEarlierText();
    void readsTheDemoLicence();
    void defaultsToTheBundle();
};

void TestDocument::startsEmpty()
{
    Document document;
    QVERIFY(document.data().isEmpty());
}

void TestDocument::load_data()
{
    QTest::addColumn<QString>("kind"); // "file", "folder" or "none"
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("output"); // printed line, as a pattern
    QTest::addColumn<QString>("text");   // the loaded plain text; empty: data unchanged

    QTest::newRow("missing") << "none" << QByteArray() << "^File not found\n$" << QString();
    QTest::newRow("not rtf") << "file" << QByteArray("Just some words.")
                             << "^The file .QuorvanticEULA\\.rtf. could not be read: The file is "
                                "not in RTF format.*\n$"
                             << QString();
    QTest::newRow("empty") << "file" << QByteArray() << "^The file .*empty.*\n$" << QString();
    QTest::newRow("a folder") << "folder" << QByteArray() << "^The file .*folder.*\n$" << QString();
    QTest::newRow("rtf") << "file" << QByteArray("{\\rtf1\\ansi {\\b Terms}\\par Body}") << "^$"
                         << "Terms\nBody";
    QTest::newRow("rtf cut short") << "file" << QByteArray("{\\rtf1\\ansi Terms\\par Bo") << "^$"
                                   << "Terms\nBo";
}

void TestDocument::load()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(QString, output);
    QFETCH(QString, text);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("QuorvanticEULA.rtf"));
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("QuorvanticEULA.rtf")));
    }

    Document document;
    document.setResourcesFolder(folder.path());
    QSignalSpy changes(&document, &Document::objectWillChange);
    bool emptyWhenAnnounced = false;
    connect(&document, &Document::objectWillChange, this,
            [&] { emptyWhenAnnounced = document.data().isEmpty(); });

    CapturedStdout captured;
    document.load(QStringLiteral("QuorvanticEULA"));
    const QString printed = QString::fromUtf8(captured.text());

    QVERIFY2(QRegularExpression(output).match(printed).hasMatch(), qPrintable(printed));
    if (text.isEmpty()) {
        QCOMPARE(changes.count(), 0);
        QVERIFY(document.data().isEmpty());
    } else {
        QCOMPARE(changes.count(), 1);
        QVERIFY(emptyWhenAnnounced);
        QCOMPARE(document.data().toPlainText(), text);
    }
}

void TestDocument::failureKeepsEarlierText()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("Good.rtf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 Kept}");
    file.close();
    QFile bad(folder.filePath(QStringLiteral("Bad.rtf")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("<html/>");
    bad.close();

    Document document;
    document.setResourcesFolder(folder.path());
    CapturedStdout captured;
    document.load(QStringLiteral("Good"));
    document.load(QStringLiteral("Bad"));
    document.load(QStringLiteral("Missing"));
    const QStringList lines = QString::fromUtf8(captured.text()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.last(), QStringLiteral("File not found"));
    QCOMPARE(document.data().toPlainText(), QStringLiteral("Kept"));
}

void TestDocument::readsTheDemoLicence()
{
    Document document;
    document.setResourcesFolder(QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources"));
    CapturedStdout captured;
    document.load(QStringLiteral("QuorvanticEULA"));
    QCOMPARE(captured.text(), QByteArray());
    QVERIFY(document.data().toPlainText().startsWith(
        QStringLiteral("Quorvantic Software License Agreement\n")));
    // The fragment keeps the formats: the heading's block is centred.
    QTextDocument copy;
    QTextCursor(&copy).insertFragment(document.data());
    QCOMPARE(copy.firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
}

void TestDocument::defaultsToTheBundle()
{
    Document document;
    QCOMPARE(document.resourcesFolder(), bundleResourcesFolder());
    QVERIFY(!document.resourcesFolder().isEmpty());
}

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
