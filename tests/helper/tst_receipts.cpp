#include "helper/InstallCommand.h"
#include "helper/Receipt.h"
#include "helper/ReceiptJournal.h"
#include "helper/Sha256.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <unistd.h>

using namespace helper;

namespace {

Receipt sample()
{
    Receipt receipt;
    receipt.product = "Velamorph 4";
    receipt.version = "1.0.0";
    receipt.bundle = "/media/stick/Bundle\twith tab/Products";
    receipt.time = "2026-12-08T05:10:44Z";
    receipt.user = "ada";
    receipt.entries = {
        {ReceiptEntry::Kind::folder, "/opt/Quorvantic", {}, 0, 0, 0755},
        {ReceiptEntry::Kind::file, "/opt/Quorvantic/E/line\nfeed\\back", std::string(64, 'a'), 0, 0,
         0644},
        {ReceiptEntry::Kind::link, "/usr/local/share/L/E", "/opt/Quorvantic/E", 0, 0, 0},
    };
    return receipt;
}

std::string write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return "cannot write " + path.toStdString();
    return {};
}

std::string linkTarget(const QString &path)
{
    return QFile::symLinkTarget(path).toStdString();
}

Operation parsed(const std::string &command)
{
    const ParsedCommand result = parseInstallCommand(command);
    if (!result.ok)
        qWarning("not parsed: %s: %s", command.c_str(), result.problem.c_str());
    return result.operation;
}

} // namespace

