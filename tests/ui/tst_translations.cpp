// The window's words are all translatable and all translated: the committed
// German and Japanese files hold exactly what the sources ask for, each one
// finished, and every text the window shows went through a translation.
#include "WizardHarness.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context, source, translation, type;
};

QList<Message> readTs(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"message")
            m = Message{context, {}, {}, {}};
        else if (xml.name() == u"source")
            m.source = xml.readElementText();
        else if (xml.name() == u"translation") {
            m.type = xml.attributes().value(QStringLiteral("type")).toString();
            m.translation = xml.readElementText();
            messages.append(m);
        }
    }
    return messages;
}

QSet<QString> keys(const QList<Message> &messages)
{
    QSet<QString> out;
    for (const Message &m : messages)
        out.insert(m.context + QLatin1Char('|') + m.source);
    return out;
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    auto it = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    found.sort();
    return found;
}

QStringList tsFiles()
{
    return QStringLiteral(QUORVANTIC_TS_FILES).split(QLatin1Char('|'));
}

// Marks every text it is asked for, so a text shown without the mark did not
// go through a translation.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QStringLiteral("\u27EA%1\u27EB").arg(QString::fromUtf8(source));
    }
    bool isEmpty() const override { return false; }
};

// Every text a visible widget shows or tells assistive tools.
QStringList shownTexts(QWidget *root)
{
    QStringList texts;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->isVisibleTo(root))
            continue;
        texts << w->accessibleName() << w->accessibleDescription() << w->toolTip();
        if (auto *label = qobject_cast<QLabel *>(w); label && w->objectName() != "logText")
            texts << label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
    }
    texts << root->accessibleName();
    texts.removeAll(QString());
    return texts;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    // Each committed file: every message translated, finished, with the
    // source's placeholders.
    void filesAreComplete_data()
    {
        QTest::addColumn<QString>("ts");
        for (const QString &file : tsFiles())
            QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
    }
    void filesAreComplete()
    {
        QFETCH(QString, ts);
        const QList<Message> messages = readTs(ts);
        QVERIFY(messages.size() >= 50);
        for (const Message &m : messages) {
            QVERIFY2(m.type.isEmpty(), qPrintable(m.type + ": " + m.source));
            QVERIFY2(!m.translation.isEmpty(), qPrintable(m.source));
            QCOMPARE(placeholders(m.translation), placeholders(m.source));
        }
    }

    // lupdate over today's sources finds exactly what the files hold: no
    // text is missing from them and none is left over.
    void filesMatchTheSources()
    {
        QFile list(QStringLiteral(QUORVANTIC_TRANSLATED_SOURCES));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QStringList sources =
            QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
        QProcess lupdate;
        lupdate.start(QStringLiteral(QUORVANTIC_LUPDATE),
                      QStringList{QStringLiteral("-silent"), QStringLiteral("-no-obsolete")} +
                          sources + QStringList{QStringLiteral("-ts"), fresh});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        const QSet<QString> wanted = keys(readTs(fresh));
        QVERIFY(wanted.size() >= 50);
        for (const QString &ts : tsFiles()) {
            const QSet<QString> held = keys(readTs(ts));
            QVERIFY2(held == wanted,
                     qPrintable(
                         QStringLiteral("%1: missing %2; left over %3")
                             .arg(ts, QStringList(QSet(wanted).subtract(held).values()).join(", "),
                                  QStringList(QSet(held).subtract(wanted).values()).join(", "))));
        }
    }

    // Every page and overlay, walked with a translator that marks what it
    // translates: a text without the mark never went through tr().
    void everyShownTextIsTranslated()
    {
        MarkingTranslator marking;
        QCoreApplication::installTranslator(&marking);
        WizardHarness w;
        AppSettings &s = w.settings;
        QStringList unmarked;
        const auto look = [&] {
            w.settle();
            for (const QString &text : shownTexts(w.view.get())) {
                if (!text.contains(QChar(0x27EA)) &&
                    !QStringList{"Beta", "alpha", "gamma"}.contains(text))
                    unmarked << text;
            }
        };
        look();
        s.nextAction();
        look(); // licence
        s.nextAction();
        look(); // agreement alert
        s.agreeWithLicense();
        look(); // products
        s.nextAction();
        look(); // confirmation
        s.setShowPermanentlyAlert(false);
        s.setShowFinderAlert(true);
        look();
        s.setShowFinderAlert(false);
        s.setCompletedWithErrors(true);
        s.setCurrentPage(Page::summary);
        look();
        s.setShowLogDetailsWindow(true);
        look();
        QCoreApplication::removeTranslator(&marking);
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(" | ")));
    }

    // The translations are built into the program and reach the window.
    void germanAndJapaneseReachTheWindow_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("sidebar");
        QTest::newRow("de") << "de"
                            << "Weiter"
                            << "Einführung";
        QTest::newRow("ja") << "ja"
                            << "次へ"
                            << "はじめに";
    }
    void germanAndJapaneseReachTheWindow()
    {
        QFETCH(QString, language);
        QFETCH(QString, next);
        QFETCH(QString, sidebar);
        QTranslator translator;
        QVERIFY(translator.load(QLocale(language), "quorvantic", "_", ":/i18n"));
        QCoreApplication::installTranslator(&translator);
        WizardHarness w;
        QCOMPARE(w.view->forwardButton()->text(), next);
        QVERIFY(shownTexts(w.view.get()).contains(sidebar));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
