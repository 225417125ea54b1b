#include "rtf/RtfReader.h"

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <QtTest>

// What the reader makes of small documents: text, character and paragraph
// formats, links, tables, and which inputs it refuses.
class TestRtfFormatting : public QObject
{
    Q_OBJECT

private slots:
    void plainText_data();
    void plainText();
    void characterFormat_data();
    void characterFormat();
    void paragraphFormat_data();
    void paragraphFormat();
    void demoLicence_data();
    void demoLicence();
    void hyperlinkField();
    void table();
    void refusesWhatIsNotRtf_data();
    void refusesWhatIsNotRtf();
    void deepNestingIsBounded();
};

namespace {

QString readText(const QByteArray &rtf)
{
    QTextDocument document;
    const RtfReadResult result = RtfReader::read(rtf, &document);
    if (!result.ok)
        return QStringLiteral("<error: %1>").arg(result.message);
    // Raw text keeps line separators apart from paragraph ends.
    return document.toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// The character format of the first character of the first occurrence of word.
QTextCharFormat formatOf(const QTextDocument &document, const QString &word)
{
    const QTextCursor found = document.find(word);
    if (found.isNull())
        return QTextCharFormat();
    QTextCursor cursor(found);
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

QTextBlockFormat blockOf(const QTextDocument &document, const QString &word)
{
    const QTextCursor found = document.find(word);
    return found.isNull() ? QTextBlockFormat() : found.blockFormat();
}

const QByteArray tables = "{\\fonttbl{\\f0\\fswiss Helvetica;}{\\f1\\fmodern Courier New;}"
                          "{\\f2\\froman\\fcharset2 Symbol;}{\\f3\\fnil\\fcharset204 Arial Cyr;}}"
                          "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}"
                          "{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs36 Heading;}"
                          "{\\s2\\sbasedon1\\i Subheading;}{\\*\\cs3\\ul Emphasis;}}";

QByteArray document(const QByteArray &body, const QByteArray &header = "\\ansi\\deff0")
{
    return "{\\rtf1" + header + tables + body + "}";
}

} // namespace

void TestRtfFormatting::plainText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("paragraphs") << document("one\\par two\\par three") << "one\ntwo\nthree";
    QTest::newRow("backslash newline is a paragraph") << QByteArray("{\\rtf1 a\\\nb}") << "a\nb";
    QTest::newRow("line ends in the source are not text")
        << QByteArray("{\\rtf1 a\r\nb\nc}") << "abc";
    QTest::newRow("line and tab") << document("a\\line b\\tab c") << QStringLiteral("a\u2028b\tc");
    QTest::newRow("escaped symbols") << document("\\\\ \\{ \\}") << "\\ { }";
    QTest::newRow("special characters")
        << document("\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote")
        << QStringLiteral("\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
    QTest::newRow("hard space, soft and hard hyphens")
        << document("a\\~b\\-c\\_d") << QStringLiteral("a\u00A0b\u00ADc\u2011d");
    QTest::newRow("unicode with one fallback")
        << document("\\u8364?x") << QStringLiteral("\u20ACx");
    QTest::newRow("unicode with two fallbacks")
        << document("\\uc2\\u8364\\'80\\'80x") << QStringLiteral("\u20ACx");
    QTest::newRow("fallback scope ends with the group")
        << document("{\\uc2 \\u8364\\'80\\'80}\\u8364?x") << QStringLiteral("\u20AC\u20ACx");
    QTest::newRow("no fallback") << document("\\uc0\\u8364 x") << QStringLiteral("\u20ACx");
    QTest::newRow("fallback cut by a group end")
        << document("\\uc3{\\u8364 a}b") << QStringLiteral("\u20ACb");
    QTest::newRow("negative unicode") << document("\\u-3913?") << QStringLiteral("\uF0B7");
    QTest::newRow("surrogate pair")
        << document("\\u-10179?\\u-8704?") << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("lone high surrogate") << document("\\u-10179?x") << QStringLiteral("\uFFFDx");
    QTest::newRow("lone low surrogate") << document("\\u-8704?x") << QStringLiteral("\uFFFDx");
    QTest::newRow("unicode pair prefers the unicode part")
        << document("{\\upr{ansi}{\\*\\ud{unicode}}}") << "unicode";

    QTest::newRow("cp1252") << document("\\'80\\'93\\'e9", "\\ansi\\ansicpg1252")
                            << QStringLiteral("\u20AC\u201C\u00E9");
    QTest::newRow("cp1250") << document("\\'9a\\'e8", "\\ansi\\ansicpg1250")
                            << QStringLiteral("\u0161\u010D");
    QTest::newRow("cp1251") << document("\\'cf\\'f0\\'e8", "\\ansi\\ansicpg1251")
                            << QStringLiteral("\u041F\u0440\u0438");
    QTest::newRow("cp1253") << document("\\'e1\\'e2", "\\ansi\\ansicpg1253")
                            << QStringLiteral("\u03B1\u03B2");
    QTest::newRow("cp1254") << document("\\'fd\\'f0", "\\ansi\\ansicpg1254")
                            << QStringLiteral("\u0131\u011F");
    QTest::newRow("cp1255") << document("\\'e0", "\\ansi\\ansicpg1255") << QStringLiteral("\u05D0");
    QTest::newRow("cp1256") << document("\\'c7", "\\ansi\\ansicpg1256") << QStringLiteral("\u0627");
    QTest::newRow("cp1257") << document("\\'e0", "\\ansi\\ansicpg1257") << QStringLiteral("\u0105");
    QTest::newRow("cp1258") << document("\\'e0\\'f5", "\\ansi\\ansicpg1258")
                            << QStringLiteral("\u00E0\u01A1");
    QTest::newRow("mac roman") << document("\\'a5\\'d2", "\\mac") << QStringLiteral("\u2022\u201C");
    QTest::newRow("cp932") << document("\\'82\\'a0\\'93\\'fa", "\\ansi\\ansicpg932")
                           << QStringLiteral("\u3042\u65E5");
    QTest::newRow("cp932 pair split by a line end")
        << document("\\'82\r\n\\'a0", "\\ansi\\ansicpg932") << QStringLiteral("\u3042");
    QTest::newRow("cp936") << document("\\'c4\\'e3", "\\ansi\\ansicpg936")
                           << QStringLiteral("\u4F60");
    QTest::newRow("cp949") << document("\\'c7\\'d1", "\\ansi\\ansicpg949")
                           << QStringLiteral("\uD55C");
    QTest::newRow("cp950") << document("\\'a4\\'a4", "\\ansi\\ansicpg950")
                           << QStringLiteral("\u4E2D");
    QTest::newRow("font charset wins over the document")
        << document("\\f3\\'c4\\f0\\'c4") << QStringLiteral("\u0414\u00C4");
    QTest::newRow("symbol font") << document("\\f2\\'b7 a\\f0 a")
                                 << QStringLiteral("\u2022 \u03B1a");

    QTest::newRow("ignorable destination") << document("a{\\*\\unknown hidden}b") << "ab";
    QTest::newRow("destinations without text")
        << document("{\\info{\\title T}{\\author A}}{\\*\\themedata 0a0b}{\\header H}"
                    "{\\*\\datastore 00}{\\*\\latentstyles{\\lsdlockedexcept X;}}text")
        << "text";
    QTest::newRow("binary data with braces") << document("{\\pict\\bin4 }{{}}after") << "after";
    QTest::newRow("binary data in the body counts as one fallback")
        << document("\\u8364\\bin2 xyz") << QStringLiteral("\u20ACz");
    QTest::newRow("list marker once")
        << document("{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2{\\pntxtb\\'b7}}Item\\par")
        << QStringLiteral("\u2022\tItem\n");
    QTest::newRow("list text") << document("{\\listtext 1.\\tab}Item") << "1.\tItem";
    QTest::newRow("hidden text") << document("a{\\v secret}b\\v c\\v0 d") << "abd";
    QTest::newRow("field without link shows its result")
        << document("{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}") << "7";
    QTest::newRow("text after the closing brace") << QByteArray("{\\rtf1 a}b") << "a";
    QTest::newRow("truncated") << QByteArray("{\\rtf1 abc{\\b def") << "abcdef";
    QTest::newRow("truncated in an escape") << QByteArray("{\\rtf1 abc\\") << "abc";
    QTest::newRow("extra closing braces end the document") << QByteArray("{\\rtf1 a}}}b") << "a";
    QTest::newRow("leading byte order mark and blanks")
        << QByteArray("\xEF\xBB\xBF \r\n{\\rtf1 a}") << "a";
    QTest::newRow("absurd unicode") << document("\\u99999999999?x") << QStringLiteral("\uFFFDx");
    QTest::newRow("absurd binary length") << document("a\\bin99999999999 xyz") << "a";
    QTest::newRow("invalid hex") << document("a\\'zzb") << "azzb";
}

void TestRtfFormatting::plainText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(readText(rtf), expected);
}

void TestRtfFormatting::characterFormat_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("expected"); // invalid: the property is not set

