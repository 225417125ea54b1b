#include "helper/InstallCommand.h"
#include "helper/JournalFile.h"
#include "helper/ReceiptJournal.h"
#include "helper/Transaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace helper;

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Every entry below `root` with its type, mode, link target or digest: what
// a host application or a later run would see.
QStringList tree(const QString &root)
{
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString line = path.mid(root.size()) + ' ' + QString::number(info.permissions(), 16) + ' ';
        if (info.isSymLink()) {
            line += "-> " + info.symLinkTarget();
        } else if (info.isDir()) {
            line += '/';
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            line += QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

class Fixture
{
public:
    Fixture() : b(dir.path()), B(b.toStdString()) {}

    // Version 1 has elements E1 and E2; version 2 changes E1, drops E2, adds E3.
    void makeBundles()
    {
        write(b + "/v1/Products/P/E1/a.txt", "one");
        write(b + "/v1/Products/P/E1/sub/b.txt", "one b");
        write(b + "/v1/Products/P/E2/c.txt", "two");
        write(b + "/v2/Products/P/E1/a.txt", "one, changed");
        write(b + "/v2/Products/P/E1/new.txt", "new");
        write(b + "/v2/Products/P/E3/d.txt", "three");
    }

    ReceiptJournal journal(const char *version) const
    {
        return ReceiptJournal({B + '/' + version + "/Products", B + "/opt/Q/", {B + "/share/L/"}},
                              B + "/receipts/", "ada");
    }

    std::vector<std::string> install(const char *version, std::vector<const char *> elements,
                                     std::vector<const char *> dropped = {}) const
    {
        std::vector<std::string> lines = {"mkdir -p \"" + B + "/opt/Q/\"",
                                          "mkdir -p \"" + B + "/share/L/\""};
        for (const char *element : elements) {
            lines.push_back("cp -R -f \"" + B + '/' + version + "/Products/P/" + element + "\" \"" +
                            B + "/opt/Q/\"");
            lines.push_back("ln -f -n -s \"" + B + "/opt/Q/" + element + "\" \"" + B + "/share/L/" +
                            element + "\"");
            lines.push_back("echo \"" + std::string(version) + "\" > \"" + B + "/opt/Q/" + element +
                            "/Path.txt\"");
        }
        for (const char *element : dropped) {
            lines.push_back("rm -R -f \"" + B + "/opt/Q/" + element + "\"");
            lines.push_back("rm -R -f \"" + B + "/share/L/" + element + "\"");
        }
        return lines;
    }

    std::vector<std::string> uninstall() const
    {
        std::vector<std::string> lines;
        for (const char *file :
             {"/share/L/E1", "/share/L/E2", "/opt/Q/E1/a.txt", "/opt/Q/E1/sub/b.txt",
              "/opt/Q/E1/Path.txt", "/opt/Q/E2/c.txt", "/opt/Q/E2/Path.txt"})
            lines.push_back("rm -f \"" + B + file + "\"");
        for (const char *folder :
             {"/opt/Q/E1/sub", "/opt/Q/E1", "/opt/Q/E2", "/opt/Q", "/opt", "/share/L", "/share"})
            lines.push_back("rmdir --ignore-fail-on-non-empty \"" + B + folder + "\"");
        lines.push_back("rm -f \"" + B + "/receipts/P.receipt\"");
        return lines;
    }

    static QString perform(ReceiptJournal &journal, const std::vector<std::string> &lines,
                           std::size_t count)
    {
        for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
            const ParsedCommand parsed = parseInstallCommand(lines[i]);
            if (!parsed.ok)
                return QString::fromStdString(parsed.problem);
            const OperationResult done = journal.perform(parsed.operation);
            if (!done.ok)
                return QString::fromStdString(lines[i] + ": " + done.message);
        }
        return {};
    }

    QStringList state() const
    {
        return tree(b + "/opt") + tree(b + "/share") + tree(b + "/receipts");
    }

    QTemporaryDir dir;
    QString b;
    std::string B;
};

} // namespace

