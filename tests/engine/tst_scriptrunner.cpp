#include "engine/Installer.h"

#include "../common/CapturedStdout.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>

Q_DECLARE_METATYPE(ScriptOutcome)

namespace {

ScriptOutcome answer(const QString &text)
{
    return ScriptOutcome{true, text, std::nullopt};
}

ScriptOutcome failure(const QString &info)
{
    return ScriptOutcome{true, std::nullopt, info};
}

// Lets the job finish (it posts the handler before it ends), then runs the
// posted handler on this, the main, thread.
void runPostedHandlers()
{
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(0);
    QCoreApplication::processEvents();
}

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

private slots:
    // Each row runs the given outcomes one after another, as the interpreter
    // would hand them back, and checks the state and standard output after.
    void outcomes_data()
    {
        QTest::addColumn<QList<ScriptOutcome>>("runs");
        QTest::addColumn<Page>("page");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QByteArray>("output");

        QTest::newRow("Ok") << QList{answer("Ok")} << Page::summary << false << ""
                            << QByteArray("ERROR VALUE Ok\n");
        QTest::newRow("User canceled.")
            << QList{answer("User canceled.")} << Page::install << false << "" << QByteArray();
        QTest::newRow("ok in lower case") << QList{answer("ok")} << Page::summary << true << "ok"
                                          << QByteArray("ERROR VALUE ok\n");
        QTest::newRow("Ok with a trailing blank") << QList{answer("Ok ")} << Page::summary << true
                                                  << "Ok " << QByteArray("ERROR VALUE Ok \n");
        QTest::newRow("user canceled. in lower case")
            << QList{answer("user canceled.")} << Page::summary << true << "user canceled."
            << QByteArray("ERROR VALUE user canceled.\n");
        QTest::newRow("User canceled. with a trailing blank")
            << QList{answer("User canceled. ")} << Page::summary << true << "User canceled. "
            << QByteArray("ERROR VALUE User canceled. \n");
        QTest::newRow("empty answer")
            << QList{answer("")} << Page::summary << true << "" << QByteArray("ERROR VALUE \n");
        QTest::newRow("a command's message")
            << QList{answer("cp: cannot stat '/x': No such file or directory")} << Page::summary
            << true << "cp: cannot stat '/x': No such file or directory"
            << QByteArray("ERROR VALUE cp: cannot stat '/x': No such file or directory\n");
        QTest::newRow("interpreter failure")
            << QList{failure("Expected \"to\" but found end of line. (error -2741, line 1)")}
            << Page::install << true << ""
            << QByteArray("Error: Expected \"to\" but found end of line. (error -2741, line 1)\n");
        QTest::newRow("error information and an answer")
            << QList{ScriptOutcome{true, QString("Ok"), QString("late")}} << Page::summary << true
            << "" << QByteArray("Error: late\nERROR VALUE Ok\n");
        QTest::newRow("no script object") << QList{ScriptOutcome{false, std::nullopt, std::nullopt}}
                                          << Page::install << false << "" << QByteArray();
        QTest::newRow("no script object, whatever else it says")
            << QList{ScriptOutcome{false, QString("Ok"), QString("x")}} << Page::install << false
            << "" << QByteArray();
        QTest::newRow("no result at all") << QList{ScriptOutcome{true, std::nullopt, std::nullopt}}
                                          << Page::install << false << "" << QByteArray();
        QTest::newRow("canceled, then failed")
            << QList{answer("User canceled."), answer("User canceled."), answer("rm: denied")}
            << Page::summary << true << "rm: denied" << QByteArray("ERROR VALUE rm: denied\n");
        QTest::newRow("canceled, then Ok")
            << QList{answer("User canceled."), answer("Ok")} << Page::summary << false << ""
            << QByteArray("ERROR VALUE Ok\n");
        QTest::newRow("interpreter failure, then Ok")
            << QList{failure("broken"), answer("Ok")} << Page::summary << true << ""
            << QByteArray("Error: broken\nERROR VALUE Ok\n");
    }
    void outcomes()
    {
        QFETCH(QList<ScriptOutcome>, runs);
        QFETCH(Page, page);
        QFETCH(bool, failed);
        QFETCH(QString, log);
        QFETCH(QByteArray, output);

        AppSettings settings;
        Installer installer(settings);
        settings.setCurrentPage(Page::install);
        int changes = 0;
        connect(&settings, &AppSettings::objectWillChange, this, [&changes] { ++changes; });

        CapturedStdout captured;
        for (const ScriptOutcome &outcome : runs) {
            std::atomic<bool> onWorker = false;
            const QString script = QStringLiteral("return \"run\"");
            QString seen;
            installer.setScriptExecutor([&, outcome](const QString &source) {
                onWorker = QThread::currentThread() != QCoreApplication::instance()->thread();
                seen = source;
                return outcome;
            });
            const int before = changes;
            const Page pageBefore = settings.currentPage();
            const QString logBefore = settings.logDetailsStr();
            installer.performScript(script);
            // Returned after the script ran, before anything changed.
            QCOMPARE(seen, script);
            QVERIFY(onWorker);
            QCOMPARE(changes, before);
            QCOMPARE(settings.currentPage(), pageBefore);
            QCOMPARE(settings.logDetailsStr(), logBefore);
            runPostedHandlers();
        }
        QCOMPARE(captured.text(), output);
        QCOMPARE(settings.currentPage(), page);
        QCOMPARE(settings.completedWithErrors(), failed);
        QCOMPARE(settings.logDetailsStr(), log);
    }

    // The project's own interpreter, as the installer uses it by default.
    void defaultExecutor_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<Page>("page");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("answers Ok") << "try\ndo shell script \"true\"\non error errMsg\nreturn "
                                       "errMsg\nend try\nreturn \"Ok\""
                                    << Page::summary << "" << QByteArray("ERROR VALUE Ok\n");
        QTest::newRow("a failing command's message")
            << "try\ndo shell script \"echo 'No room' >&2; exit 1\"\non error errMsg\nreturn "
               "errMsg\nend try\nreturn \"Ok\""
            << Page::summary << "No room" << QByteArray("ERROR VALUE No room\n");
        QTest::newRow("does not compile")
            << "try\nset x\nend try" << Page::install << ""
            << QByteArray("Error: Expected \"to\" but found end of line. (error -2741, line 2, "
                          "character 9)\n");
        QTest::newRow("uncaught error") << "do shell script \"exit 3\"" << Page::install << ""
                                        << QByteArray("Error:  (error 3, line 1)\n");
    }
    void defaultExecutor()
    {
        QFETCH(QString, script);
        QFETCH(Page, page);
        QFETCH(QString, log);
        QFETCH(QByteArray, output);
        AppSettings settings;
        Installer installer(settings);
        settings.setCurrentPage(Page::install);
        CapturedStdout captured;
        installer.performScript(script);
        runPostedHandlers();
        QCOMPARE(captured.text(), output);
        QCOMPARE(settings.currentPage(), page);
        QCOMPARE(settings.logDetailsStr(), log);
    }
};

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "tst_scriptrunner.moc"