    const auto weight = int(QTextFormat::FontWeight);
    QTest::newRow("bold") << document("\\b bold\\b0 rest") << "bold" << weight
                          << QVariant(int(QFont::Bold));
    QTest::newRow("bold off") << document("\\b bold\\b0 rest") << "rest" << weight
                              << QVariant(int(QFont::Normal));
    QTest::newRow("group restores")
        << document("{\\b bold} rest") << "rest" << weight << QVariant(int(QFont::Normal));
    QTest::newRow("plain resets") << document("\\b\\i bold\\plain  rest") << "rest" << weight
                                  << QVariant(int(QFont::Normal));
    QTest::newRow("italic") << document("\\i word") << "word" << int(QTextFormat::FontItalic)
                            << QVariant(true);
    QTest::newRow("italic off") << document("\\i a\\i0 word") << "word"
                                << int(QTextFormat::FontItalic) << QVariant(false);
    const auto underline = int(QTextFormat::TextUnderlineStyle);
    QTest::newRow("underline") << document("\\ul word") << "word" << underline
                               << QVariant(int(QTextCharFormat::SingleUnderline));
    QTest::newRow("underline none") << document("\\ul a\\ulnone word") << "word" << underline
                                    << QVariant(int(QTextCharFormat::NoUnderline));
    QTest::newRow("underline zero") << document("\\ul a\\ul0 word") << "word" << underline
                                    << QVariant(int(QTextCharFormat::NoUnderline));
    QTest::newRow("dotted underline")
        << document("\\uld word") << "word" << underline << QVariant(int(QTextCharFormat::DotLine));
    QTest::newRow("wave underline") << document("\\ulwave word") << "word" << underline
                                    << QVariant(int(QTextCharFormat::WaveUnderline));
    QTest::newRow("strike") << document("\\strike word\\strike0 b") << "word"
                            << int(QTextFormat::FontStrikeOut) << QVariant(true);
    const auto foreground = int(QTextFormat::ForegroundBrush);
    QTest::newRow("colour") << document("\\cf1 word") << "word" << foreground
                            << QVariant(QBrush(QColor(255, 0, 0)));
    QTest::newRow("automatic colour")
        << document("\\cf1 a\\cf0 word") << "word" << foreground << QVariant();
    QTest::newRow("colour out of range")
        << document("\\cf99 word") << "word" << foreground << QVariant();
    QTest::newRow("highlight") << document("\\highlight2 word") << "word"
                               << int(QTextFormat::BackgroundBrush)
                               << QVariant(QBrush(QColor(0, 128, 0)));
    QTest::newRow("background") << document("\\cb1 word") << "word"
                                << int(QTextFormat::BackgroundBrush)
                                << QVariant(QBrush(QColor(255, 0, 0)));
    QTest::newRow("font family") << document("\\f1 word") << "word"
                                 << int(QTextFormat::FontFamilies)
                                 << QVariant(QStringList{"Courier New"});
    QTest::newRow("default font") << document("word") << "word" << int(QTextFormat::FontFamilies)
                                  << QVariant(QStringList{"Helvetica"});
    QTest::newRow("generic family")
        << document("\\f1 word") << "word" << int(QTextFormat::FontStyleHint)
        << QVariant(int(QFont::TypeWriter));
    QTest::newRow("size") << document("\\fs30 word") << "word" << int(QTextFormat::FontPointSize)
                          << QVariant(15.0);
    QTest::newRow("default size") << document("word") << "word" << int(QTextFormat::FontPointSize)
                                  << QVariant(12.0);
    QTest::newRow("absurd size") << document("\\fs999999999999 word") << "word"
                                 << int(QTextFormat::FontPointSize) << QVariant(1638.0);
    const auto vertical = int(QTextFormat::TextVerticalAlignment);
    QTest::newRow("superscript") << document("\\super word") << "word" << vertical
                                 << QVariant(int(QTextCharFormat::AlignSuperScript));
    QTest::newRow("subscript") << document("\\sub word") << "word" << vertical
                               << QVariant(int(QTextCharFormat::AlignSubScript));
    QTest::newRow("super off") << document("\\super a\\nosupersub word") << "word" << vertical
                               << QVariant();
    QTest::newRow("caps") << document("\\caps word") << "word"
                          << int(QTextFormat::FontCapitalization)
                          << QVariant(int(QFont::AllUppercase));
    QTest::newRow("paragraph style sets characters")
        << document("\\s1 word") << "word" << int(QTextFormat::FontPointSize) << QVariant(18.0);
    QTest::newRow("based-on style inherits")
        << document("\\s2 word") << "word" << weight << QVariant(int(QFont::Bold));
    QTest::newRow("character style") << document("\\cs3 word") << "word" << underline
                                     << QVariant(int(QTextCharFormat::SingleUnderline));
}

