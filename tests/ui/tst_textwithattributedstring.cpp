#include "rtf/RtfReader.h"
#include "ui/Document.h"
#include "ui/TextWithAttributedString.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QToolTip>
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
    void clickOpensWebAndMailLinks_data();
    void clickOpensWebAndMailLinks();
    void linkShowsItsTargetAsTooltip();
    void wideTableFitsTheWidth();

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

namespace {

QTextDocumentFragment linkText(const QByteArray &target)
{
    return fragment("{\\rtf1 {\\fs48 see {\\field{\\*\\fldinst HYPERLINK \"" + target +
                    "\"}{\\fldrslt the target}} now}}");
}

// The middle of the word's first character, in viewport coordinates.
QPoint pointOf(TextWithAttributedString &view, const QString &word)
{
    QTextCursor cursor = view.document()->find(word);
    cursor.setPosition(cursor.selectionStart() + 1);
    return view.cursorRect(cursor).center() - QPoint(2, 0);
}

} // namespace

void TestTextWithAttributedString::clickOpensWebAndMailLinks_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << QByteArray("https://example.org/licence") << true;
    QTest::newRow("http") << QByteArray("http://example.org/") << true;
    QTest::newRow("mailto") << QByteArray("mailto:legal@example.org") << true;
    QTest::newRow("file") << QByteArray("file:///etc/passwd") << false;
    QTest::newRow("custom scheme") << QByteArray("run:calc") << false;
    QTest::newRow("bookmark") << QByteArray("#terms") << false;
}

void TestTextWithAttributedString::clickOpensWebAndMailLinks()
{
    QFETCH(QByteArray, target);
    QFETCH(bool, opened);
    TextWithAttributedString view(linkText(target));
    QList<QUrl> asked;
    view.setLinkOpener([&asked](const QUrl &url) {
        asked.append(url);
        return true;
    });
    view.resize(500, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointOf(view, QStringLiteral("now")));
    QVERIFY(asked.isEmpty()); // plain text opens nothing
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointOf(view, QStringLiteral("target")));
    QCOMPARE(asked, opened ? QList<QUrl>{QUrl(QString::fromUtf8(target))} : QList<QUrl>());
}

void TestTextWithAttributedString::linkShowsItsTargetAsTooltip()
{
    TextWithAttributedString view(linkText("https://example.org/terms"));
    view.resize(500, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QPoint onLink = pointOf(view, QStringLiteral("target"));
    QHelpEvent help(QEvent::ToolTip, onLink, view.viewport()->mapToGlobal(onLink));
    QApplication::sendEvent(view.viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("https://example.org/terms"));

    const QPoint offLink = pointOf(view, QStringLiteral("see"));
    QHelpEvent away(QEvent::ToolTip, offLink, view.viewport()->mapToGlobal(offLink));
    QApplication::sendEvent(view.viewport(), &away);
    QTRY_VERIFY(QToolTip::text().isEmpty() || !QToolTip::isVisible());
}

void TestTextWithAttributedString::wideTableFitsTheWidth()
{
    // Three columns of 5760 twips: 1152 pixels in all.
    TextWithAttributedString view(fragment(
        "{\\rtf1 \\trowd\\cellx5760\\cellx11520\\cellx17280\\pard\\intbl one\\cell two\\cell "
        "three\\cell\\row\\pard after}"));
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTextTable *table = nullptr;
    for (QTextFrame *frame : view.document()->rootFrame()->childFrames())
        table = qobject_cast<QTextTable *>(frame);
    QVERIFY(table);
    const auto tableWidth = [&view, table] {
        return view.document()->documentLayout()->frameBoundingRect(table).right();
    };
    QVERIFY(tableWidth() <= view.viewport()->width());
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QVERIFY(view.document()->find(QStringLiteral("three")).position() > 0);

    // Wide enough again: the table takes its own widths back.
    view.resize(1400, 300);
    QTRY_VERIFY(tableWidth() > 1100);
    QCOMPARE(table->format().columnWidthConstraints().value(2).type(), QTextLength::FixedLength);
}

QTEST_MAIN(TestTextWithAttributedString)
#include "tst_textwithattributedstring.moc"
