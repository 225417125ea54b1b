#include "../common/ProcStat.h"
#include "helper/HelperServer.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QString helperPath = QStringLiteral(QUORVANTIC_LIBEXEC_DIR "/quorvantic-helper");

// Stands in for pkexec: starts the helper as this (root) process, with the
// variable pkexec would set.
QStringList testLauncher(uid_t uid)
{
    return {"/usr/bin/env", "PKEXEC_UID=" + QString::number(uid)};
}

// A user other than root, so USER shows it came from PKEXEC_UID.
std::optional<std::pair<uid_t, QString>> otherUser()
{
    for (const char *name : {"nobody", "daemon"})
        if (const passwd *entry = ::getpwnam(name))
            return std::make_pair(entry->pw_uid, QString::fromLatin1(name));
    return std::nullopt;
}

// An install operation that changes nothing on this machine.
const QString absent = QStringLiteral("rm -R -f \"/opt/Quorvantic/.quorvantic-test-absent\"");

// A file that only a refused command would make.
const QString witness = QStringLiteral("/tmp/quorvantic-test-refused-command-ran");

// The helpers of this build now running as children of this process.
// The parent of `pid`, from /proc; 0 when it is gone.
qint64 parentOf(qint64 pid)
{
    const QList<QByteArray> fields = procStatFields(pid);
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

// Only this test's helpers: others may run the same one meanwhile.
bool startedHere(qint64 pid)
{
    for (qint64 at = pid; at > 1; at = parentOf(at)) {
        if (at == ::getpid())
            return true;
    }
    return false;
}

QList<qint64> helperPids()
{
    QList<qint64> pids;
    const QString helper = QFileInfo(helperPath).canonicalFilePath();
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && QFileInfo("/proc/" + entry + "/exe").symLinkTarget() == helper &&
            startedHere(pid))
            pids.append(pid);
    }
    return pids;
}

QString text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

class TestPrivilegedSession : public QObject
{
    Q_OBJECT

private slots:
    void realHelper()
    {
        if (::geteuid() != 0)
            QSKIP("starting the helper without pkexec needs root (the tests run as root in CI)");
        const auto user = otherUser();
        if (!user)
            QSKIP("no unprivileged account (nobody, daemon) on this machine");

        QVERIFY(helperPids().isEmpty());
        {
            PrivilegedSession session(testLauncher(user->first), helperPath);
            ShellOutcome out = session.run(absent);
            QVERIFY(!out.failure);
            QCOMPARE(out.status, 0);
            const QList<qint64> started = helperPids();
            QCOMPARE(started.size(), 1);
            // Nothing of this user may open our end of its pipes or trace us.
            QCOMPARE(::prctl(PR_GET_DUMPABLE), 0);

            // An operation the helper could not do answers with its reason.
            out = session.run("rm -R -f \"/etc/quorvantic-test-absent\"");
            QVERIFY(!out.failure);
            QCOMPARE(out.status, 1);
            QVERIFY(text(out.standardError).contains("/etc/quorvantic-test-absent"));

            // Still the same helper: one authentication serves the whole run.
            QCOMPARE(session.run(absent).status, 0);
            QCOMPARE(helperPids(), started);
        }
        // Ending the session ended the helper.
        QVERIFY(helperPids().isEmpty());
    }