void TestRtfFormatting::characterFormat()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, word);
    QFETCH(int, property);
    QFETCH(QVariant, expected);

    QTextDocument text;
    QVERIFY(RtfReader::read(rtf, &text).ok);
    QVERIFY2(!text.find(word).isNull(), qPrintable(text.toPlainText()));
    const QTextCharFormat format = formatOf(text, word);
    if (!expected.isValid()) {
        QVERIFY2(!format.hasProperty(property), qPrintable(format.property(property).toString()));
        return;
    }
    QCOMPARE(format.property(property), expected);
}

void TestRtfFormatting::paragraphFormat_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("expected");

    const auto alignment = int(QTextFormat::BlockAlignment);
    QTest::newRow("left") << document("\\ql word\\par") << "word" << alignment
                          << QVariant(int(Qt::AlignLeft));
    QTest::newRow("centre") << document("\\qc word\\par") << "word" << alignment
                            << QVariant(int(Qt::AlignHCenter));
    QTest::newRow("right") << document("\\qr word\\par") << "word" << alignment
                           << QVariant(int(Qt::AlignRight));
    QTest::newRow("justified") << document("\\qj word\\par") << "word" << alignment
                               << QVariant(int(Qt::AlignJustify));
    QTest::newRow("last paragraph without par")
        << document("a\\par\\qc word") << "word" << alignment << QVariant(int(Qt::AlignHCenter));
    QTest::newRow("format at the paragraph's end counts")
        << document("\\ql word\\qr\\par") << "word" << alignment << QVariant(int(Qt::AlignRight));
    QTest::newRow("pard resets") << document("\\qc a\\par\\pard word\\par") << "word" << alignment
                                 << QVariant(int(Qt::AlignLeft));
    QTest::newRow("paragraph style")
        << document("\\s1 word\\par") << "word" << alignment << QVariant(int(Qt::AlignHCenter));
    QTest::newRow("left indent") << document("\\li720 word\\par") << "word"
                                 << int(QTextFormat::BlockLeftMargin) << QVariant(48.0);
    QTest::newRow("right indent") << document("\\ri360 word\\par") << "word"
                                  << int(QTextFormat::BlockRightMargin) << QVariant(24.0);
    QTest::newRow("first-line indent") << document("\\li720\\fi-360 word\\par") << "word"
                                       << int(QTextFormat::TextIndent) << QVariant(-24.0);
    QTest::newRow("space before") << document("\\sb240 word\\par") << "word"
                                  << int(QTextFormat::BlockTopMargin) << QVariant(16.0);
    QTest::newRow("space after") << document("\\sa120 word\\par") << "word"
                                 << int(QTextFormat::BlockBottomMargin) << QVariant(8.0);
    QTest::newRow("line spacing multiple") << document("\\sl360\\slmult1 word\\par") << "word"
                                           << int(QTextFormat::LineHeight) << QVariant(150.0);
    QTest::newRow("line spacing exact")
        << document("\\sl-300\\slmult0 word\\par") << "word" << int(QTextFormat::LineHeightType)
        << QVariant(int(QTextBlockFormat::FixedHeight));
    QTest::newRow("absurd indent") << document("\\li2147483647 word\\par") << "word"
                                   << int(QTextFormat::BlockLeftMargin) << QVariant(2112.0);
}