class TransactionTest : public QObject
{
    Q_OBJECT

private slots:
    void journalStepsReadBackWhateverTheNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "E1";
        QTest::newRow("spaces and percent") << "a b %41 c";
        QTest::newRow("line feed") << "two\nlines";
        QTest::newRow("empty") << "";
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße ✓");
    }
    void journalStepsReadBackWhateverTheNames()
    {
        QFETCH(QString, name);
        JournalStep step{JournalStep::Kind::swapped, "/opt/Q " + name.toStdString(),
                         name.toStdString(), ".quorvantic-stage-1-2"};
        step.inode = 1234567890123ULL;
        step.folderInode = 42;
        const std::string line = encodeStep(step);
        QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1);
        const JournalContents read = parseJournal("quorvantic-journal 1 42\n" + line + "made /x");
        QVERIFY2(read.ok, read.problem.c_str());
        QCOMPARE(read.pid, 42L);
        QCOMPARE(read.steps.size(), std::size_t(1)); // the cut-off last line is not a step
        QCOMPARE(read.steps[0].folder, step.folder);
        QCOMPARE(read.steps[0].name, step.name);
        QCOMPARE(read.steps[0].inode, step.inode);
        QCOMPARE(read.steps[0].folderInode, step.folderInode);
    }

    // Install, upgrade and uninstall undone by a rollback, or by the next
    // session after the process died without settling, after every step.
    void everyRunIsUndoneWhereverItStopped_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<bool>("died"); // else it rolls back itself
        for (const char *run : {"install", "upgrade", "uninstall"}) {
            QTest::addRow("%s, rolled back", run) << run << false;
            QTest::addRow("%s, died", run) << run << true;
        }
    }
    void everyRunIsUndoneWhereverItStopped()
    {
        QFETCH(QString, run);
        QFETCH(bool, died);
        Fixture f;
        f.makeBundles();
        if (run != "install") {
            ReceiptJournal first = f.journal("v1");
            QCOMPARE(Fixture::perform(first, f.install("v1", {"E1", "E2"}), 99), QString());
            QVERIFY(first.finish(true).ok);
        }
        const std::vector<std::string> lines = run == "install" ? f.install("v1", {"E1", "E2"})
                                               : run == "upgrade"
                                                   ? f.install("v2", {"E1", "E3"}, {"E2"})
                                                   : f.uninstall();
        const char *version = run == "install" ? "v1" : "v2";
        const QStringList before = f.state();
        for (std::size_t count = 0; count <= lines.size(); ++count) {
            if (died) {
                const pid_t child = ::fork();
                if (child == 0) {
                    ReceiptJournal journal = f.journal(version);
                    ::_exit(Fixture::perform(journal, lines, count).isEmpty() ? 0 : 1);
                }
                int status = 0;
                QCOMPARE(::waitpid(child, &status, 0), child);
                QCOMPARE(WEXITSTATUS(status), 0);
                // The next session's first operation undoes the dead one's first.
                const bool left =
                    QFileInfo::exists(f.b + "/receipts/" + QString(journalName.data()));
                QVERIFY(left || count <= 2);
                ReceiptJournal next = f.journal(version);
                QCOMPARE(Fixture::perform(next, {"mkdir -p \"" + f.B + "/share/L/\""}, 1),
                         QString());
                QCOMPARE(!next.takeNotice().empty(), left);
                QVERIFY(next.finish(false).ok);
            } else {
                ReceiptJournal journal = f.journal(version);
                QCOMPARE(Fixture::perform(journal, lines, count), QString());
                QVERIFY(journal.finish(false).ok);
            }
            QCOMPARE(f.state(), before);
            QVERIFY(!QFileInfo::exists(f.b + "/receipts/" + QString(journalName.data())));
        }
        // Once the run is kept it stands whole: a rerun ends where one run would.
        ReceiptJournal journal = f.journal(version);
        QCOMPARE(Fixture::perform(journal, lines, lines.size()), QString());
        QVERIFY(journal.finish(true).ok);
        for (const QString &line : f.state())
            QVERIFY2(!line.contains(".quorvantic-"), qPrintable(line));
        if (run == "upgrade") {
            QVERIFY(!QFileInfo::exists(f.b + "/opt/Q/E2") &&
                    !QFileInfo::exists(f.b + "/opt/Q/E1/sub"));
            QVERIFY(QFileInfo::exists(f.b + "/opt/Q/E3/d.txt") &&
                    QFileInfo::exists(f.b + "/opt/Q/E1/new.txt"));
        }
    }

    // A process that dies inside a step (after its record, before the change
    // that follows it) leaves nothing the next run does not put back or remove.
    void aStepCutOffIsUndone_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("kept, died before the replacement") << "kept";
        QTest::newRow("kept, died after the replacement") << "kept, replaced";
        QTest::newRow("moved aside, died") << "moved aside";
        QTest::newRow("moved aside, died after a new one came") << "moved aside, replaced";
    }
    void aStepCutOffIsUndone()
    {
        QFETCH(QString, step);
        Fixture f;
        write(f.b + "/store/r.receipt", "old");
        const std::string store = f.B + "/store";
        const FolderOpener open = [](const std::string &folder) {
            const SplitPath split = splitPath(folder, false);
            return openTrustedFolder(split.components, false);
        };
        const QStringList before = tree(f.b + "/store");
        const pid_t child = ::fork();
        if (child == 0) {
            const OpenedFolder folder = open(store);
            Transaction run(folder.fd.get(), store, open);
            std::string problem;
            bool kept = step.startsWith("kept")
                            ? run.keep(folder.fd.get(), store, "r.receipt", problem)
                            : run.moveAside(folder.fd.get(), store, "r.receipt", problem);
            if (kept && step.endsWith("replaced")) {
                ::unlinkat(folder.fd.get(), "r.receipt", 0);
                const int fd = ::openat(folder.fd.get(), "r.receipt", O_CREAT | O_WRONLY, 0644);
                kept = fd >= 0 && ::write(fd, "new", 3) == 3 && ::close(fd) == 0;
            }
            ::_exit(kept ? 0 : 1); // no commit, no rollback: as if killed
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFileInfo::exists(f.b + "/store/" + QString(journalName.data())));

        const OpenedFolder folder = open(store);
        const Transaction::Recovered recovered = Transaction::recover(folder.fd.get(), store, open);
        QVERIFY(recovered.found && !recovered.committed);
        QVERIFY2(recovered.end.ok, recovered.end.problem.c_str());
        QCOMPARE(tree(f.b + "/store"), before);
    }

    // While an element is replaced, its place holds the old tree or the new
    // one: never a mix.
    void aReplacedElementIsSwappedInWhole()
    {
        Fixture f;
        f.makeBundles();
        {
            ReceiptJournal first = f.journal("v1");
            QCOMPARE(Fixture::perform(first, f.install("v1", {"E1"}), 99), QString());
            QVERIFY(first.finish(true).ok);
        }
        const QStringList old = tree(f.b + "/opt/Q/E1");
        ReceiptJournal journal = f.journal("v2");
        const std::vector<std::string> lines = f.install("v2", {"E1"});
        QCOMPARE(Fixture::perform(journal, lines, 2), QString());
        // Stopped during the copy: the staging folder holds the part made.
        int asked = 0;
        const OperationResult cut = journal.perform(parseInstallCommand(lines[2]).operation,
                                                    [&asked] { return asked++ > 0; });
        QVERIFY(!cut.ok);
        QCOMPARE(tree(f.b + "/opt/Q/E1"), old);
        QVERIFY(journal.finish(false).ok);
        QCOMPARE(tree(f.b + "/opt/Q/E1"), old);
    }

    // An undo that cannot finish keeps the journal, says what is left, and
    // the next session finishes it.
    void anUnfinishedUndoIsFinishedLater()
    {
        Fixture f;
        f.makeBundles();
        {
            ReceiptJournal first = f.journal("v1");
            QCOMPARE(Fixture::perform(first, f.install("v1", {"E1"}), 99), QString());
            QVERIFY(first.finish(true).ok);
        }
        const QStringList before = f.state();
        {
            ReceiptJournal journal = f.journal("v2");
            QCOMPARE(Fixture::perform(journal, f.install("v2", {"E1"}), 99), QString());
            // Something else took the link's place since: the old link cannot be put back.
            QVERIFY(QFile::remove(f.b + "/share/L/E1"));
            write(f.b + "/share/L/E1/someone.txt", "theirs");
            const OperationResult end = journal.finish(false);
            QVERIFY(!end.ok);
            QVERIFY2(QString::fromStdString(end.message).contains("the next run of the installer"),
                     end.message.c_str());
            QVERIFY(QFileInfo::exists(f.b + "/receipts/" + QString(journalName.data())));
        }
        QVERIFY(QDir(f.b + "/share/L/E1").removeRecursively());
        ReceiptJournal next = f.journal("v2");
        QCOMPARE(Fixture::perform(next, {"mkdir -p \"" + f.B + "/share/L/\""}, 1), QString());
        QVERIFY(next.finish(false).ok);

        QCOMPARE(f.state(), before);
    }
};

QTEST_GUILESS_MAIN(TransactionTest)
#include "tst_transaction.moc"
