// A command the user's side runs, stopped: it may finish within the grace,
// then its whole process group is ended, TERM first, KILL for what ignores it.
#include "script/LocalShell.h"

#include <QTest>

#include <chrono>
#include <csignal>
#include <thread>

class TestLocalShell : public QObject
{
    Q_OBJECT

private slots:
    void stopEndsTheProcessGroup_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::newRow("a long command") << "sleep 30" << 128 + SIGTERM;
        QTest::newRow("a child that keeps the output open")
            << "sleep 30 & sleep 30; wait" << 128 + SIGTERM;
        QTest::newRow("one that ignores TERM") << "trap '' TERM; sleep 30" << 128 + SIGKILL;
        QTest::newRow("done within the grace") << "sleep 0.05; exit 3" << 3;
    }
    void stopEndsTheProcessGroup()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        auto stop = std::make_shared<std::atomic<bool>>(false);
        LocalShell shell;
        shell.setStopFlag(stop);
        shell.setStopGrace(100);
        std::thread raiser([stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            *stop = true;
        });
        const ShellOutcome outcome = shell.run(command);
        raiser.join();
        QVERIFY(!outcome.failure);
        QCOMPARE(outcome.status, status);
    }

    void noFlagNoStop()
    {
        LocalShell shell;
        QCOMPARE(shell.run("sleep 0.3; echo done").standardOutput, QByteArray("done\n"));
    }
};

QTEST_GUILESS_MAIN(TestLocalShell)
#include "tst_localshell.moc"
