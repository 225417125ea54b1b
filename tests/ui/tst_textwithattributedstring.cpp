#include "rtf/RtfReader.h"
#include "ui/Document.h"
#include "ui/TextWithAttributedString.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

// The read-only licence view: what it shows, what it keeps, what it ignores.
class TestTextWithAttributedString : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keepsTheTextsOwnFormats_data();
    void keepsTheTextsOwnFormats();
    void cannotBeEdited();
    void scrollsVertically();
    void showsTheTextTakenWhenMade();
    void emptyTextGivesAnEmptyArea();
    void drawsTheTextsColours();

private:
    QTextDocumentFragment m_licence;
};

namespace {

QTextCharFormat formatOf(QTextDocument *document, const QString &word)
{
    const QTextCursor found = document->find(word);
    QTextCursor cursor(found);
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

QTextDocumentFragment fragment(const QByteArray &rtf)
{
    QTextDocument document;
    RtfReader::read(rtf, &document);
    return QTextDocumentFragment(&document);
}

} // namespace

void TestTextWithAttributedString::initTestCase()
{
    Document document;
    document.setResourcesFolder(QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources"));
    document.load(QStringLiteral("QuorvanticEULA"));
    m_licence = document.data();
    QVERIFY(!m_licence.isEmpty());
}

void TestTextWithAttributedString::keepsTheTextsOwnFormats_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("expected");
    const QString heading = QStringLiteral("Quorvantic Software");
    QTest::newRow("heading font") << heading << int(QTextFormat::FontFamilies)
                                  << QVariant(QStringList{"Helvetica"});
    QTest::newRow("heading size") << heading << int(QTextFormat::FontPointSize) << QVariant(16.0);
    QTest::newRow("heading bold") << heading << int(QTextFormat::FontWeight)
                                  << QVariant(int(QFont::Bold));
    QTest::newRow("heading colour")
        << heading << int(QTextFormat::ForegroundBrush) << QVariant(QBrush(QColor(31, 78, 121)));
    QTest::newRow("italic") << "Please read" << int(QTextFormat::FontItalic) << QVariant(true);
    QTest::newRow("monospaced") << "Details" << int(QTextFormat::FontFamilies)
                                << QVariant(QStringList{"Courier New"});
}

void TestTextWithAttributedString::keepsTheTextsOwnFormats()
{
    QFETCH(QString, word);
    QFETCH(int, property);
    QFETCH(QVariant, expected);

    QWidget parent;
    parent.setFont(QFont(QStringLiteral("DejaVu Serif"), 30)); // the view's own font must not win
    TextWithAttributedString view(m_licence, &parent);
    QCOMPARE(formatOf(view.document(), word).property(property), expected);
    QCOMPARE(view.document()->firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
}

void TestTextWithAttributedString::cannotBeEdited()
{
    TextWithAttributedString view(m_licence);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QString before = view.toPlainText();
    QTest::keyClicks(view.viewport(), QStringLiteral("typed"));
    QTest::keyClick(view.viewport(), Qt::Key_Backspace);
    QTest::keyClick(view.viewport(), Qt::Key_Delete);
    QVERIFY(view.isReadOnly());
    QCOMPARE(view.toPlainText(), before);
}

void TestTextWithAttributedString::scrollsVertically()
{
    TextWithAttributedString view(m_licence);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(view.verticalScrollBar()->isVisible());
    QVERIFY(view.verticalScrollBar()->maximum() > 0);
    // Lines wrap to the width, so nothing scrolls sideways.
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
}

void TestTextWithAttributedString::showsTheTextTakenWhenMade()
{
    Document document;
    document.setData(fragment("{\\rtf1 First}"));
    TextWithAttributedString view(document.data());

    document.setData(fragment("{\\rtf1 Second}"));
    view.updateView(document.data());
    QCOMPARE(view.toPlainText(), QStringLiteral("First"));
    QCOMPARE(view.attributedString().toPlainText(), QStringLiteral("First"));

    // A view made anew shows the current text.
    TextWithAttributedString again(document.data());
    QCOMPARE(again.toPlainText(), QStringLiteral("Second"));
}

void TestTextWithAttributedString::emptyTextGivesAnEmptyArea()
{
    Document document;
    TextWithAttributedString view(document.data());
    QVERIFY(view.toPlainText().isEmpty());
    QVERIFY(view.isReadOnly());
}

void TestTextWithAttributedString::drawsTheTextsColours()
{
    TextWithAttributedString view(m_licence);
    view.resize(648, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto count = [&image](QRgb colour) {
        int found = 0;
        for (int y = 0; y < image.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                found += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
        }
        return found;
    };
    QVERIFY(count(qRgb(31, 78, 121)) > 20); // the heading's blue
    QVERIFY(count(qRgb(170, 30, 30)) > 20); // the warranty's red
}

QTEST_MAIN(TestTextWithAttributedString)
#include "tst_textwithattributedstring.moc"
