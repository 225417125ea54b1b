#pragma once

#include "rtf/RtfCodePages.h"
#include "rtf/RtfKeywords.h"
#include "rtf/RtfState.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>

struct RtfFontEntry
{
    QString name;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0; // 0: the document's
    RtfCodePages::SymbolFont symbols = RtfCodePages::SymbolFont::other;
};

struct RtfStyleWord
{
    RtfKeyword keyword;
    int parameter;
    bool hasParameter;
};

struct RtfStyleEntry
{
    int basedOn = -1;
    QList<RtfStyleWord> words;
};

// The document's font table, colour table and style sheet, with the code
// page and default font that decide how text in a font is decoded. The reader
// passes the words and text of those destinations here as they come.
class RtfTables
{
public:
    explicit RtfTables(RtfCodePages &codePages) : m_codePages(codePages) {}

    // The document's character set, code page and default font; false when
    // the word is none of them.
    bool documentWord(RtfKeyword keyword, int parameter);

    void beginFontTable() { m_fontNumber = -1; }
    void fontWord(RtfKeyword keyword, int parameter);
    void fontText(QByteArrayView bytes);
    void fontNameByte(char byte);

    void beginColorTable() { m_colorSet = false; }
    void colorWord(RtfKeyword keyword, int parameter);
    void colorText(QByteArrayView bytes);

    void beginStyleSheet() { m_styleOpen = false; }
    void styleWord(RtfKeyword keyword, int parameter, bool hasParameter);
    void styleText(QByteArrayView bytes);

    // The words and text of the font table, colour table and style sheet.
    void destinationWord(RtfDestination destination, RtfKeyword keyword, int parameter,
                         bool hasParameter);
    void destinationText(RtfDestination destination, QByteArrayView bytes);

    // A group of the destination closes: an entry still open is complete.
    void endGroup(RtfDestination destination);

    const RtfFontEntry *fontFor(const RtfCharState &chars) const;
    int codePageFor(const RtfCharState &chars) const;
    QColor color(int index) const;
    const RtfStyleEntry *style(int number) const;

    // Changes whenever what fontFor() answers may have changed.
    int fontRevision() const { return m_fontRevision; }

private:
    void finishFontEntry();
    void finishStyleEntry();

    RtfCodePages &m_codePages;
    int m_documentCodePage = 1252;
    int m_defaultFont = -1;
    int m_fontRevision = 0;
    QHash<int, RtfFontEntry> m_fonts;
    QList<QColor> m_colors; // invalid entries are the automatic colour
    QHash<int, RtfStyleEntry> m_styles;

    // Font table entry being read.
    int m_fontNumber = -1;
    RtfFontEntry m_font;
    int m_fontCharset = -1;
    int m_fontCodePage = -1;
    QByteArray m_fontNameBytes;

    // Colour table entry being read.
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;

    // Style sheet entry being read.
    int m_styleNumber = 0;
    RtfStyleEntry m_style;
    bool m_styleOpen = false;
};
