#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
