// The user's side of a script performed in process: each line does what its
// program would, a rollback leaves the data folder exactly as it was and a
// commit keeps the new, a link planted in the data folder is never written
// through, and a run killed after any line is undone by the next one.
#include "helper/Transaction.h"
#include "script/LocalShell.h"
#include "script/UserSideOperations.h"
#include "script/UserSideShell.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Tree = QMap<QString, QString>;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Every entry below `root`, by its relative path: its type with its link
// target or contents, and its mode.
Tree snapshot(const QString &root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st = {};
        if (::lstat(encoded(path).constData(), &st) != 0)
            continue;
        QString what = QString::number(st.st_mode & 07777, 8) + QLatin1Char(' ');
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(encoded(path).constData(), target, sizeof target);
            what += QStringLiteral("link ") + QString::fromLocal8Bit(target, n < 0 ? 0 : n);
        } else if (S_ISDIR(st.st_mode)) {
            what += QStringLiteral("folder");
        } else {
            QFile file(path);
            what += file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                   : QStringLiteral("unreadable");
        }
        tree.insert(path.mid(QDir::cleanPath(root).size()), what);
    }
    return tree;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

bool makeLink(const QString &target, const QString &link)
{
    return QDir().mkpath(QFileInfo(link).path()) &&
           ::symlink(encoded(target).constData(), encoded(link).constData()) == 0;
}

helper::PathComponents components(const QString &folder)
{
    return helper::splitPath(encoded(folder).toStdString(), true).components;
}

} // namespace

