#include "engine/FinderProbe.h"
#include "script/Interpreter.h"

#include "ScriptTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString casesFolder = QStringLiteral(QUORVANTIC_SOURCE_DIR "/tests/script/cases");

// Expected texts are written with \n, \r, \t and \\ for the characters.
QString unescaped(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == QLatin1Char('n')   ? QChar('\n')
               : next == QLatin1Char('r') ? QChar('\r')
               : next == QLatin1Char('t') ? QChar('\t')
                                          : next;
    }
    return out;
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString describe(const ScriptRun &run)
{
    if (run.error)
        return QStringLiteral("%1\n%2").arg(run.error->isCompileError() ? "compile" : "error",
                                            run.error->description());
    if (run.result)
        return QStringLiteral("result\n") + *run.result;
    return QStringLiteral("none");
}

} // namespace

class TestInterpreter : public QObject
{
    Q_OBJECT

private slots:
    // Each cases/NAME.applescript runs for real (its commands as this user);
    // NAME.expected holds "result", "error", "compile" or "none" on its first
    // line and the expected text after it. Names starting "refused-" run
    // under a policy that refuses automation.
    void cases_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList names =
            QDir(casesFolder).entryList({QStringLiteral("*.applescript")}, QDir::Files, QDir::Name);
        QVERIFY(names.size() >= 40);
        for (const QString &file : names) {
            const QString name = file.chopped(int(strlen(".applescript")));
            QTest::newRow(qPrintable(name)) << name;
        }
    }
    void cases()
    {
        QFETCH(QString, name);
        const QString source = readText(casesFolder + '/' + name + ".applescript");
        QString expected = readText(casesFolder + '/' + name + ".expected");
        QVERIFY2(expected.endsWith('\n'), "expected file must end with a line feed");
        expected = unescaped(expected.chopped(1));
        const ScriptRun run =
            Interpreter(unprivilegedContext(!name.startsWith("refused-"))).run(source);
        QVERIFY(run.created);
        QCOMPARE(describe(run), expected);
    }

    void probeScript_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QString>("answer");
        QTest::newRow("allowed") << true << "1";
        QTest::newRow("refused") << false << "0";
    }
    void probeScript()
    {
        QFETCH(bool, allowed);
        QFETCH(QString, answer);
        const QString &probe = finderProbeScript();
        QCOMPARE(probe.toUtf8().size(), 223);
        ShellLog log;
        const ScriptRun run = Interpreter(recordingContext(log, allowed)).run(probe);
        QVERIFY(!run.error);
        QCOMPARE(run.result, std::optional<QString>(answer));
        QCOMPARE(log.made, 0);
    }

    // Administrator commands go to one session per run, made at the first of
    // them and ended with the run; the others run as the user.
    void shellsPerRun()
    {
        ShellLog log;
        const Interpreter interpreter(recordingContext(log));
        const QString source =
            QStringLiteral("do shell script \"a\" with administrator privileges\n"
                           "do shell script \"b\"\n"
                           "do shell script \"c\" with administrator privileges\n"
                           "return do shell script \"d\"");
        ScriptRun run = interpreter.run(source);
        QCOMPARE(run.result, std::optional<QString>("d"));
        QCOMPARE(log.commands, QStringList({"admin: a", "user: b", "admin: c", "user: d"}));
        QCOMPARE(log.made, 2);
        QCOMPARE(log.ended, 2);

        run = interpreter.run(source);
        QCOMPARE(log.made, 4);
        QCOMPARE(log.ended, 4);
    }

    // A stop asked for while a command runs lets it finish and runs no other;
    // the install script's trap answers with the reason.
    void stopsBetweenCommands()
    {
        ShellLog log;
        EvaluationContext context = recordingContext(log);
        auto stop = std::make_shared<std::atomic<bool>>(false);
        int done = 0;
        context.stopRequested = stop;
        QList<int> started;
        context.commandStarted = [&](int number, const QString &) {
            started << number;
        };
        context.commandFinished = [&](const CommandReport &report) {
            QCOMPARE(report.number, started.last());
            if (++done == 2)
                *stop = true;
        };
        const ScriptRun run = Interpreter(context).run(
            "try\ndo shell script \"a\" with administrator privileges\ndo shell script \"b\"\n"
            "do shell script \"c\" with administrator privileges\non error errMsg number n\n"
            "return errMsg\nend try\nreturn \"Ok\"");
        QCOMPARE(run.result, std::optional<QString>("The run was interrupted."));
        QCOMPARE(log.commands, QStringList({"admin: a", "user: b"}));
        QCOMPARE(done, 2);
        QCOMPARE(started, QList<int>({1, 2}));
    }

    void noSessionWithoutAdministratorCommands()
    {
        ShellLog log;
        const ScriptRun run =
            Interpreter(recordingContext(log)).run("set x to do shell script \"ls\"\nreturn x");
        QCOMPARE(run.result, std::optional<QString>("ls"));
        QCOMPARE(log.commands, QStringList({"user: ls"}));
    }

    // An integer operand is run as its text.
    void integerCommand()
    {
        ShellLog log;
        Interpreter(recordingContext(log)).run("do shell script 17 with administrator privileges");
        QCOMPARE(log.commands, QStringList({"admin: 17"}));
    }

    void compileErrorRunsNothing()
    {
        QTemporaryDir dir;
        const QString marker = dir.filePath("ran");
        ShellLog log;
        const QString source =
            QStringLiteral("do shell script \"touch '%1'\"\ndo shell script \"x\" with\n")
                .arg(marker);
        ScriptRun run = Interpreter(unprivilegedContext()).run(source);
        QVERIFY(run.error && run.error->isCompileError());
        QVERIFY(!QFile::exists(marker));
        run = Interpreter(recordingContext(log)).run(source);
        QCOMPARE(log.made, 0);
    }

    void noScriptObject_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("unpaired surrogate") << QString("return \"a") + QChar(0xd800) + "\"";
        QTest::newRow("NUL") << QString("return \"a") + QChar(0) + "\"";
    }
    void noScriptObject()
    {
        QFETCH(QString, source);
        ShellLog log;
        const ScriptRun run = Interpreter(recordingContext(log)).run(source);
        QVERIFY(!run.created);
        QVERIFY(!run.result && !run.error);
    }

    void nestingIsBounded_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("closer");
        QTest::newRow("try") << "try\n"
                             << "end try\n";
        QTest::newRow("tell") << "tell application \"Finder\"\n"
                              << "end tell\n";
        QTest::newRow("shell in shell") << "do shell script "
                                        << "";
    }
    void nestingIsBounded()
    {
        QFETCH(QString, opener);
        QFETCH(QString, closer);
        const QString deep = opener.repeated(200000) + "\"x\"\n" + closer.repeated(200000);
        const CompileResult compiled = compileScript(deep);
        QVERIFY(!compiled.program);
        QCOMPARE(compiled.error->message, QStringLiteral("The script nests too deeply."));

        const QString fine = opener.repeated(40) + "\"x\"\n" + closer.repeated(40);
        QVERIFY(compileScript(fine).program);
    }
};

QTEST_GUILESS_MAIN(TestInterpreter)
#include "tst_interpreter.moc"