    // Anything but an install operation is refused, runs nothing, and ends the
    // session: every later command of the run gets the same refusal.
    void refusesShellCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("a program") << "id > " + witness;
        QTest::newRow("after an operation") << absent + "; touch " + witness;
        QTest::newRow("in an operand") << "rm -R -f \"/opt/Quorvantic/$(touch " + witness + ")\"";
        QTest::newRow("a pipeline") << "echo x | tee " + witness;
    }
    void refusesShellCommands()
    {
        QFETCH(QString, command);
        if (::geteuid() != 0)
            QSKIP("starting the helper without pkexec needs root (the tests run as root in CI)");
        QFile::remove(witness);
        PrivilegedSession session(testLauncher(0), helperPath);
        QCOMPARE(session.run(absent).status, 0);
        const ShellOutcome out = session.run(command);
        QVERIFY(out.failure);
        QCOMPARE(out.failure->message,
                 "The privileged helper refused: not an install operation: " + command);
        QCOMPARE(session.run(absent).failure->message, out.failure->message);
        QVERIFY(!QFile::exists(witness));
        QVERIFY(helperPids().isEmpty());
    }

    // pkexec is taken from its fixed places, never from PATH, where a program
    // of the user's could show a password prompt of its own.
    void pkexecNotFromPath()
    {
        QTemporaryDir bin;
        QFile fake(bin.filePath("pkexec"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\nexit 0\n");
        fake.close();
        fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeOther);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
        const QStringList launcher = PrivilegedSession::pkexecLauncher();
        qputenv("PATH", path);
        QVERIFY(launcher.size() <= 1);
        if (!launcher.isEmpty())
            QVERIFY2(launcher.first() == "/usr/bin/pkexec" || launcher.first() == "/bin/pkexec",
                     qPrintable(launcher.first()));
    }

    // The helper refuses unless PKEXEC_UID names a user.
    void helperRefuses_data()
    {
        QTest::addColumn<QStringList>("launcher");
        QTest::newRow("no PKEXEC_UID") << QStringList{"/usr/bin/env", "-u", "PKEXEC_UID"};
        QTest::newRow("not a number") << QStringList{"/usr/bin/env", "PKEXEC_UID=root"};
        QTest::newRow("no such user") << QStringList{"/usr/bin/env", "PKEXEC_UID=4294967290"};
        QTest::newRow("empty") << QStringList{"/usr/bin/env", "PKEXEC_UID="};
    }
    void helperRefuses()
    {
        QFETCH(QStringList, launcher);
        if (::geteuid() != 0)
            QSKIP("needs root, or the helper refuses for not being root first");
        PrivilegedSession session(launcher, helperPath);
        const ShellOutcome out = session.run(absent);
        QVERIFY(out.failure);
        QCOMPARE(out.failure->number, -60008);
        QCOMPARE(out.failure->message,
                 QStringLiteral("The privileged helper refused: refusing to run: PKEXEC_UID does "
                                "not name a user"));
    }

    void helperRefusesNonRoot()
    {
        if (::geteuid() == 0)
            QSKIP("runs only where the tests do not run as root");
        PrivilegedSession session(testLauncher(::getuid()), helperPath);
        const ShellOutcome out = session.run("true");
        QVERIFY(out.failure);
        QVERIFY(out.failure->message.contains("must run as root"));
    }

    // What the launcher's own exit statuses and a missing launcher or helper
    // turn into. None of these needs root: the helper never starts.
    void startFailures_data()
    {
        QTest::addColumn<QStringList>("launcher");
        QTest::addColumn<QString>("helper");
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("dismissed (126)") << QStringList{"/bin/sh", "-c", "exit 126"} << helperPath
                                         << qint64(-128) << "User canceled.";
        QTest::newRow("refused (127)")
            << QStringList{"/bin/sh", "-c", "exit 127"} << helperPath << qint64(-60005)
            << "The administrator authorisation was refused.";
        QTest::newRow("refused with a reason")
            << QStringList{"/bin/sh", "-c", "echo 'Not authorized.' >&2; exit 127"} << helperPath
            << qint64(-60005) << "The administrator authorisation was refused: Not authorized.";
        QTest::newRow("polkit unreachable (127)")
            << QStringList{"/bin/sh", "-c",
                           "echo 'Error checking for authorization x: GDBus.Error: The name "
                           "org.freedesktop.PolicyKit1 was not provided' >&2; exit 127"}
            << helperPath << qint64(-60005)
            << "The administrator authorisation could not be asked for: polkit is not running or "
               "cannot be reached (Error checking for authorization x: GDBus.Error: The name "
               "org.freedesktop.PolicyKit1 was not provided)";
        QTest::newRow("other status")
            << QStringList{"/bin/sh", "-c", "exit 3"} << helperPath << qint64(-60008)
            << "The privileged helper could not be started: exit status 3.";
        QTest::newRow("no pkexec")
            << QStringList{} << helperPath << qint64(-60008)
            << "Administrator commands need pkexec, which is not installed (install the package "
               "pkexec).";
        QTest::newRow("launcher missing")
            << QStringList{"/nonexistent/pkexec"} << helperPath << qint64(-60008)
            << "The privileged helper could not be started: execvp: No such file or directory.";
        QTest::newRow("helper missing")
            << QStringList{"/usr/bin/env"} << "/nonexistent/quorvantic-helper" << qint64(-60008)
            << "The privileged helper is missing: /nonexistent/quorvantic-helper.";
        QTest::newRow("helper path relative")
            << QStringList{"/usr/bin/env"} << "quorvantic-helper" << qint64(-60008)
            << "The privileged helper is missing: quorvantic-helper.";
        QTest::newRow("greets wrongly")
            << QStringList{"/bin/sh", "-c", "printf 'H\\000\\000\\000\\002hi'; cat >/dev/null"}
            << helperPath << qint64(-60008) << "The privileged helper answered out of turn.";
    }
    void startFailures()
    {
        QFETCH(QStringList, launcher);
        QFETCH(QString, helper);
        QFETCH(qint64, number);
        QFETCH(QString, message);
        PrivilegedSession session(launcher, helper);
        const ShellOutcome out = session.run("true");
        QVERIFY(out.failure);
        QCOMPARE(out.failure->number, number);
        QCOMPARE(out.failure->message, message);
    }

    // After a dismissed dialog the run does not ask again.
    void failureIsKeptForTheRun()
    {
        QTemporaryDir dir;
        const QString count = dir.filePath("launches");
        PrivilegedSession session({"/bin/sh", "-c", "echo x >> '" + count + "'; exit 126"},
                                  helperPath);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(session.run("true").failure->message, QStringLiteral("User canceled."));
        QFile file(count);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("x\n"));
    }

    // The install script's trap turns a dismissed dialog into its answer.
    void canceledIsTheScriptsAnswer()
    {
        EvaluationContext context = Interpreter::platformContext();
        context.makeAdministratorShell = [] {
            return std::make_unique<PrivilegedSession>(QStringList{"/bin/sh", "-c", "exit 126"},
                                                       helperPath);
        };
        const ScriptRun run = Interpreter(context).run(
            "try\ndo shell script \"mkdir -p \\\"/x\\\"\" with administrator privileges\n\non "
            "error errMsg\nreturn errMsg\nend try\nreturn \"Ok\"");
        QCOMPARE(run.result, std::optional<QString>("User canceled."));
    }

    void helperDiesMidRun()
    {
        if (::geteuid() != 0)
            QSKIP("starting the helper without pkexec needs root (the tests run as root in CI)");
        PrivilegedSession session(testLauncher(0), helperPath);
        QCOMPARE(session.run(absent).status, 0);
        const QList<qint64> helpers = helperPids();
        QCOMPARE(helpers.size(), 1);
        QCOMPARE(::kill(pid_t(helpers.first()), SIGKILL), 0);
        const ShellOutcome out = session.run(absent);
        QVERIFY(out.failure);
        QCOMPARE(out.failure->message, QStringLiteral("The privileged helper ended unexpectedly."));
        QCOMPARE(session.run(absent).failure->message, out.failure->message);
    }

    void commandsTheHelperCannotTake()
    {
        PrivilegedSession session({"/bin/false"}, helperPath);
        QCOMPARE(session.run(QString("a") + QChar(0) + "b").failure->message,
                 QStringLiteral("The command holds a NUL character."));
        for (const qsizetype size : {qsizetype(128 << 10), qsizetype(2 << 20)})
            QCOMPARE(session.run(QString(size, 'x')).failure->message,
                     QStringLiteral("The command is too long for the privileged helper."));
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedSession)
#include "tst_privilegedsession.moc"
