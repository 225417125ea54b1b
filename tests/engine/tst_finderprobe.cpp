// The access probe: the script it runs and what each kind of answer does.
#include "../common/CapturedStdout.h"
#include "../common/DemoResources.h"
#include "../common/RecordingExecutor.h"
#include "engine/FinderProbe.h"
#include "engine/Installer.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

Q_DECLARE_METATYPE(FinderAccess)

namespace {

void settle()
{
    // A job posts its handler only after it has released the waiting caller,
    // so the pool must be idle before the queue holds the handler.
    for (int i = 0; i < 3; ++i) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestFinderProbe : public QObject
{
    Q_OBJECT

private slots:
    void scriptIsSentByteForByte()
    {
        const QStringList lines{"try",
                                "tell application \"Finder\"",
                                "set pathAppSupp to path to application support",
                                "return 1",
                                "end tell",
                                "on error errMsg",
                                "return 0",
                                "end try"};
        QString expected;
        for (const QString &line : lines)
            expected += QString(12, QLatin1Char(' ')) + line + QLatin1Char('\n');
        expected.chop(1);
        QCOMPARE(expected.toUtf8().size(), 223);

        RecordingExecutor scripts;
        AppSettings s;
        Installer installer(s);
        installer.setScriptExecutor(scripts.executor());
        installer.checkAccess();
        QCOMPARE(scripts.sources(), QStringList{expected});
        QCOMPARE(finderProbeScript().toUtf8(), expected.toUtf8());
    }

    // Each outcome of the interpreter, from a state with the alert up and
    // from one with it down.
    void answers_data()
    {
        QTest::addColumn<bool>("created");
        QTest::addColumn<bool>("hasResult");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error"); // empty: no error information
        QTest::addColumn<bool>("alertBefore");
        QTest::addColumn<FinderAccess>("access");
        QTest::addColumn<bool>("alertAfter");
        QTest::addColumn<bool>("installs");

        const auto rows = [](const char *name, bool created, bool hasResult, const QString &result,
                             const QString &error, FinderAccess access, int alert, bool installs) {
            // alert: 1 raised, 0 lowered, -1 left as it was.
            for (bool before : {false, true}) {
                const bool after = alert < 0 ? before : alert == 1;
                QTest::addRow("%s, alert %s", name, before ? "up" : "down")
                    << created << hasResult << result << error << before << access << after
                    << installs;
            }
        };
        const FinderAccess initial = FinderAccess::denied;
        rows("answer 1", true, true, "1", "", FinderAccess::allowed, 0, true);
        rows("answer 0", true, true, "0", "", FinderAccess::denied, 1, false);
        rows("answer -1", true, true, "-1", "", FinderAccess::unknown, 1, false);
        rows("leading zero", true, true, "01", "", FinderAccess::unknown, 1, false);
        rows("leading blank", true, true, " 1", "", FinderAccess::unknown, 1, false);
        rows("trailing line feed", true, true, "1\n", "", FinderAccess::unknown, 1, false);
        rows("empty answer", true, true, "", "", FinderAccess::unknown, 1, false);
        rows("a word", true, true, "true", "", FinderAccess::unknown, 1, false);
        rows("error, result ignored", true, true, "1", "syntax error", FinderAccess::unknown, -1,
             false);
        rows("error, no result", true, false, "", "execution failed", FinderAccess::unknown, -1,
             false);
        rows("no result", true, false, "", "", initial, -1, false);
        rows("no script object", false, false, "", "", initial, -1, false);
    }
    void answers()
    {
        QFETCH(bool, created);
        QFETCH(bool, hasResult);
        QFETCH(QString, result);
        QFETCH(QString, error);
        QFETCH(bool, alertBefore);
        QFETCH(FinderAccess, access);
        QFETCH(bool, alertAfter);
        QFETCH(bool, installs);

        DemoResources resources({"Calmfield 6"});
        QVERIFY(resources.ok());
        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(resources.path());
        s.setProducts(installer.productsToInstall());
        s.setAgreeWithTerms(true);
        s.setCurrentPage(Page::install);
        s.setAccessType(FinderAccess::denied);
        s.setShowFinderAlert(alertBefore);

        RecordingExecutor scripts;
        ScriptOutcome outcome;
        outcome.created = created;
        if (hasResult)
            outcome.result = result;
        if (!error.isEmpty())
            outcome.errorInfo = error;
        scripts.answerProbe(outcome);
        installer.setScriptExecutor(scripts.executor());

        CapturedStdout out;
        installer.checkAccess();
        // The answer is applied afterwards, by the main thread's event loop.
        QCOMPARE(s.accessType(), FinderAccess::denied);
        QCOMPARE(s.showFinderAlert(), alertBefore);
        settle();
        const QByteArray printed = out.text();

        QCOMPARE(s.accessType(), access);
        QCOMPARE(s.showFinderAlert(), alertAfter);
        QCOMPARE(scripts.probeRuns(), 1);
        QCOMPARE(scripts.installRuns(), installs ? 1 : 0);
        QCOMPARE(printed.contains("Error: " + error.toUtf8() + "\n"), !error.isEmpty());
        if (error.isEmpty())
            QVERIFY(!printed.contains("Error: "));
        // The probe never moves the page; only the install it starts does.
        QCOMPARE(s.currentPage(), installs ? Page::summary : Page::install);
    }

    // The alert is lowered only once the install it started has finished.
    void alertLoweredAfterInstall()
    {
        DemoResources resources({"Calmfield 6"});
        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(resources.path());
        s.setProducts(installer.productsToInstall());
        s.setCurrentPage(Page::install);
        s.setShowFinderAlert(true);
        RecordingExecutor scripts;
        scripts.answerProbe(RecordingExecutor::answer("1"));
        installer.setScriptExecutor(scripts.executor());
        bool alertDuringInstall = false;
        int waits = 0;
        connect(&installer, &Installer::scriptWaitStarted, this, [&] {
            if (++waits == 2)
                alertDuringInstall = s.showFinderAlert();
        });
        installer.checkAccess();
        settle();
        QCOMPARE(waits, 2);
        QVERIFY(alertDuringInstall);
        QVERIFY(!s.showFinderAlert());
    }
};

QTEST_GUILESS_MAIN(TestFinderProbe)
#include "tst_finderprobe.moc"
