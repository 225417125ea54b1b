#include "helper/HelperServer.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
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

        qint64 helperPid = 0;
        {
            PrivilegedSession session(testLauncher(user->first), helperPath);

            ShellOutcome out = session.run("echo \"$USER $LOGNAME\"; pwd; id -u; echo $PPID");
            QVERIFY(!out.failure);
            const QStringList lines = text(out.standardOutput).split('\n');
            QCOMPARE(lines.value(0), user->second + ' ' + user->second);
            QCOMPARE(lines.value(1), QStringLiteral("/"));
            QCOMPARE(lines.value(2), QStringLiteral("0"));
            helperPid = lines.value(3).toLongLong();
            QVERIFY(helperPid > 1);

            // The environment is exactly the clean one (the shell adds PWD).
            out = session.run("env | grep -v '^PWD=' | sort");
            QCOMPARE(text(out.standardOutput),
                     "LANG=C.UTF-8\nLOGNAME=" + user->second +
                         "\nPATH=/usr/sbin:/usr/bin:/sbin:/bin\nUSER=" + user->second + "\n");

            // Outputs come back whole, byte for byte, with the status.
            out = session.run("printf 'a\\000b\\n'; printf 'warn\\n' >&2; exit 7");
            QCOMPARE(out.status, 7);
            QCOMPARE(out.standardOutput, QByteArray("a\0b\n", 4));
            QCOMPARE(out.standardError, QByteArray("warn\n"));

            out = session.run("head -c 3000000 /dev/zero | tr '\\0' x; cat");
            QCOMPARE(out.status, 0);
            QCOMPARE(out.standardOutput, QByteArray(3000000, 'x'));

            out = session.run("kill -TERM $$");
            QCOMPARE(out.status, 128 + SIGTERM);

            // Still the same helper: one authentication serves the whole run.
            out = session.run("echo $PPID");
            QCOMPARE(text(out.standardOutput).trimmed().toLongLong(), helperPid);
        }
        // Ending the session ended the helper.
        QVERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(helperPid)));
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
        const ShellOutcome out = session.run("true");
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
        QCOMPARE(session.run("echo up").standardOutput, QByteArray("up\n"));
        const ShellOutcome out = session.run("kill -KILL $PPID; sleep 1");
        QVERIFY(out.failure);
        QCOMPARE(out.failure->message, QStringLiteral("The privileged helper ended unexpectedly."));
        QCOMPARE(session.run("true").failure->message, out.failure->message);
    }

    void commandsTheHelperCannotTake()
    {
        PrivilegedSession session({"/bin/false"}, helperPath);
        QCOMPARE(session.run(QString("a") + QChar(0) + "b").failure->message,
                 QStringLiteral("The command holds a NUL character."));
        QCOMPARE(session.run(QString(2 << 20, 'x')).failure->message,
                 QStringLiteral("The command is too long for the privileged helper."));
    }
};

QTEST_GUILESS_MAIN(TestPrivilegedSession)
#include "tst_privilegedsession.moc"
