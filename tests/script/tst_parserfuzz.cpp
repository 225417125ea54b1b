#include "script/Interpreter.h"
#include "script/Lexer.h"

#include "ScriptTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

QStringList seedScripts()
{
    QStringList seeds;
    for (const QString &folder : {QStringLiteral(QUORVANTIC_SOURCE_DIR "/tests/script/cases"),
                                  QStringLiteral(QUORVANTIC_SOURCE_DIR "/tests/script/install")}) {
        QDir dir(folder);
        for (const QString &name : dir.entryList({"*.applescript"}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                seeds << QString::fromUtf8(file.readAll());
        }
    }
    return seeds;
}

const QStringList fragments = {"try",
                               "on",
                               "error",
                               "end",
                               "tell",
                               "application",
                               "set",
                               "to",
                               "return",
                               "do",
                               "shell",
                               "script",
                               "with",
                               "administrator",
                               "privileges",
                               "path",
                               "support",
                               "number",
                               "\"Finder\"",
                               "\"a\\\"b\"",
                               "\"",
                               "\\",
                               "42",
                               "x",
                               "errMsg",
                               "\n",
                               "\r\n",
                               " ",
                               "--",
                               "\t",
                               "\"line\nbreak\"",
                               "&",
                               "(",
                               "\u00e9",
                               "99999999999999999999"};

QString mutate(QString text, QRandomGenerator &random)
{
    const int edits = 1 + random.bounded(6);
    for (int i = 0; i < edits; ++i) {
        const int at = text.isEmpty() ? 0 : random.bounded(int(text.size()) + 1);
        switch (random.bounded(4)) {
        case 0: // drop a span
            text.remove(at, random.bounded(12));
            break;
        case 1: // insert a fragment
            text.insert(at, fragments[random.bounded(int(fragments.size()))]);
            break;
        case 2: // replace one character with any code unit
            if (at < text.size())
                text[at] = QChar(char16_t(random.bounded(0x80)));
            break;
        default: // duplicate a span
            text.insert(at, text.mid(random.bounded(int(text.size()) + 1), random.bounded(40)));
            break;
        }
    }
    return text;
}

QString soup(QRandomGenerator &random)
{
    QString text;
    const int length = random.bounded(60);
    for (int i = 0; i < length; ++i) {
        text += fragments[random.bounded(int(fragments.size()))];
        if (random.bounded(3))
            text += ' ';
    }
    return text;
}

// Compiles one script and, when it compiles, runs it against recording
// shells: the result must be one of a program or an error with a range that
// lies inside the source. Counts the scripts that compiled.
void check(const QString &source, int &compiledCount)
{
    const CompileResult compiled = compileScript(source);
    QVERIFY2(bool(compiled.program) != compiled.error.has_value(), qPrintable(source));
    if (compiled.error) {
        QVERIFY(compiled.error->range);
        QVERIFY(compiled.error->range->offset >= 0);
        QVERIFY2(compiled.error->range->offset + compiled.error->range->length <= source.size(),
                 qPrintable(source));
        QVERIFY(!compiled.error->message.isEmpty());
        return;
    }
    ++compiledCount;
    ShellLog log;
    const ScriptRun run = Interpreter(recordingContext(log, source.size() % 2 == 0)).run(source);
    QVERIFY(!(run.result && run.error));
    QCOMPARE(log.made, log.ended);
}

} // namespace

// Random and mutated scripts never crash or hang the interpreter. Seeds are
// fixed, so a failure reproduces.
class TestParserFuzz : public QObject
{
    Q_OBJECT

private slots:
    void mutatedScripts()
    {
        const QStringList seeds = seedScripts();
        QVERIFY(seeds.size() > 10);
        QRandomGenerator random(20240611);
        int compiled = 0;
        for (int i = 0; i < 4000; ++i) {
            check(mutate(seeds[random.bounded(int(seeds.size()))], random), compiled);
            if (QTest::currentTestFailed())
                return;
        }
        // Enough of them still compile for the evaluator to be exercised too.
        QVERIFY2(compiled > 400, qPrintable(QString::number(compiled)));
    }

    void tokenSoup()
    {
        int compiled = 0;
        QRandomGenerator random(7);
        for (int i = 0; i < 4000; ++i) {
            check(soup(random), compiled);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void randomCodeUnits()
    {
        int compiled = 0;
        QRandomGenerator random(99);
        for (int i = 0; i < 2000; ++i) {
            QString text;
            const int length = random.bounded(80);
            for (int j = 0; j < length; ++j)
                text += QChar(char16_t(random.bounded(0x3000)));
            if (!text.isValidUtf16())
                continue;
            check(text, compiled);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestParserFuzz)
#include "tst_parserfuzz.moc"
