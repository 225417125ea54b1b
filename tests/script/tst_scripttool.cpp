#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

namespace {

const QString tool = QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-script");

} // namespace

// The command-line front end: what it prints where, and its exit statuses.
class TestScriptTool : public QObject
{
    Q_OBJECT

private slots:
    void runs_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("fromStdin");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("result") << QByteArray("return \"Ok\"") << false << 0 << QByteArray("Ok\n")
                                << QByteArray();
        QTest::newRow("from standard input")
            << QByteArray("set n to 3\nn") << true << 0 << QByteArray("3\n") << QByteArray();
        QTest::newRow("shell output keeps its carriage returns")
            << QByteArray("do shell script \"printf 'a\\\\nb'\"") << false << 0
            << QByteArray("a\rb\n") << QByteArray();
        QTest::newRow("no result")
            << QByteArray("-- nothing") << false << 0 << QByteArray() << QByteArray();
        QTest::newRow("uncaught error")
            << QByteArray("do shell script \"echo gone >&2; exit 5\"") << false << 1 << QByteArray()
            << QByteArray("Error: gone (error 5, line 1)\n");
        QTest::newRow("compile error")
            << QByteArray("set x to") << true << 2 << QByteArray()
            << QByteArray("Error: Expected expression but found end of script. (error -2741, "
                          "line 1, character 8)\n");
        // Sizes: what cannot run or be held is refused with its reason.
        QTest::newRow("a script beyond 64 MiB")
            << QByteArray("-- ") + QByteArray(64 << 20, 'x') << true << 2 << QByteArray()
            << QByteArray("Error: the script is larger than 64 MiB; nothing was run\n");
        QTest::newRow("output beyond 64 MiB")
            << QByteArray("do shell script \"head -c 70000000 /dev/zero\"") << false << 1
            << QByteArray()
            << QByteArray("Error: The command's output was larger than 64 MiB: head -c 70000000 "
                          "/dev/zero (error -60010, line 1)\n");
        QTest::newRow("the longest command that can run")
            << QByteArray("do shell script \": ") + QByteArray((128 << 10) - 3, 'x') + "\"" << false
            << 0 << QByteArray("\n") << QByteArray();
        QTest::newRow("a command one byte longer")
            << QByteArray("do shell script \": ") + QByteArray((128 << 10) - 2, 'x') + "\"" << false
            << 1 << QByteArray()
            << QByteArray("Error: The command is too long to run (131072 bytes; at most 131071). "
                          "(error -10000, line 1)\n");
        QTest::newRow("not UTF-8") << QByteArray("return \"\xff\"") << false << 2 << QByteArray()
                                   << QByteArray("Error: the script is not UTF-8 text\n");
    }
    void runs()
    {
        QFETCH(QByteArray, source);
        QFETCH(bool, fromStdin);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        const QString file = dir.filePath("script.applescript");
        QProcess process;
        if (fromStdin) {
            process.start(tool, {"-"});
            process.write(source);
            process.closeWriteChannel();
        } else {
            QFile script(file);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(source);
            script.close();
            process.start(tool, {file});
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.readAllStandardOutput(), out);
        QCOMPARE(process.readAllStandardError(), err);
        QCOMPARE(process.exitCode(), exitCode);
    }

    // A signal while a user-side command runs: the command has its grace (5 s)
    // and is then ended with its process group, no further command starts,
    // and the tool says why and exits with 128 plus the signal, leaving
    // nothing of the command running. A second SIGINT ends the tool at once.
    void signalStopsTheRun_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("twice");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGTERM") << SIGTERM << false << 143;
        QTest::newRow("SIGINT") << SIGINT << false << 130;
        QTest::newRow("SIGINT twice") << SIGINT << true << 130;
    }
    void signalStopsTheRun()
    {
        QFETCH(int, signal);
        QFETCH(bool, twice);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("pid");
        const QString after = dir.filePath("after");
        QFile script(dir.filePath("script.applescript"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("do shell script \"echo $$ > '%1'; sleep 30\"\n"
                                    "do shell script \"touch '%2'\"\n")
                         .arg(pidFile, after)
                         .toUtf8());
        script.close();
        QProcess process;
        process.start(tool, {script.fileName()});
        QVERIFY(process.waitForStarted());
        // Taken once: a process that has ended has id 0, and kill(0) would
        // signal this test's own process group.
        const pid_t toolPid = pid_t(process.processId());
        QVERIFY(toolPid > 0);
        pid_t shell = 0;
        for (int i = 0; i < 400 && shell <= 0; ++i) {
            QTest::qWait(50);
            QFile recorded(pidFile);
            if (recorded.open(QIODevice::ReadOnly))
                shell = recorded.readAll().trimmed().toInt();
        }
        QVERIFY2(shell > 0, "the command never ran");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(::kill(toolPid, signal) == 0);
        if (twice) {
            QTest::qWait(200);
            QVERIFY(::kill(toolPid, signal) == 0);
        }
        const bool ended = process.waitForFinished(30000);
        const qint64 took = timer.elapsed();
        if (twice) // what the tool could not wait for is ended here
            ::kill(-shell, SIGKILL);
        QVERIFY(ended);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY2(took < (twice ? 3000 : 20000), qPrintable(QString::number(took)));
        QVERIFY(process.readAllStandardError().startsWith("Error: "));
        QVERIFY(!QFile::exists(after));
        if (!twice) {
            // Neither the shell nor anything of its process group is left,
            // once what was ended as the tool exited has been reaped.
            QVERIFY(::kill(shell, 0) != 0 && errno == ESRCH);
            QTRY_VERIFY_WITH_TIMEOUT(::kill(-shell, 0) != 0 && errno == ESRCH, 5000);
        }
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("two files") << QStringList{"a", "b"};
        QTest::newRow("help") << QStringList{"--help"};
        QTest::newRow("an unknown option") << QStringList{"--frobnicate"};
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(tool, arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 64);
        QVERIFY(process.readAllStandardError().startsWith("usage: quorvantic-script"));
    }
};

QTEST_GUILESS_MAIN(TestScriptTool)
#include "tst_scripttool.moc"