void TestRtfFormatting::paragraphFormat()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, word);
    QFETCH(int, property);
    QFETCH(QVariant, expected);

    QTextDocument text;
    QVERIFY(RtfReader::read(rtf, &text).ok);
    QVERIFY2(!text.find(word).isNull(), qPrintable(text.toPlainText()));
    QCOMPARE(blockOf(text, word).property(property), expected);
}

void TestRtfFormatting::demoLicence_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("expected");

    const QString heading = QStringLiteral("Quorvantic Software License Agreement");
    QTest::newRow("heading bold") << heading << int(QTextFormat::FontWeight)
                                  << QVariant(int(QFont::Bold));
    QTest::newRow("heading size") << heading << int(QTextFormat::FontPointSize) << QVariant(16.0);
    QTest::newRow("heading colour")
        << heading << int(QTextFormat::ForegroundBrush) << QVariant(QBrush(QColor(31, 78, 121)));
    QTest::newRow("heading font") << heading << int(QTextFormat::FontFamilies)
                                  << QVariant(QStringList{"Helvetica"});
    QTest::newRow("heading centred")
        << heading << -int(QTextFormat::BlockAlignment) << QVariant(int(Qt::AlignHCenter));
    QTest::newRow("subtitle italic")
        << "Please read" << int(QTextFormat::FontItalic) << QVariant(true);
    QTest::newRow("italic word") << "Agree you" << int(QTextFormat::FontItalic) << QVariant(true);
    QTest::newRow("word after italic")
        << "you accept" << int(QTextFormat::FontItalic) << QVariant(false);
    QTest::newRow("warning colour") << "WITHOUT WARRANTY" << int(QTextFormat::ForegroundBrush)
                                    << QVariant(QBrush(QColor(170, 30, 30)));
    QTest::newRow("underlined address") << "licensing@" << int(QTextFormat::TextUnderlineStyle)
                                        << QVariant(int(QTextCharFormat::SingleUnderline));
    QTest::newRow("monospaced word")
        << "Details" << int(QTextFormat::FontFamilies) << QVariant(QStringList{"Courier New"});
    QTest::newRow("monospaced size")
        << "Details" << int(QTextFormat::FontPointSize) << QVariant(10.0);
    QTest::newRow("list indent") << "Install and use" << -int(QTextFormat::BlockLeftMargin)
                                 << QVariant(48.0);
    QTest::newRow("list hanging indent")
        << "Install and use" << -int(QTextFormat::TextIndent) << QVariant(-24.0);
    QTest::newRow("closing line right")
        << "plug-ins for photographers" << -int(QTextFormat::BlockAlignment)
        << QVariant(int(Qt::AlignRight));
    QTest::newRow("body justified")
        << "The Software is licensed" << -int(QTextFormat::BlockAlignment)
        << QVariant(int(Qt::AlignJustify));
}