class TestUserSideOperations : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_data;  // the user's data folder
    QString m_lr;    // the photo host's folder in it
    QString m_app;   // where the sources are
    QString m_store; // the receipt store, for the journal
    QString m_elsewhere;

    // A data folder with the user's own files, and an element to copy from.
    void plant()
    {
        QVERIFY(write(m_lr + "Export Presets/P/mine.lrtemplate", "the user's own"));
        QVERIFY(write(m_lr + "Export Presets/P/a.lrtemplate", "old a"));
        QVERIFY(write(m_lr + "Export Presets/P/sub/keep.txt", "kept"));
        QVERIFY(write(m_lr + "External Editor Presets/Q/Preset.lrtemplate", "old preset"));
        QVERIFY(makeLink("/old/m.lrdevplugin", m_lr + "Modules/m.lrdevplugin"));
        QVERIFY(write(m_lr + "Stale.txt", "stale"));
        QVERIFY(QDir().mkpath(m_lr + "Empty"));
        QVERIFY(write(m_app + "Element/Preset/a.lrtemplate", "new a"));
        QVERIFY(write(m_app + "Element/Preset/b.lrtemplate", "new b"));
        QVERIFY(write(m_app + "Element/Preset/sub/c.txt", "new c"));
        QVERIFY(write(m_app + "Element/Preset/fresh/d.txt", "new d"));
        QVERIFY(makeLink("a.lrtemplate", m_app + "Element/Preset/alias"));
        QVERIFY(QDir().mkpath(m_store));
        QVERIFY(QDir().mkpath(m_elsewhere));
    }

    QString quoted(const QString &path) const { return '"' + path + '"'; }

    QStringList allLines() const
    {
        return {
            "mkdir -p " + quoted(m_lr + "External Editor Presets/Q/"),
            "mkdir -p " + quoted(m_lr + "New/Deep/"),
            "cp -R -f " + quoted(m_app + "Element/Preset/.") + ' ' +
                quoted(m_lr + "Export Presets/P/"),
            "ln -f -n -s " + quoted(m_app + "Element/m.lrdevplugin") + ' ' +
                quoted(m_lr + "Modules/"),
            "ln -f -n -s " + quoted(m_app + "Element/n.lrdevplugin") + ' ' +
                quoted(m_lr + "Modules/"),
            "echo " + quoted("s = {}") + " > " +
                quoted(m_lr + "External Editor Presets/Q/Preset.lrtemplate"),
            "printf '%s\\n' " + quoted("back\\\\slash") + " > " + quoted(m_lr + "New/Deep/t.txt"),
            "chown -R $USER " + quoted(m_lr + "Modules/"),
            "rm -f " + quoted(m_lr + "Stale.txt"),
            "rmdir --ignore-fail-on-non-empty " + quoted(m_lr + "Empty"),
        };
    }

    std::optional<UserSideLine> read(const QString &command) const
    {
        return readUserSideLine(command.toStdString(), components(m_data), components(m_app));
    }

    // Performs `lines` in one transaction; the status of each, in order.
    QList<int> perform(helper::Transaction &undo, const QStringList &lines,
                       QString *error = nullptr)
    {
        UserSideOperations operations(components(m_data), std::nullopt, &undo);
        QList<int> statuses;
        for (const QString &command : lines) {
            const std::optional<UserSideLine> line = read(command);
            if (!line) {
                statuses << -1;
                continue;
            }
            const UserSideOperations::Done done = operations.perform(*line);
            statuses << done.status;
            if (error && done.status != 0)
                *error += QString::fromStdString(done.error);
        }
        return statuses;
    }

    std::unique_ptr<helper::Transaction> transaction(helper::UniqueFd &store) const
    {
        store.reset(::open(encoded(m_store).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return std::make_unique<helper::Transaction>(
            store.get(), encoded(m_store).toStdString(),
            UserSideOperations::opener(components(m_data), std::nullopt));
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        const QString root = m_dir.path() + '/' + QTest::currentDataTag() + '/';
        QVERIFY(!QFileInfo::exists(root));
        m_data = root + "data/";
        m_lr = m_data + "LR/";
        m_app = root + "app/";
        m_store = root + "store/";
        m_elsewhere = root + "elsewhere/";
        plant();
    }

    // Each form, and then all of them in one run.
    void eachFormIsUndoneOrKept_data()
    {
        QTest::addColumn<QList<int>>("which"); // indexes into allLines()
        QTest::addColumn<QString>("changed");  // below the data folder
        QTest::addColumn<QString>("becomes");  // its snapshot entry after; empty: gone
        QTest::newRow("mkdir, standing") << QList<int>{0} << "LR/External Editor Presets/Q"
                                         << "755 folder";
        QTest::newRow("mkdir, missing") << QList<int>{1} << "LR/New/Deep"
                                        << "755 folder";
        QTest::newRow("cp, replaced") << QList<int>{2} << "LR/Export Presets/P/a.lrtemplate"
                                      << "644 new a";
        QTest::newRow("cp, added link") << QList<int>{2} << "LR/Export Presets/P/alias"
                                        << "777 link a.lrtemplate";
        QTest::newRow("cp, added folder") << QList<int>{2} << "LR/Export Presets/P/fresh/d.txt"
                                          << "644 new d";
        QTest::newRow("cp, merged folder") << QList<int>{2} << "LR/Export Presets/P/sub/c.txt"
                                           << "644 new c";
        QTest::newRow("ln, replaced") << QList<int>{3} << "LR/Modules/m.lrdevplugin"
                                      << "777 link @app/Element/m.lrdevplugin";
        QTest::newRow("ln, new") << QList<int>{4} << "LR/Modules/n.lrdevplugin"
                                 << "777 link @app/Element/n.lrdevplugin";
        QTest::newRow("echo") << QList<int>{5} << "LR/External Editor Presets/Q/Preset.lrtemplate"
                              << "644 s = {}\n";
        QTest::newRow("printf") << QList<int>{1, 6} << "LR/New/Deep/t.txt"
                                << "644 back\\slash\n";
        QTest::newRow("chown") << QList<int>{7} << "LR/Modules"
                               << "755 folder";
        QTest::newRow("rm -f") << QList<int>{8} << "LR/Stale.txt"
                               << "";
        QTest::newRow("rmdir") << QList<int>{9} << "LR/Empty"
                               << "";
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << "LR/Stale.txt"
                             << "";
    }
    void eachFormIsUndoneOrKept()
    {
        QFETCH(QList<int>, which);
        QFETCH(QString, changed);
        QFETCH(QString, becomes);
        becomes.replace("@app/", m_app);
        QStringList lines;
        for (int i : which)
            lines << allLines().at(i);
        const Tree before = snapshot(m_data);

        helper::UniqueFd store;
        std::unique_ptr<helper::Transaction> undo = transaction(store);
        QString error;
        QCOMPARE(perform(*undo, lines, &error), QList<int>(lines.size(), 0));
        QCOMPARE(error, QString());
        const Tree after = snapshot(m_data);
        QCOMPARE(after.value('/' + changed), becomes);
        QCOMPARE(after.value("/LR/Export Presets/P/mine.lrtemplate"), "644 the user's own");
        QVERIFY(undo->rollback().ok);
        QCOMPARE(snapshot(m_data), before);
        QCOMPARE(snapshot(m_store), Tree());

        undo = transaction(store);
        QCOMPARE(perform(*undo, lines), QList<int>(lines.size(), 0));
        QVERIFY(undo->commit().ok);
        // What was kept aside to put back goes with the commit.
        Tree kept = after;
        kept.removeIf([](const auto &entry) { return entry.key().contains("/.quorvantic-"); });
        QCOMPARE(snapshot(m_data), kept);
        QCOMPARE(snapshot(m_store), Tree());
    }

    // What fails says so as the program would, and changes nothing.
    void failuresReadLikeThePrograms_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("cp, no source")
            << "cp -R -f \"@app/Element/None/.\" \"@lr/Export Presets/P/\"" << 1
            << "cp: cannot stat '@app/Element/None/.': No such file or directory\n";
        QTest::newRow("echo, no folder") << "echo \"x\" > \"@lr/None/f.txt\"" << 2
                                         << "cannot create @lr/None/f.txt: Directory nonexistent\n";
        QTest::newRow("echo, a folder")
            << "echo \"x\" > \"@lr/Empty\"" << 2 << "cannot create @lr/Empty: Is a directory\n";
        QTest::newRow("rm -f, a folder")
            << "rm -f \"@lr/Empty\"" << 1 << "rm: cannot remove '@lr/Empty': Is a directory\n";
        QTest::newRow("rmdir, missing")
            << "rmdir --ignore-fail-on-non-empty \"@lr/None\"" << 1
            << "rmdir: failed to remove '@lr/None': No such file or directory\n";
        QTest::newRow("mkdir, a file")
            << "mkdir -p \"@lr/Stale.txt/\"" << 1
            << "mkdir: cannot create directory '@lr/Stale.txt': File exists\n";
    }
    void failuresReadLikeThePrograms()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, error);
        command.replace("@app/", m_app).replace("@lr/", m_lr);
        error.replace("@app/", m_app).replace("@lr/", m_lr);
        const Tree before = snapshot(m_data);
        helper::UniqueFd store;
        std::unique_ptr<helper::Transaction> undo = transaction(store);
        QString said;
        QCOMPARE(perform(*undo, {command}, &said), QList<int>{status});
        QCOMPARE(said, error);
        QVERIFY(undo->rollback().ok);
        QCOMPARE(snapshot(m_data), before);
    }

    // A link planted in the data folder leads nowhere the run writes, and
    // the line fails saying the write was denied.
    void plantedLinksAreNotFollowed_data()
    {
        QTest::addColumn<QString>("link"); // below the data folder, to the folder elsewhere
        QTest::addColumn<QString>("command");
        QTest::newRow("the editor presets folder")
            << "LR/External Editor Presets/Q2"
            << "echo \"x\" > \"@lr/External Editor Presets/Q2/Preset.lrtemplate\"";
        QTest::newRow("the export presets folder")
            << "LR/Export Presets/P2"
            << "cp -R -f \"@app/Element/Preset/.\" \"@lr/Export Presets/P2/\"";
        QTest::newRow("the modules folder")
            << "LR/Modules2"
            << "ln -f -n -s \"@app/Element/m.lrdevplugin\" \"@lr/Modules2/\"";
        QTest::newRow("a folder above") << "LR/Above"
                                        << "mkdir -p \"@lr/Above/Deeper/\"";
        QTest::newRow("the file itself")
            << "LR/External Editor Presets/Q/Other.lrtemplate"
            << "echo \"x\" > \"@lr/External Editor Presets/Q/Other.lrtemplate\"";
        QTest::newRow("a removal's folder") << "LR/Gone"
                                            << "rm -f \"@lr/Gone/victim.txt\"";
    }
    void plantedLinksAreNotFollowed()
    {
        QFETCH(QString, link);
        QFETCH(QString, command);
        command.replace("@app/", m_app).replace("@lr/", m_lr);
        QVERIFY(write(m_elsewhere + "victim.txt", "not the installer's"));
        const bool toFile = link.endsWith(".lrtemplate");
        QVERIFY(
            makeLink(toFile ? m_elsewhere + "victim.txt" : m_elsewhere.chopped(1), m_data + link));
        const Tree elsewhere = snapshot(m_elsewhere);
        const Tree data = snapshot(m_data);
        helper::UniqueFd store;
        std::unique_ptr<helper::Transaction> undo = transaction(store);
        QString error;
        const QList<int> statuses = perform(*undo, {command}, &error);
        QCOMPARE(statuses.size(), 1);
        QVERIFY2(statuses.first() > 0, qPrintable(error));
        QVERIFY2(error.contains("Permission denied (" + m_data + link + " is a symbolic link"),
                 qPrintable(error));
        QCOMPARE(snapshot(m_elsewhere), elsewhere);
        QVERIFY(undo->rollback().ok);
        QCOMPARE(snapshot(m_data), data);
    }

    // A run killed after any of its lines leaves a journal whose recovery
    // puts the data folder back exactly.
    void aKilledRunIsUndoneByTheNext_data()
    {
        QTest::addColumn<int>("lines");
        for (int n = 0; n <= allLines().size(); ++n)
            QTest::addRow("after %d", n) << n;
    }
    void aKilledRunIsUndoneByTheNext()
    {
        QFETCH(int, lines);
        const Tree before = snapshot(m_data);
        const QStringList all = allLines().mid(0, lines);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            helper::UniqueFd store;
            std::unique_ptr<helper::Transaction> undo = transaction(store);
            const QList<int> statuses = perform(*undo, all);
            undo->abandon(); // as if killed: nothing settled
            ::_exit(statuses == QList<int>(lines, 0) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        // The first line finds its folder standing: nothing to record yet.
        QCOMPARE(QFileInfo::exists(m_store + "transaction.journal"), lines > 1);

        helper::UniqueFd store(
            ::open(encoded(m_store).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const helper::Transaction::Recovered recovered = helper::Transaction::recover(
            store.get(), encoded(m_store).toStdString(),
            UserSideOperations::opener(components(m_data), std::nullopt));
        QCOMPARE(recovered.found, lines > 1);
        QVERIFY2(recovered.end.ok, recovered.end.problem.c_str());
        QCOMPARE(snapshot(m_data), before);
        QCOMPARE(snapshot(m_store), Tree());
    }

    // Through the shell: the data folder's own lines are one transaction it
    // can undo; a line of any other kind runs in /bin/sh, and then it cannot.
    void theShellUndoesOnlyWhatItPerformed_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<bool>("undoable");
        QTest::newRow("the data folder's lines") << QString() << true;
        QTest::newRow("and a program") << "touch \"@lr/by-the-shell\"" << false;
    }
    void theShellUndoesOnlyWhatItPerformed()
    {
        QFETCH(QString, extra);
        QFETCH(bool, undoable);
        const Tree before = snapshot(m_data);
        UserSideShell shell(m_data, std::nullopt, std::make_unique<LocalShell>());
        shell.setAppFolder(m_app);
        shell.setJournalFolder(m_store);
        QStringList lines = allLines();
        if (!extra.isEmpty())
            lines << QString(extra).replace("@lr/", m_lr);
        for (const QString &line : std::as_const(lines)) {
            const ShellOutcome outcome = shell.run(line);
            QVERIFY2(!outcome.failure && outcome.status == 0, outcome.standardError.constData());
        }
        QVERIFY(QFileInfo::exists(m_store + "transaction.journal"));
        const ShellEnding ending = shell.finish(false);
        QVERIFY2(ending.ok, qPrintable(ending.problem));
        QCOMPARE(ending.undoable, undoable);
        Tree now = snapshot(m_data);
        QCOMPARE(now.take("/LR/by-the-shell").isEmpty(), undoable);
        QCOMPARE(now, before);
    }

    // What the store takes as the shell settles (the user's receipts) is kept
    // or put back with the data folder: kept, undone, and killed between
    // writing it and the commit, then recovered.
    void theStoreSettlesWithTheRun_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("kept") << "keep";
        QTest::newRow("undone") << "undo";
        QTest::newRow("killed before the commit") << "kill";
    }
    void theStoreSettlesWithTheRun()
    {
        QFETCH(QString, end);
        // As a receipt is written: a new file renamed over the old one.
        const auto replace = [this](const QString &name, const QByteArray &bytes) {
            return write(m_store + name + ".new", bytes) &&
                   ::rename(encoded(m_store + name + ".new").constData(),
                            encoded(m_store + name).constData()) == 0;
        };
        QVERIFY(replace("A.receipt", "old A"));
        const Tree data = snapshot(m_data);
        const Tree store = snapshot(m_store);
        const auto settle = [&](bool keep, const JournalKeeper &keeper) {
            std::string why;
            if (keep && keeper("A.receipt", why) && keeper("B.receipt", why))
                QVERIFY(replace("A.receipt", "new A") && replace("B.receipt", "new B"));
            QVERIFY2(why.empty(), why.c_str());
            if (end == "kill")
                ::_exit(0);
        };
        const auto run = [&](bool keep) {
            UserSideShell shell(m_data, std::nullopt, std::make_unique<LocalShell>());
            shell.setAppFolder(m_app);
            shell.setJournalFolder(m_store);
            shell.setSettleHook(settle);
            for (const QString &line : allLines())
                QCOMPARE(shell.run(line).status, 0);
            const ShellEnding ending = shell.finish(keep);
            QVERIFY2(ending.ok, qPrintable(ending.problem));
        };
        if (end == "kill") {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                run(true);
                ::_exit(1);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            QVERIFY(QFileInfo::exists(m_store + "B.receipt"));
            helper::UniqueFd fd(
                ::open(encoded(m_store).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            const helper::Transaction::Recovered recovered = helper::Transaction::recover(
                fd.get(), encoded(m_store).toStdString(),
                UserSideOperations::opener(components(m_data), std::nullopt));
            QVERIFY(recovered.found && !recovered.committed);
            QVERIFY2(recovered.end.ok, recovered.end.problem.c_str());
        } else {
            run(end == "keep");
        }
        Tree kept = store;
        kept.insert("/A.receipt", "644 new A");
        kept.insert("/B.receipt", "644 new B");
        QCOMPARE(snapshot(m_store), end == "keep" ? kept : store);
        QCOMPARE(snapshot(m_data) == data, end != "keep");
    }
};

QTEST_GUILESS_MAIN(TestUserSideOperations)
#include "tst_usersideoperations.moc"
