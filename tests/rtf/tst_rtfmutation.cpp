#include "rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTextDocument>
#include <QtTest>

// Damaged RTF: the corpus and the demo licence with bytes flipped, cut short,
// braces removed or doubled, absurd numbers put in. The reader must return on
// every one of them (the same seeds every run), and a file cut short must keep
// the text before the cut.
class TestRtfMutation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void alwaysReturns_data();
    void alwaysReturns();
    void truncationKeepsTheTextBefore_data();
    void truncationKeepsTheTextBefore();

private:
    QList<QPair<QString, QByteArray>> m_samples;
};

namespace {

constexpr int casesPerKind = 12;

enum Mutation
{
    FlipBytes,
    Truncate,
    RemoveBraces,
    DoubleBraces,
    AbsurdNumbers,
    Splice
};

QByteArray mutate(QByteArray bytes, Mutation mutation, QRandomGenerator &random)
{
    const auto anywhere = [&] {
        return qsizetype(random.bounded(int(bytes.size())));
    };
    switch (mutation) {
    case FlipBytes:
        for (int i = 0; i < 1 + int(bytes.size() / 200); ++i)
            bytes[anywhere()] = char(random.bounded(256));
        break;
    case Truncate:
        bytes.truncate(anywhere());
        break;
    case RemoveBraces:
    case DoubleBraces:
        for (qsizetype i = bytes.size() - 1; i >= 0; --i) {
            if ((bytes[i] == '{' || bytes[i] == '}') && random.bounded(4) == 0) {
                if (mutation == RemoveBraces)
                    bytes.remove(i, 1);
                else
                    bytes.insert(i, bytes[i]);
            }
        }
        break;
    case AbsurdNumbers: {
        static const char *const words[] = {"\\fs", "\\uc", "\\u",  "\\bin", "\\li", "\\cellx",
                                            "\\f",  "\\cf", "\\sl", "\\tx",  "\\s",  "\\ansicpg"};
        for (int i = 0; i < 20; ++i) {
            const QByteArray word = QByteArray(words[random.bounded(12)]) +
                                    (random.bounded(2) ? "-" : "") + "9999999999999 ";
            bytes.insert(anywhere(), word);
        }
        break;
    }
    case Splice: {
        // A stretch of the file repeated elsewhere: groups and tables open
        // and close in places their writer never put them.
        const qsizetype from = anywhere();
        const QByteArray piece = bytes.mid(from, random.bounded(4000));
        bytes.insert(anywhere(), piece);
        break;
    }
    }
    return bytes;
}

// Text with the characters a cut may leave changed at its very end removed.
QString settled(const QTextDocument &document)
{
    QString text = document.toPlainText();
    text.chop(2);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

void TestRtfMutation::initTestCase()
{
    QStringList paths{QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources/QuorvanticEULA.rtf")};
    for (const char *folder : {"rtf", "rtf-tables"}) {
        const QDir corpus(QStringLiteral(QUORVANTIC_SHARED_DIR "/testdata/") +
                          QLatin1String(folder));
        for (const QString &name :
             corpus.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
            paths.append(corpus.filePath(name));
    }
    for (const QString &path : paths) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        m_samples.append({QFileInfo(path).completeBaseName(), file.readAll()});
    }
    QVERIFY(m_samples.size() > 1);
}

void TestRtfMutation::alwaysReturns_data()
{
    QTest::addColumn<int>("sample");
    QTest::addColumn<int>("mutation");
    static const char *const kinds[] = {"flip",   "truncate", "unbrace",
                                        "double", "absurd",   "splice"};
    for (int sample = 0; sample < m_samples.size(); ++sample) {
        for (int mutation = FlipBytes; mutation <= Splice; ++mutation)
            QTest::addRow("%s/%s", qPrintable(m_samples[sample].first), kinds[mutation])
                << sample << mutation;
    }
}

void TestRtfMutation::alwaysReturns()
{
    QFETCH(int, sample);
    QFETCH(int, mutation);
    QRandomGenerator random(quint32(sample * 31 + mutation));
    for (int i = 0; i < casesPerKind; ++i) {
        const QByteArray damaged = mutate(m_samples[sample].second, Mutation(mutation), random);
        QTextDocument document;
        // A hang is caught by the test runner's time-out, not by a clock here.
        const RtfReadResult result = RtfReader::read(damaged, &document);
        QVERIFY(result.ok || !result.message.isEmpty());
        // The document is whole enough to lay out.
        document.setTextWidth(400);
        QVERIFY(document.size().height() >= 0);
    }
}

void TestRtfMutation::truncationKeepsTheTextBefore_data()
{
    QTest::addColumn<int>("sample");
    for (int sample = 0; sample < m_samples.size(); ++sample)
        QTest::newRow(qPrintable(m_samples[sample].first)) << sample;
}

void TestRtfMutation::truncationKeepsTheTextBefore()
{
    QFETCH(int, sample);
    const QByteArray whole = m_samples[sample].second;
    QTextDocument full;
    QVERIFY(RtfReader::read(whole, &full).ok);
    const QString fullText = full.toPlainText();

    QRandomGenerator random(quint32(sample + 1000));
    for (int i = 0; i < casesPerKind; ++i) {
        const qsizetype cut = 6 + random.bounded(int(whole.size()) - 6);
        QTextDocument part;
        QVERIFY(RtfReader::read(whole.left(cut), &part).ok);
        const QString partText = settled(part);
        QVERIFY2(fullText.startsWith(partText),
                 qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(partText.right(60))));
    }
}

QTEST_MAIN(TestRtfMutation)
#include "tst_rtfmutation.moc"