// Negative property numbers ask for the paragraph's format.
void TestRtfFormatting::demoLicence()
{
    QFETCH(QString, word);
    QFETCH(int, property);
    QFETCH(QVariant, expected);

    QFile file(QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources/QuorvanticEULA.rtf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTextDocument text;
    QVERIFY(RtfReader::read(file.readAll(), &text).ok);
    QVERIFY2(!text.find(word).isNull(), qPrintable(word));
    if (property < 0)
        QCOMPARE(blockOf(text, word).property(-property), expected);
    else
        QCOMPARE(formatOf(text, word).property(property), expected);

    // Each list item shows its bullet once.
    QCOMPARE(text.toPlainText().count(QChar(0x2022)), 6);
}

void TestRtfFormatting::hyperlinkField()
{
    QTextDocument text;
    QVERIFY(
        RtfReader::read(document("see {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a b\""
                                 " \\\\o \"tip\"}}{\\fldrslt{\\cf2 the site}}} now"),
                        &text)
            .ok);
    QCOMPARE(text.toPlainText(), QStringLiteral("see the site now"));
    const QTextCharFormat link = formatOf(text, QStringLiteral("the site"));
    QVERIFY(link.isAnchor());
    QCOMPARE(link.anchorHref(), QStringLiteral("https://example.org/a b"));
    QCOMPARE(link.foreground().color(), QColor(0, 128, 0)); // the document's own colour
    QVERIFY(!formatOf(text, QStringLiteral("now")).isAnchor());

    QVERIFY(RtfReader::read(document("{\\field{\\*\\fldinst HYPERLINK \\\\l \"part2\"}"
                                     "{\\fldrslt below}}"),
                            &text)
                .ok);
    QCOMPARE(formatOf(text, QStringLiteral("below")).anchorHref(), QStringLiteral("#part2"));
    QCOMPARE(formatOf(text, QStringLiteral("below")).underlineStyle(),
             QTextCharFormat::SingleUnderline);
}

void TestRtfFormatting::table()
{
    QTextDocument text;
    QVERIFY(
        RtfReader::read(
            document("before\\par\\trowd\\cellx1500\\cellx3000\\pard\\intbl A1\\cell B1\\cell"
                     "\\row\\trowd\\cellx1500\\cellx3000\\pard\\intbl A2\\cell B2\\cell C2\\cell"
                     "\\row\\pard after"),
            &text)
            .ok);
    QTextTable *table = nullptr;
    for (QTextFrame *frame : text.rootFrame()->childFrames())
        table = qobject_cast<QTextTable *>(frame);
    QVERIFY(table);
    QCOMPARE(table->rows(), 2);
    QCOMPARE(table->columns(), 3); // the second row brought a third cell
    const auto cell = [table](int row, int column) {
        QTextCursor cursor = table->cellAt(row, column).firstCursorPosition();
        cursor.setPosition(table->cellAt(row, column).lastCursorPosition().position(),
                           QTextCursor::KeepAnchor);
        return cursor.selectedText();
    };
    QCOMPARE(cell(0, 0), QStringLiteral("A1"));
    QCOMPARE(cell(0, 1), QStringLiteral("B1"));
    QCOMPARE(cell(1, 0), QStringLiteral("A2"));
    QCOMPARE(cell(1, 2), QStringLiteral("C2"));
    QCOMPARE(table->format().columnWidthConstraints().value(0).rawValue(), 100.0);
    QVERIFY(text.toPlainText().startsWith(QStringLiteral("before\n")));
    QVERIFY(text.toPlainText().endsWith(QStringLiteral("\nafter")));
}

void TestRtfFormatting::refusesWhatIsNotRtf_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("plain text") << QByteArray("Terms and conditions");
    QTest::newRow("html") << QByteArray("<html><body>{\\rtf1}</body></html>");
    QTest::newRow("almost a header") << QByteArray("{\\rtx1 text}");
    QTest::newRow("header without brace") << QByteArray("\\rtf1 text}");
}

void TestRtfFormatting::refusesWhatIsNotRtf()
{
    QFETCH(QByteArray, input);
    QTextDocument text;
    text.setPlainText(QStringLiteral("old"));
    const RtfReadResult result = RtfReader::read(input, &text);
    QVERIFY(!result.ok);
    QVERIFY(!result.message.isEmpty());
    QVERIFY(text.isEmpty());
}

void TestRtfFormatting::deepNestingIsBounded()
{
    const int limit = RtfReader::maxGroupDepth;
    const auto nested = [](int depth) {
        return "{\\rtf1 a" + QByteArray(depth, '{') + "deep" + QByteArray(depth, '}') + " b}";
    };
    QCOMPARE(readText(nested(limit - 2)), QStringLiteral("adeep b"));
    QCOMPARE(readText(nested(100000)), QStringLiteral("a b"));
    // Unclosed groups: the text before them is kept.
    QCOMPARE(readText("{\\rtf1 a" + QByteArray(100000, '{') + "z"), QStringLiteral("a"));
}

QTEST_GUILESS_MAIN(TestRtfFormatting)
#include "tst_rtfformatting.moc"
