// The log of each install run: its text, its name, the pruning of old logs and
// a folder that cannot be written.
#include "../common/ScopedVariable.h"
#include "engine/RunLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool touch(const QString &path, const QDateTime &modified, int flags = 0)
{
    const qint64 ms = modified.toMSecsSinceEpoch();
    const timespec time{time_t(ms / 1000), long(ms % 1000) * 1000000};
    const timespec times[2] = {time, time};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, flags) == 0;
}

bool writeFile(const QString &path, const QDateTime &modified)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
            return false;
    }
    return touch(path, modified);
}

QString logName(const QDateTime &start)
{
    return start.toString(QStringLiteral("'install-'yyyy-MM-dd'T'HH-mm-ss.zzz'.log'"));
}

CommandReport report(int number, const QString &command, bool privileged, qint64 startedMs,
                     qint64 durationMs, int status, const QByteArray &standardError = {})
{
    CommandReport r;
    r.number = number;
    r.command = command;
    r.privileged = privileged;
    r.startedMs = startedMs;
    r.durationMs = durationMs;
    r.status = status;
    r.standardError = standardError;
    return r;
}

} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void content_data()
    {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("offsetText");
        QTest::newRow("UTC") << 0 << "+0000";
        QTest::newRow("ahead, half hour") << (5 * 3600 + 1800) << "+0530";
        QTest::newRow("behind") << (-3 * 3600) << "-0300";
    }
    void content()
    {
        QFETCH(int, offsetSeconds);
        QFETCH(QString, offsetText);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now(QDate(2026, 12, 8), QTime(3, 15, 42, 123), QTimeZone(offsetSeconds));
        const qint64 t0 = now.toMSecsSinceEpoch();
        const QString script = QStringLiteral("set target to \"/opt/Quorvantic/\"\n"
                                              "do shell script \"mkdir -p \" & target\n"
                                              "return \"Installed 100%1.\"");
        CommandReport refused =
            report(3, QStringLiteral("rm -rf \"/opt/Quorvantic/old\""), true, t0 + 877, 0, 0);
        refused.failure = ScriptError::raised(-60005, QStringLiteral("Refused %1 %2."), 4);
        {
            RunLog log(script, StateFolder::at(dir.path()), now);
            QVERIFY2(log.warning().isEmpty(), qPrintable(log.warning()));
            QCOMPARE(log.path(),
                     dir.filePath(QStringLiteral("install-2026-12-08T03-15-42.123.log")));
            log.command(
                report(1, QStringLiteral("mkdir -p \"/opt/Quorvantic/\""), true, t0 + 77, 12, 0));
            log.command(report(2, QStringLiteral("cp -R \"a\" \\\n\"b\" ~/x"), false, t0 + 92, 40,
                               1,
                               "cp: cannot stat 'a': No such file or directory\n"
                               "cp: cannot stat 'b': No such file or directory\n"));
            log.command(refused);
            log.finish(QStringLiteral("Installed 100%1."));
        }
        const QString expected =
            QStringLiteral("Quorvantic Plugin Installer run, started 2026-12-08 03:15:42.123 ") +
            offsetText +
            QStringLiteral("\n"
                           "--- script\n"
                           "set target to \"/opt/Quorvantic/\"\n"
                           "do shell script \"mkdir -p \" & target\n"
                           "return \"Installed 100%1.\"\n"
                           "--- commands\n"
                           "[03:15:42.200] #1 (administrator) mkdir -p \"/opt/Quorvantic/\"\n"
                           "    status 0, 12 ms\n"
                           "[03:15:42.215] #2 (user) cp -R \"a\" \\\n"
                           "    \"b\" ~/x\n"
                           "    status 1, 40 ms\n"
                           "    cp: cannot stat 'a': No such file or directory\n"
                           "    cp: cannot stat 'b': No such file or directory\n"
                           "[03:15:43.000] #3 (administrator) rm -rf \"/opt/Quorvantic/old\"\n"
                           "    failed: Refused %1 %2. (error -60005, line 4), 0 ms\n"
                           "--- answer\n"
                           "Installed 100%1.\n");
        QCOMPARE(readAll(dir.filePath(QStringLiteral("install-2026-12-08T03-15-42.123.log"))),
                 expected);
    }

    // Each command is on disk as soon as it is logged; nothing is added once
    // the run has answered; a log dropped unanswered says so.
    void lifecycle()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        QString answered;
        {
            RunLog log(QStringLiteral("s"), StateFolder::at(dir.path()), now);
            answered = log.path();
            log.command(report(1, QStringLiteral("true"), false, now.toMSecsSinceEpoch(), 1, 0));
            QVERIFY(readAll(answered).endsWith(QStringLiteral(" #1 (user) true\n"
                                                              "    status 0, 1 ms\n")));
            log.finish(QStringLiteral("done"));
            log.command(report(2, QStringLiteral("late"), false, now.toMSecsSinceEpoch(), 1, 0));
            log.finish(QStringLiteral("again"));
            QCOMPARE(log.path(), answered);
            QVERIFY(log.warning().isEmpty());
        }
        QVERIFY(readAll(answered).endsWith(QStringLiteral("--- answer\ndone\n")));

        QString dropped;
        {
            RunLog log(QStringLiteral("s"), StateFolder::at(dir.path()), now);
            dropped = log.path();
        }
        QVERIFY(dropped != answered);
        QVERIFY(readAll(dropped).endsWith(
            QStringLiteral("--- commands\n--- no answer: the run ended before giving one\n")));
    }

    void sameStart()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        RunLog first(QStringLiteral("one"), StateFolder::at(dir.path()), now);
        RunLog second(QStringLiteral("two"), StateFolder::at(dir.path()), now);
        RunLog third(QStringLiteral("three"), StateFolder::at(dir.path()), now);
        QString stem = dir.filePath(logName(now));
        stem.chop(4);
        QCOMPARE(first.path(), stem + QStringLiteral(".log"));
        QCOMPARE(second.path(), stem + QStringLiteral("-2.log"));
        QCOMPARE(third.path(), stem + QStringLiteral("-3.log"));
        // None overwrote another.
        QVERIFY(readAll(first.path()).contains(QStringLiteral("--- script\none\n")));
        QVERIFY(readAll(second.path()).contains(QStringLiteral("--- script\ntwo\n")));
        QVERIFY(readAll(third.path()).contains(QStringLiteral("--- script\nthree\n")));
        // And all three are logs of this kind, pruned once too old.
        for (const RunLog *log : {&first, &second, &third})
            QVERIFY(touch(log->path(), now.addDays(-31)));
        const RunLog later(QStringLiteral("later"), StateFolder::at(dir.path()), now);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QFileInfo(later.path()).fileName()});
    }

    // Old logs: index i is i * stepHours + firstHours old, named by that time.
    void rotation_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("firstHours");
        QTest::addColumn<double>("stepHours");
        QTest::addColumn<int>("kept");
        QTest::newRow("25 over 40 days") << 25 << 6.0 << (1.6 * 24) << 19;
        QTest::newRow("count binds") << 25 << 1.0 << 7.0 << 19;
        QTest::newRow("age binds") << 10 << (25.0 * 24 + 6) << 24.0 << 5;
        QTest::newRow("few and recent") << 5 << 1.0 << 24.0 << 5;
    }
    void rotation()
    {
        QFETCH(int, count);
        QFETCH(double, firstHours);
        QFETCH(double, stepHours);
        QFETCH(int, kept);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime ancient = now.addDays(-50);
        QStringList old;
        for (int i = 0; i < count; ++i) {
            const QDateTime when = now.addSecs(-qint64((firstHours + i * stepHours) * 3600));
            old << dir.filePath(logName(when));
            QVERIFY(writeFile(old.last(), when));
        }
        // Not logs of this kind, all old enough to go if they were.
        QStringList others{dir.filePath(QStringLiteral("notes.txt")),
                           dir.filePath(QStringLiteral("install-2026-01-01.log")),
                           dir.filePath(logName(ancient) + QStringLiteral(".bak")),
                           dir.filePath(QStringLiteral("x") + logName(ancient))};
        for (const QString &other : others)
            QVERIFY(writeFile(other, ancient));
        const QString folderNamedLikeLog = dir.filePath(logName(ancient.addSecs(1)));
        QVERIFY(QDir().mkdir(folderNamedLikeLog) && touch(folderNamedLikeLog, ancient));
        const QString linkNamedLikeLog = dir.filePath(logName(ancient.addSecs(2)));
        QVERIFY(QFile::link(others.first(), linkNamedLikeLog));
        QVERIFY(touch(linkNamedLikeLog, ancient, AT_SYMLINK_NOFOLLOW));
        others << folderNamedLikeLog << linkNamedLikeLog;

        RunLog log(QStringLiteral("s"), StateFolder::at(dir.path()), now);
        QVERIFY(QFile::exists(log.path()));
        for (int i = 0; i < count; ++i)
            QVERIFY2(QFileInfo::exists(old[i]) == (i < kept), qPrintable(QString::number(i)));
        for (const QString &other : others)
            QVERIFY2(QFileInfo(other).isSymLink() || QFileInfo::exists(other), qPrintable(other));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoSymLinks).size(), kept + 1 + 4);
    }

    void unwritable_data()
    {
        QTest::addColumn<QString>("folder"); // under the temporary folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file in its place") << "file"
                                             << "is a file";
        QTest::newRow("beneath a file") << "file/logs/more"
                                        << "is a file";
        QTest::newRow("a dangling link in its place") << "dangling"
                                                      << "No such file or directory";
    }
    void unwritable()
    {
        QFETCH(QString, folder);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath(QStringLiteral("file")), QDateTime::currentDateTime()));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(QStringLiteral("dangling"))));
        const QString path = dir.filePath(folder);
        RunLog log(QStringLiteral("s"), StateFolder::at(path), QDateTime::currentDateTime());
        QCOMPARE(log.path(), QString());
        QVERIFY2(log.warning().contains(QLatin1Char('"') + path + QLatin1Char('"')),
                 qPrintable(log.warning()));
        QVERIFY2(log.warning().contains(reason), qPrintable(log.warning()));
        log.command(report(1, QStringLiteral("true"), false, 0, 0, 0));
        log.finish(QStringLiteral("a"));
        QCOMPARE(log.path(), QString());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("file"))), QStringLiteral("x"));
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                     .size(),
                 2);
    }

    // Root ignores permission bits, so as root the folder is made read-only by
    // a bind mount in a child's private mount namespace, which dies with it.
    void readOnlyFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("logs"));
        QVERIFY(QDir().mkdir(folder));
        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            RunLog log(QStringLiteral("s"), StateFolder::at(folder));
            QCOMPARE(log.path(), QString());
            QVERIFY2(log.warning().contains(QStringLiteral("Permission denied")),
                     qPrintable(log.warning()));
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            const QByteArray target = QFile::encodeName(folder);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                if (::unshare(CLONE_NEWNS) != 0 ||
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    ::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) !=
                        0 ||
                    ::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                            nullptr) != 0)
                    ::_exit(77);
                RunLog log(QStringLiteral("s"), StateFolder::at(folder));
                log.finish(QStringLiteral("a"));
                const bool refused =
                    log.path().isEmpty() &&
                    log.warning().contains(QStringLiteral("Read-only file system"));
                ::_exit(refused ? 0 : 1);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            if (WEXITSTATUS(status) == 77)
                QSKIP("No private mount namespace here to make a read-only folder in");
            QCOMPARE(WEXITSTATUS(status), 0);
        }
        QVERIFY(QDir(folder).isEmpty());
    }

    void defaultFolder_data()
    {
        QTest::addColumn<QByteArray>("stateHome"); // null: unset
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected"); // empty: under the account's home
        QTest::newRow("state home") << QByteArray("/var/tmp/state") << QByteArray("/h")
                                    << "/var/tmp/state/quorvantic-installer";
        QTest::newRow("state home, trailing slash")
            << QByteArray("/var/tmp/state/") << QByteArray("/h")
            << "/var/tmp/state/quorvantic-installer";
        QTest::newRow("relative state home")
            << QByteArray("state") << QByteArray("/h") << "/h/.local/state/quorvantic-installer";
        QTest::newRow("empty state home")
            << QByteArray("") << QByteArray("/h") << "/h/.local/state/quorvantic-installer";
        QTest::newRow("no state home")
            << QByteArray() << QByteArray("/h/") << "/h/.local/state/quorvantic-installer";
        QTest::newRow("relative home") << QByteArray() << QByteArray("h") << QString();
        QTest::newRow("no home") << QByteArray("rel") << QByteArray() << QString();
    }
    void defaultFolder()
    {
        QFETCH(QByteArray, stateHome);
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        if (expected.isEmpty()) {
            const passwd *account = ::getpwuid(::getuid());
            if (!account || account->pw_dir[0] != '/')
                QSKIP("This account names no absolute home");
            expected = QDir::cleanPath(QFile::decodeName(account->pw_dir) +
                                       QStringLiteral("/.local/state/quorvantic-installer"));
        }
        const ScopedVariable state("XDG_STATE_HOME", stateHome);
        const ScopedVariable homeVariable("HOME", home);
        QCOMPARE(StateFolder::environmentFolder(), expected);
    }
};

QTEST_GUILESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
