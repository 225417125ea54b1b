#include "rtf/RtfCodePages.h"

#include <QtTest>

// Both converters that stand behind the reader's code pages give the same
// Unicode text for every page a licence may come in.
class TestRtfCodePages : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void charsets_data();
    void charsets();
    void symbolFonts();
};

void TestRtfCodePages::decodes_data()
{
    QTest::addColumn<int>("backend");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    struct Case
    {
        const char *name;
        int codePage;
        QByteArray bytes;
        QString expected;
    };
    const QList<Case> cases = {
        {"1250", 1250, "\x8a\xe8", QStringLiteral("\u0160\u010D")},
        {"1251", 1251, "\xc4\xe0", QStringLiteral("\u0414\u0430")},
        {"1252", 1252, "\x80\x85\x9f", QStringLiteral("\u20AC\u2026\u0178")},
        {"1253", 1253, "\xc1\xf9", QStringLiteral("\u0391\u03C9")},
        {"1254", 1254, "\xd0\xde", QStringLiteral("\u011E\u015E")},
        {"1255", 1255, "\xf9", QStringLiteral("\u05E9")},
        {"1256", 1256, "\xe1", QStringLiteral("\u0644")},
        {"1257", 1257, "\xd0", QStringLiteral("\u0160")},
        {"1258", 1258, "\xd0", QStringLiteral("\u0110")},
        {"874", 874, "\xa1", QStringLiteral("\u0E01")},
        {"mac roman", RtfCodePages::macRoman, "\x8e\xa5\xd0", QStringLiteral("\u00E9\u2022\u2013")},
        {"437", 437, "\xb0\x82", QStringLiteral("\u2591\u00E9")},
        {"932", 932, "\x93\xfa\x96\x7b\x8c\xea", QStringLiteral("\u65E5\u672C\u8A9E")},
        {"932 wave dash", 932, "\x81\x60", QStringLiteral("\uFF5E")},
        {"932 half-width kana", 932, "\xb1", QStringLiteral("\uFF71")},
        {"936", 936, "\xd6\xd0\xce\xc4", QStringLiteral("\u4E2D\u6587")},
        {"949", 949, "\xc7\xd1\xb1\xb9", QStringLiteral("\uD55C\uAD6D")},
        {"950", 950, "\xa4\xa4\xa4\xe5", QStringLiteral("\u4E2D\u6587")},
        {"ascii passes through", 932, "plain", QStringLiteral("plain")},
        {"unknown page falls back to Latin-1", 99999, "\xe9", QStringLiteral("\u00E9")},
    };
    for (const int backend : {int(RtfCodePages::Backend::qt), int(RtfCodePages::Backend::iconv)}) {
        const char *backendName = backend == int(RtfCodePages::Backend::qt) ? "qt" : "iconv";
        for (const Case &c : cases)
            QTest::addRow("%s %s", backendName, c.name)
                << backend << c.codePage << c.bytes << c.expected;
    }
}

void TestRtfCodePages::decodes()
{
    QFETCH(int, backend);
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    RtfCodePages pages;
    pages.setPreferredBackend(RtfCodePages::Backend(backend));
    QCOMPARE(pages.decode(codePage, bytes), expected);

    // A pair cut at the end of the run is dropped or marked, never guessed.
    const QString cut = pages.decode(codePage, bytes + "\x93");
    if (codePage == 932 && !bytes.isEmpty())
        QVERIFY2(cut == expected || cut == expected + QChar::ReplacementCharacter, qPrintable(cut));
}

void TestRtfCodePages::charsets_data()
{
    QTest::addColumn<int>("charset");
    QTest::addColumn<int>("codePage");
    QTest::newRow("ansi is the document's") << 0 << 0;
    QTest::newRow("default is the document's") << 1 << 0;
    QTest::newRow("symbol") << 2 << int(RtfCodePages::symbolPage);
    QTest::newRow("mac") << 77 << int(RtfCodePages::macRoman);
    QTest::newRow("shift-jis") << 128 << 932;
    QTest::newRow("hangul") << 129 << 949;
    QTest::newRow("gb2312") << 134 << 936;
    QTest::newRow("big5") << 136 << 950;
    QTest::newRow("greek") << 161 << 1253;
    QTest::newRow("cyrillic") << 204 << 1251;
    QTest::newRow("eastern europe") << 238 << 1250;
}

void TestRtfCodePages::charsets()
{
    QFETCH(int, charset);
    QFETCH(int, codePage);
    QCOMPARE(RtfCodePages::codePageForCharset(charset), codePage);
    RtfCodePages pages;
    if (codePage > 0)
        QVERIFY(pages.canDecode(codePage));
}

void TestRtfCodePages::symbolFonts()
{
    using F = RtfCodePages::SymbolFont;
    QCOMPARE(RtfCodePages::symbolFontForName(QStringLiteral("Symbol")), F::symbol);
    QCOMPARE(RtfCodePages::symbolFontForName(QStringLiteral("Wingdings 2")), F::wingdings);
    QCOMPARE(RtfCodePages::symbolFontForName(QStringLiteral("Arial")), F::other);
    QCOMPARE(RtfCodePages::mapSymbols(F::symbol, QStringLiteral("\u00B7\uF0B7abp")),
             QStringLiteral("\u2022\u2022\u03B1\u03B2\u03C0"));
    QCOMPARE(RtfCodePages::mapSymbols(F::wingdings, QStringLiteral("\u00A7\uF0D8")),
             QStringLiteral("\u25AA\u27A2"));
    // A glyph without a Unicode twin stays in the font's private range.
    QCOMPARE(RtfCodePages::mapSymbols(F::other, QStringLiteral("\u00B7x")),
             QStringLiteral("\uF0B7x"));
}

QTEST_GUILESS_MAIN(TestRtfCodePages)
#include "tst_rtfcodepages.moc"
