#include "helper/InstallCommand.h"
#include "helper/Receipt.h"
#include "helper/ReceiptJournal.h"
#include "helper/ReceiptStore.h"
#include "helper/Sha256.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cctype>
#include <chrono>
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

    // The store is got ready before anything is done: a run holding it, a dead
    // run's temporary, and the lock held for the journal's session.
    void theStoreIsLockedCleanedAndProbedFirst()
    {
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string store = b.toStdString() + "/var/q/receipts/";
        ReceiptStore first(store);
        std::string problem;
        std::optional<StoreLock> held = first.prepare(problem);
        QVERIFY2(held, problem.c_str());
        QVERIFY(QFileInfo(b + "/var/q/receipts").isDir());
        QCOMPARE(QDir(b + "/var/q/receipts")
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList()); // the probe is gone
        ReceiptStore second(store);
        second.setLockWait(std::chrono::milliseconds(200));
        QVERIFY(!second.prepare(problem));
        QCOMPARE(problem, std::string("another installation is using them"));

        QCOMPARE(write(b + "/var/q/receipts/.quorvantic-12345-1", "cut"), std::string());
        QCOMPARE(write(b + "/var/q/receipts/notes.txt", "someone's"), std::string());
        held.reset();
        std::optional<StoreLock> again = second.prepare(problem);
        QVERIFY2(again, problem.c_str());
        QVERIFY(!QFileInfo::exists(b + "/var/q/receipts/.quorvantic-12345-1"));
        QVERIFY(QFileInfo::exists(b + "/var/q/receipts/notes.txt"));
    }

    // While another run holds the store, every operation fails and does nothing.
    void operationsFailWhenTheStoreCannotBeGotReady_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("ending");
        QTest::newRow("an install") << "mkdir -p \"%1/opt/Q/\""
                                    << "Nothing was installed.";
        QTest::newRow("an uninstall") << "rm -f \"%1/opt/Q/E/file.txt\""
                                      << "Nothing was removed.";
    }
    void operationsFailWhenTheStoreCannotBeGotReady()
    {
        QFETCH(QString, first);
        QFETCH(QString, ending);
        QTemporaryDir tree;
        const std::string B = tree.path().toStdString();
        QCOMPARE(write(tree.path() + "/bundle/Products/P/E/file.txt", "hello"), std::string());
        std::string problem;
        const std::optional<StoreLock> held = ReceiptStore(B + "/receipts/").prepare(problem);
        QVERIFY2(held, problem.c_str());
        ReceiptJournal journal({B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}},
                               B + "/receipts/", "ada");
        journal.setLockWait(std::chrono::milliseconds(100));
        const std::string expected = "The receipts cannot be kept in " + B +
                                     "/receipts: another installation is using them. " +
                                     ending.toStdString();
        for (const std::string &command :
             {first.arg(tree.path()).toStdString(), "mkdir -p \"" + B + "/share/L/\""}) {
            const OperationResult done = journal.perform(parsed(command));
            QVERIFY(!done.ok);
            QCOMPARE(done.message, expected);
        }
        QVERIFY(!QFileInfo::exists(tree.path() + "/opt") &&
                !QFileInfo::exists(tree.path() + "/share"));
    }

    // A refused copy did nothing and records nothing; one cut short left only
    // its staging folder, which the undo takes away with the folder the run made.
    void aCopyThatFailedRecordsNothing_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("stop");
        QTest::newRow("outside the install folders") << "/elsewhere/" << false;
        QTest::newRow("into a link folder") << "/share/L/" << false;
        QTest::newRow("into the app folder, stopped") << "/opt/Q/" << true;
    }
    void aCopyThatFailedRecordsNothing()
    {
        QFETCH(QString, destination);
        QFETCH(bool, stop);
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/bundle/Products/P/E/file.txt", "hello"), std::string());
        QCOMPARE(write(b + "/bundle/Products/P/E/more.txt", "more"), std::string());
        QVERIFY(QDir().mkpath(b + "/elsewhere") && QDir().mkpath(b + "/share/L"));
        ReceiptJournal journal({B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}},
                               B + "/receipts/", "ada");
        QVERIFY(journal.perform(parsed("mkdir -p \"" + B + "/opt/Q/\"")).ok);
        int asked = 0;
        const OperationResult done =
            journal.perform(parsed("cp -R -f \"" + B + "/bundle/Products/P/E\" \"" + B +
                                   destination.toStdString() + "\""),
                            [&] { return stop && asked++ > 0; });
        QVERIFY(!done.ok);
        QVERIFY(!QFileInfo::exists(b + "/receipts/P.receipt"));
        QCOMPARE(journal.receipts().count("P"), std::size_t(0));
        const QStringList left =
            QDir(b + "/opt/Q").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        // A partial copy lies under a staging name, never the element's.
        QCOMPARE(left.size(), stop ? 1 : 0);
        QVERIFY(!QFileInfo::exists(b + "/opt/Q/E"));
        QVERIFY(journal.finish(false).ok);
        QVERIFY(!QFileInfo::exists(b + "/opt"));
    }

    // A temporary a dead run left in an element is not the product's: a copy
    // over it lists all else, and names that merely look alike.
    void aRunsTemporariesAreNeverRecorded_data()
    {
        QTest::addColumn<QString>("planted"); // below the element, a file
        QTest::addColumn<QString>("checked"); // the path looked up in the receipt
        QTest::addColumn<bool>("listed");
        QTest::newRow("a file's") << ".quorvantic-123-4"
                                  << ".quorvantic-123-4" << false;
        QTest::newRow("an undo") << ".quorvantic-undo-123-4"
                                 << ".quorvantic-undo-123-4" << false;
        QTest::newRow("deeper down") << "sub/.quorvantic-5-60"
                                     << "sub/.quorvantic-5-60" << false;
        QTest::newRow("a staged folder") << ".quorvantic-stage-7-1/inner.txt"
                                         << ".quorvantic-stage-7-1" << false;
        QTest::newRow("no count") << ".quorvantic-123-"
                                  << ".quorvantic-123-" << true;
        QTest::newRow("no process") << ".quorvantic--4"
                                    << ".quorvantic--4" << true;
        QTest::newRow("a word") << ".quorvantic-notes"
                                << ".quorvantic-notes" << true;
        QTest::newRow("more after it") << ".quorvantic-1-2.bak"
                                       << ".quorvantic-1-2.bak" << true;
        QTest::newRow("inside a name") << "a.quorvantic-1-2"
                                       << "a.quorvantic-1-2" << true;
        QTest::newRow("two kinds") << ".quorvantic-undo-stage-1-2"
                                   << ".quorvantic-undo-stage-1-2" << true;
    }
    void aRunsTemporariesAreNeverRecorded()
    {
        QFETCH(QString, planted);
        QFETCH(QString, checked);
        QFETCH(bool, listed);
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/bundle/Products/P/E/file.txt", "hello"), std::string());
        QCOMPARE(write(b + "/bundle/Products/P/E/sub/more.txt", "more"), std::string());
        // Where a dead run's temporary would be, had the element been copied
        // in place: the bundle's file of that name lands there.
        QCOMPARE(write(b + "/bundle/Products/P/E/" + planted, ""), std::string());
        QVERIFY(QDir().mkpath(b + "/opt/Q"));
        ReceiptJournal journal({B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}},
                               B + "/receipts/", "ada");
        const OperationResult done = journal.perform(
            parsed("cp -R -f \"" + B + "/bundle/Products/P/E\" \"" + B + "/opt/Q/\""));
        QVERIFY2(done.ok, done.message.c_str());
        QVERIFY(QFileInfo::exists(b + "/opt/Q/E/" + planted));
        const Receipt &receipt = journal.receipts().at("P");
        QVERIFY(receipt.find(B + "/opt/Q/E/sub/more.txt"));
        QCOMPARE(receipt.find((b + "/opt/Q/E/" + planted).toStdString()) != nullptr, listed);
        QCOMPARE(receipt.find((b + "/opt/Q/E/" + checked).toStdString()) != nullptr, listed);
    }

    // A receipt that cannot be written fails the operation, naming what is
    // installed but not recorded.
    void anUnwrittenReceiptFailsTheOperation()
    {
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/bundle/Products/P/E/file.txt", "hello"), std::string());
        QVERIFY(QDir().mkpath(b + "/receipts/P.receipt")); // stands where the receipt goes
        ReceiptJournal journal({B + "/bundle/Products", B + "/opt/Q/", {B + "/share/L/"}},
                               B + "/receipts/", "ada");
        QVERIFY(journal.perform(parsed("mkdir -p \"" + B + "/opt/Q/\"")).ok);
        const OperationResult done = journal.perform(
            parsed("cp -R -f \"" + B + "/bundle/Products/P/E\" \"" + B + "/opt/Q/\""));
        QVERIFY(!done.ok);
        QCOMPARE(done.message, B +
                                   "/opt/Q/E was installed but is not recorded: cannot write the "
                                   "receipt " +
                                   B + "/receipts/P.receipt: Is a directory");
    }

    // Product B's copy of an element of the name product A installed: what
    // B's run makes is B's, A keeps listing it, and a removal drops it from both.
    void anElementTwoProductsInstalledIsListedByBoth()
    {
        QTemporaryDir tree;
        const QString b = tree.path();
        const std::string B = b.toStdString();
        QCOMPARE(write(b + "/a/Products/A/E/file.txt", "alpha"), std::string());
        QCOMPARE(write(b + "/b/Products/B/E/file.txt", "beta"), std::string());
        const std::string link = "ln -f -n -s \"" + B + "/opt/Q/E\" \"" + B + "/share/L/E\"";
        for (const std::string bundle : {"a", "b"}) {
            ReceiptJournal journal(
                {B + '/' + bundle + "/Products", B + "/opt/Q/", {B + "/share/L/"}},
                B + "/receipts/", "ada");
            for (const std::string &command :
                 {"mkdir -p \"" + B + "/opt/Q/\"", "mkdir -p \"" + B + "/share/L/\"",
                  "cp -R -f \"" + B + '/' + bundle + "/Products/" + char(std::toupper(bundle[0])) +
                      "/E\" \"" + B + "/opt/Q/\"",
                  link}) {
                const OperationResult done = journal.perform(parsed(command));
                QVERIFY2(done.ok, done.message.c_str());
            }
            QVERIFY(journal.finish(true).ok);
        }
        ReceiptJournal journal({B + "/b/Products", B + "/opt/Q/", {B + "/share/L/"}},
                               B + "/receipts/", "ada");
        const Receipt &alpha = journal.receipts().at("A");
        const Receipt &beta = journal.receipts().at("B");
        const ReceiptEntry *file = beta.find(B + "/opt/Q/E/file.txt");
        QVERIFY(file);
        QCOMPARE(QByteArray::fromStdString(file->target),
                 QCryptographicHash::hash("beta", QCryptographicHash::Sha256).toHex());
        QVERIFY(beta.find(B + "/share/L/E") && alpha.find(B + "/share/L/E"));
        // The folders A's run made hold B's files too: whoever goes last removes them.
        QVERIFY(beta.find(B + "/opt/Q") && beta.find(B + "/share/L"));
        QVERIFY(journal.perform(parsed("rm -f \"" + B + "/share/L/E\"")).ok);
        QVERIFY(!QFileInfo(b + "/share/L/E").isSymLink());
        QVERIFY(!journal.receipts().at("A").find(B + "/share/L/E") &&
                !journal.receipts().at("B").find(B + "/share/L/E"));
        for (const QString name : {"A", "B"}) {
            QFile stored(b + "/receipts/" + name + ".receipt");
            QVERIFY(stored.open(QIODevice::ReadOnly));
            QVERIFY(!stored.readAll().contains("share/L/E"));
        }
    }
};

QTEST_GUILESS_MAIN(ReceiptsTest)
#include "tst_receipts.moc"