class ReceiptsTest : public QObject
{
    Q_OBJECT

private slots:
    void digestsMatchAReferenceImplementation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("abc") << QByteArray("abc");
        QTest::newRow("55 bytes, padding in one block") << QByteArray(55, 'x');
        QTest::newRow("56 bytes, padding spills over") << QByteArray(56, 'x');
        QTest::newRow("a megabyte and one") << QByteArray(1024 * 1024 + 1, '\xa5');
    }
    void digestsMatchAReferenceImplementation()
    {
        QFETCH(QByteArray, bytes);
        Sha256 hash;
        hash.update(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        QCOMPARE(QByteArray::fromStdString(hash.hexDigest()),
                 QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }

    void receiptsReadBackAsWritten()
    {
        const Receipt receipt = sample();
        const ParsedReceipt parsed = parseReceipt(formatReceipt(receipt));
        QVERIFY2(parsed.ok, parsed.problem.c_str());
        QVERIFY(parsed.receipt == receipt);
    }

    void damagedReceiptsAreRefusedSayingWhere_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("problem");
        QTest::newRow("cut short") << "end\n"
                                   << ""
                                   << "cut short";
        QTest::newRow("relative path") << "\t/usr/local/share/L/E\t"
                                       << "\tshare/L/E\t"
                                       << "line 9: not an absolute path";
        QTest::newRow("dot-dot in a path") << "/opt/Quorvantic\t"
                                           << "/opt/../etc\t"
                                           << "line 7: not an absolute path";
        QTest::newRow("bad digest") << QString(64, 'a') << "zz"
                                    << "line 8: not a SHA-256";
        QTest::newRow("unknown record") << "link\t"
                                        << "device\t"
                                        << "line 9: unknown record";
        QTest::newRow("bad escape") << "line\\nfeed"
                                    << "line\\qfeed"
                                    << "line 8: a bad escape";
        QTest::newRow("not a receipt") << "quorvantic-receipt 1"
                                       << "#!/bin/sh"
                                       << "line 1";
        QTest::newRow("owner not a number") << "\t0\t0\t0755"
                                            << "\troot\t0\t0755"
                                            << "line 7: owner and group";
    }
    void damagedReceiptsAreRefusedSayingWhere()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, problem);
        QString text = QString::fromStdString(formatReceipt(sample()));
        QVERIFY(text.contains(from));
        text.replace(text.indexOf(from), from.size(), to);
        const ParsedReceipt parsed = parseReceipt(text.toStdString());
        QVERIFY(!parsed.ok);
        QVERIFY2(QString::fromStdString(parsed.problem).contains(problem), parsed.problem.c_str());
    }

    // A run through the journal: what it records, and that the uninstall
    // operations remove only what is still as recorded.
    void theJournalRecordsAndRemovesOnlyWhatItMade()
    {
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/bundle/Products/P/E/file.txt", "hello"), std::string());
        QCOMPARE(write(b + "/bundle/Products/P/E/sub/more.txt", "more"), std::string());
        const InstallRoots roots{B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}};
        ReceiptJournal journal(roots, B + "/receipts/", "ada");

        for (const std::string &command :
             {"mkdir -p \"" + B + "/opt/Q/\"", "mkdir -p \"" + B + "/share/L/\"",
              "cp -R -f \"" + B + "/bundle/Products/P/E\" \"" + B + "/opt/Q/\"",
              "ln -f -n -s \"" + B + "/opt/Q/E\" \"" + B + "/share/L/E\"",
              "echo \"x\" > \"" + B + "/opt/Q/E/Path.txt\""}) {
            const OperationResult done = journal.perform(parsed(command));
            QVERIFY2(done.ok, done.message.c_str());
        }
        QFile stored(b + "/receipts/P.receipt");
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const ParsedReceipt receipt = parseReceipt(stored.readAll().toStdString());
        QVERIFY2(receipt.ok, receipt.problem.c_str());
        QCOMPARE(receipt.receipt.user, std::string("ada"));
        const ReceiptEntry *file = receipt.receipt.find(B + "/opt/Q/E/file.txt");
        QVERIFY(file && file->kind == ReceiptEntry::Kind::file);
        QCOMPARE(QByteArray::fromStdString(file->target),
                 QCryptographicHash::hash("hello", QCryptographicHash::Sha256).toHex());
        QVERIFY(receipt.receipt.find(B + "/opt/Q/E/Path.txt"));
        const ReceiptEntry *link = receipt.receipt.find(B + "/share/L/E");
        QVERIFY(link && link->target == B + "/opt/Q/E");
        // Folders the run made, from the first missing one down; not the tree's root.
        QVERIFY(receipt.receipt.find(B + "/opt") && receipt.receipt.find(B + "/share/L"));
        QVERIFY(!receipt.receipt.find(B));

        // Nothing a receipt does not list, and no folder that still holds something.
        QVERIFY(!journal.perform(parsed("rm -f \"" + B + "/bundle/Products/P/E/file.txt\"")).ok);
        QVERIFY(!journal.perform(parsed("rm -f \"" + B + "/opt/Q/other\"")).ok);
        QVERIFY(
            journal.perform(parsed("rmdir --ignore-fail-on-non-empty \"" + B + "/opt/Q/E\"")).ok);
        QVERIFY(QFileInfo::exists(b + "/opt/Q/E"));
        QVERIFY(!journal.perform(parsed("rmdir --ignore-fail-on-non-empty \"" + B + "/\"")).ok);

        // A link re-pointed since is kept; once it points back it goes.
        QFile::remove(b + "/share/L/E");
        QVERIFY(QFile::link(b + "/bundle", b + "/share/L/E"));
        const OperationResult kept = journal.perform(parsed("rm -f \"" + B + "/share/L/E\""));
        QVERIFY(!kept.ok);
        QVERIFY2(QString::fromStdString(kept.message).contains("points to"), kept.message.c_str());
        QCOMPARE(linkTarget(b + "/share/L/E"), B + "/bundle");
        QFile::remove(b + "/share/L/E");
        QVERIFY(QFile::link(b + "/opt/Q/E", b + "/share/L/E"));
        QVERIFY(journal.perform(parsed("rm -f \"" + B + "/share/L/E\"")).ok);
        QVERIFY(!QFileInfo(b + "/share/L/E").isSymLink());
        QVERIFY(QFileInfo::exists(b + "/opt/Q/E/file.txt")); // the link, not what it pointed at

        QVERIFY(journal.perform(parsed("rm -f \"" + B + "/receipts/P.receipt\"")).ok);
        QVERIFY(!QFileInfo::exists(b + "/receipts/P.receipt"));
        QVERIFY(!journal.perform(parsed("rm -f \"" + B + "/receipts/P.receipt\"")).ok);
    }

    // A link planted below a recorded folder must not take a removal elsewhere.
    void removalsFollowNoLinkBelowAnInstallFolder()
    {
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/bundle/Products/P/E/sub/file.txt", "hello"), std::string());
        QCOMPARE(write(b + "/outside/sub/file.txt", "keep me"), std::string());
        const InstallRoots roots{B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}};
        ReceiptJournal journal(roots, B + "/receipts/", "ada");
        QVERIFY(journal.perform(parsed("mkdir -p \"" + B + "/opt/Q/\"")).ok);
        QVERIFY(
            journal
                .perform(parsed("cp -R -f \"" + B + "/bundle/Products/P/E\" \"" + B + "/opt/Q/\""))
                .ok);
        QVERIFY(QDir(b + "/opt/Q/E/sub").removeRecursively());
        QVERIFY(QFile::link(b + "/outside/sub", b + "/opt/Q/E/sub"));
        QVERIFY(!journal.perform(parsed("rm -f \"" + B + "/opt/Q/E/sub/file.txt\"")).ok);
        QCOMPARE(QFile(b + "/outside/sub/file.txt").exists(), true);
    }
};

QTEST_GUILESS_MAIN(ReceiptsTest)
#include "tst_receipts.moc"
