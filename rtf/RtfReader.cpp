#include "rtf/RtfReader.h"

#include "rtf/RtfCodePages.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfKeywords.h"
#include "rtf/RtfState.h"
#include "rtf/RtfTokenizer.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace {

constexpr int maxStyleWords = 256; // formatting words replayed per style
constexpr int maxStyleNesting = 8; // \sbasedon chain followed this far
constexpr int maxNameBytes = 256;  // font names
constexpr int maxInstructionLength = 4096;
constexpr int maxTwips = 31680; // 22 inches: the widest page RTF knows

int clampTwips(int value)
{
    return std::clamp(value, -maxTwips, maxTwips);
}
qreal twipsToPixels(int twips)
{
    return twips / 15.0;
}

struct FontEntry
{
    QString name;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0; // 0: the document's
    RtfCodePages::SymbolFont symbols = RtfCodePages::SymbolFont::Other;
};

struct StyleWord
{
    RtfKeyword keyword;
    int parameter;
    bool hasParameter;
};

struct StyleEntry
{
    int basedOn = -1;
    QList<StyleWord> words;
};

struct Field
{
    QString instruction;
};

// The fixed-form part of a font name that PostScript-style names carry
// ("Helvetica-Bold", "Times-Roman"), so that the family can be matched.
QString familyName(const QString &name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    if (dash > 0 && !name.contains(QLatin1Char(' ')))
        return name.left(dash);
    return name;
}

// The target of a HYPERLINK field instruction: its first argument, or
// "#name" for a \l bookmark. Empty when the instruction is something else.
QString hyperlinkTarget(const QString &instruction)
{
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < instruction.size(); ++i) {
        const QChar c = instruction[i];
        if (c == QLatin1Char('\\') && i + 1 < instruction.size() &&
            (instruction[i + 1] == QLatin1Char('\\') || instruction[i + 1] == QLatin1Char('"'))) {
            current += instruction[++i];
            any = true;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c.isSpace() && !quoted) {
            if (any)
                arguments.append(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments.append(current);
    if (arguments.isEmpty() ||
        arguments.first().compare(QLatin1String("HYPERLINK"), Qt::CaseInsensitive) != 0)
        return QString();
    QString target;
    QString bookmark;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument.size() == 2 && argument.startsWith(QLatin1Char('\\'))) {
            const QChar option = argument[1].toLower();
            if (option == QLatin1Char('l') && i + 1 < arguments.size())
                bookmark = arguments[++i];
            else if ((option == QLatin1Char('o') || option == QLatin1Char('t')) &&
                     i + 1 < arguments.size())
                ++i; // tooltip or target frame
            continue;
        }
        if (target.isEmpty())
            target = argument;
    }
    if (!bookmark.isEmpty())
        target += QLatin1Char('#') + bookmark;
    return target;
}

class RtfParser
{
public:
    explicit RtfParser(QTextDocument *document) : m_document(document), m_builder(document) {}

    void parse(QByteArrayView input);

private:
    void finish();

private:
    void groupStart();
    void groupEnd();
    void controlWord(const RtfToken &token);
    void controlSymbol(char symbol);
    void text(QByteArrayView bytes);
    void hexByte(uchar byte);
    void unicode(int value);

    bool applyFormatting(RtfKeyword keyword, int parameter, bool hasParameter);
    void applyStyle(int number, int nesting);
    void startSkipping() { m_skipDepth = 1; }

    void flushBytes();
    void emitText(const QString &text);
    void emitChar(char16_t c) { emitText(QString(QChar(c))); }
    void syncTable();
    void endParagraph();
    void finishFontEntry();
    void finishStyleEntry();

    int codePageFor(const RtfCharState &chars) const;
    const FontEntry *fontFor(const RtfCharState &chars) const;
    QTextCharFormat charFormat();
    QTextBlockFormat blockFormat() const;

    QTextDocument *m_document;
    RtfDocumentBuilder m_builder;
    RtfCodePages m_codePages;

    RtfGroupState m_state;
    QList<RtfGroupState> m_stack; // the states saved by the open groups
    int m_skipDepth = 0;          // > 0 while inside a group that is left out
    bool m_skipPopsState = true;  // whether the skipped group pushed a state
    bool m_ignorable = false;     // a \* opened this group

    int m_documentCodePage = 1252;
    int m_defaultFont = -1;
    QHash<int, FontEntry> m_fonts;
    QList<QColor> m_colors; // invalid entries are the automatic colour
    QHash<int, StyleEntry> m_styles;
    QList<Field> m_fields;
    QStringList m_links;
    QList<int> m_cellBoundaries;

    // Font table entry being read.
    int m_fontNumber = -1;
    FontEntry m_font;
    int m_fontCharset = -1;
    int m_fontCodePage = -1;
    QByteArray m_fontNameBytes;

    // Colour table entry being read.
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;

    // Style sheet entry being read.
    int m_styleNumber = 0;
    StyleEntry m_style;
    bool m_styleOpen = false;

    QByteArray m_bytes;        // 8-bit text awaiting decoding in the current code page
    int m_unicodeSkipLeft = 0; // fallback characters still to skip after \u
    char16_t m_highSurrogate = 0;

    RtfCharState m_cachedChars;
    QTextCharFormat m_cachedFormat;
    bool m_cacheValid = false;
};

void RtfParser::parse(QByteArrayView input)
{
    RtfTokenizer tokenizer(input);
    m_document->setUndoRedoEnabled(false);
    for (RtfToken token = tokenizer.next(); token.type != RtfToken::End; token = tokenizer.next()) {
        if (m_skipDepth > 0) {
            if (token.type == RtfToken::GroupStart) {
                ++m_skipDepth;
            } else if (token.type == RtfToken::GroupEnd && --m_skipDepth == 0) {
                if (m_skipPopsState)
                    groupEnd();
                m_skipPopsState = true;
            }
            continue;
        }
        if (token.type != RtfToken::Text && token.type != RtfToken::HexByte)
            flushBytes();
        if (token.type != RtfToken::ControlWord && token.type != RtfToken::ControlSymbol)
            m_ignorable = false;

        switch (token.type) {
        case RtfToken::GroupStart:
            groupStart();
            break;
        case RtfToken::GroupEnd:
            if (m_stack.size() == 1)
                return finish(); // the document's closing brace; anything after it is not RTF
            groupEnd();
            break;
        case RtfToken::ControlWord:
            controlWord(token);
            break;
        case RtfToken::ControlSymbol:
            controlSymbol(token.symbol);
            break;
        case RtfToken::Text:
            text(token.data);
            break;
        case RtfToken::HexByte:
            hexByte(token.byte);
            break;
        case RtfToken::Binary:
            if (m_unicodeSkipLeft > 0)
                --m_unicodeSkipLeft;
            break;
        case RtfToken::End:
            break;
        }
    }
    finish();
}

// Ends the last paragraph with the formatting in force where the document ends.
void RtfParser::finish()
{
    flushBytes();
    if (m_highSurrogate)
        emitText(QString());
    if (m_state.destination == RtfDestination::Body)
        syncTable();
    m_builder.finish(blockFormat(), charFormat());
}

void RtfParser::groupStart()
{
    m_unicodeSkipLeft = 0;
    if (m_stack.size() >= RtfReader::maxGroupDepth) {
        m_skipPopsState = false;
        startSkipping();
        return;
    }
    m_stack.append(m_state);
}

void RtfParser::groupEnd()
{
    m_unicodeSkipLeft = 0;
    if (m_stack.isEmpty())
        return;
    switch (m_state.destination) {
    case RtfDestination::FontTable:
        if (m_fontNumber >= 0)
            finishFontEntry();
        break;
    case RtfDestination::StyleSheet:
        if (m_styleOpen)
            finishStyleEntry();
        break;
    default:
        break;
    }
    const int field = m_state.field;
    m_state = m_stack.takeLast();
    if (field != m_state.field && field >= 0 && field == m_fields.size() - 1)
        m_fields.removeLast();
}

void RtfParser::controlSymbol(char symbol)
{
    if (m_unicodeSkipLeft > 0 && symbol != '*') {
        --m_unicodeSkipLeft;
        return;
    }
    switch (symbol) {
    case '*':
        m_ignorable = true;
        return;
    case '\\':
    case '{':
    case '}':
        text(QByteArrayView(&symbol, 1));
        return;
    case '~':
        emitChar(0x00A0);
        return;
    case '-':
        emitChar(0x00AD);
        return;
    case '_':
        emitChar(0x2011);
        return;
    case '\n':
        if (m_state.destination == RtfDestination::Body)
            endParagraph();
        return;
    case '\t':
        emitChar(u'\t');
        return;
    default:
        return;
    }
}

void RtfParser::controlWord(const RtfToken &token)
{
    const RtfKeyword keyword = rtfKeyword(token.data);
    const int parameter = token.parameter;
    const bool hasParameter = token.hasParameter;
    const bool ignorable = std::exchange(m_ignorable, false);

    if (m_unicodeSkipLeft > 0) {
        --m_unicodeSkipLeft;
        return;
    }

    // "{\*\word": a destination that a reader may leave out unless it knows it.
    if (ignorable && keyword != RtfKeyword::FieldInstruction &&
        keyword != RtfKeyword::UnicodeText &&
        !(keyword == RtfKeyword::CharStyle && m_state.destination == RtfDestination::StyleSheet)) {
        startSkipping();
        return;
    }

    RtfGroupState &s = m_state;
    switch (keyword) {
    case RtfKeyword::SkippedDestination:
        startSkipping();
        return;
    case RtfKeyword::FontTable:
        s.destination = RtfDestination::FontTable;
        m_fontNumber = -1;
        return;
    case RtfKeyword::ColorTable:
        s.destination = RtfDestination::ColorTable;
        m_colorSet = false;
        return;
    case RtfKeyword::StyleSheet:
        s.destination = RtfDestination::StyleSheet;
        m_styleOpen = false;
        return;
    case RtfKeyword::Field:
        if (s.destination != RtfDestination::Body)
            return;
        m_fields.append(Field());
        s.field = int(m_fields.size()) - 1;
        s.destination = RtfDestination::Field;
        return;
    case RtfKeyword::FieldInstruction:
        if (s.destination == RtfDestination::Field)
            s.destination = RtfDestination::FieldInstruction;
        else
            startSkipping();
        return;
    case RtfKeyword::FieldResult:
        if (s.destination != RtfDestination::Field)
            return;
        s.destination = RtfDestination::Body;
        if (s.field >= 0) {
            const QString target = hyperlinkTarget(m_fields[s.field].instruction.trimmed());
            if (!target.isEmpty()) {
                m_links.append(target);
                s.chars.link = int(m_links.size()) - 1;
                m_cacheValid = false;
            }
        }
        return;
    case RtfKeyword::ObjectResult:
    case RtfKeyword::ListText:
        return; // their text is shown like any other
    case RtfKeyword::UnicodePair:
        if (s.destination == RtfDestination::Body)
            s.destination = RtfDestination::Suppressed;
        return;
    case RtfKeyword::UnicodeText:
        if (s.destination == RtfDestination::Suppressed)
            s.destination = RtfDestination::Body;
        else
            startSkipping();
        return;
    case RtfKeyword::Unicode:
        if (hasParameter)
            unicode(parameter);
        return;
    case RtfKeyword::UnicodeSkip:
        s.unicodeSkip = std::clamp(parameter, 0, 16);
        return;
    default:
        break;
    }

    switch (s.destination) {
    case RtfDestination::FontTable:
        switch (keyword) {
        case RtfKeyword::Font:
            if (m_fontNumber >= 0)
                finishFontEntry();
            m_fontNumber = std::max(0, parameter);
            m_font = FontEntry();
            m_fontCharset = -1;
            m_fontCodePage = -1;
            m_fontNameBytes.clear();
            return;
        case RtfKeyword::FontFamilyRoman:
            m_font.hint = QFont::Serif;
            return;
        case RtfKeyword::FontFamilySwiss:
            m_font.hint = QFont::SansSerif;
            return;
        case RtfKeyword::FontFamilyModern:
            m_font.hint = QFont::TypeWriter;
            return;
        case RtfKeyword::FontFamilyScript:
            m_font.hint = QFont::Cursive;
            return;
        case RtfKeyword::FontFamilyDecor:
            m_font.hint = QFont::Decorative;
            return;
        case RtfKeyword::FontCharset:
            m_fontCharset = parameter;
            return;
        case RtfKeyword::FontCodePage:
            m_fontCodePage = parameter;
            return;
        default:
            return;
        }
    case RtfDestination::ColorTable:
        switch (keyword) {
        case RtfKeyword::Red:
            m_red = std::clamp(parameter, 0, 255);
            m_colorSet = true;
            return;
        case RtfKeyword::Green:
            m_green = std::clamp(parameter, 0, 255);
            m_colorSet = true;
            return;
        case RtfKeyword::Blue:
            m_blue = std::clamp(parameter, 0, 255);
            m_colorSet = true;
            return;
        default:
            return;
        }
    case RtfDestination::StyleSheet:
        switch (keyword) {
        case RtfKeyword::Style:
        case RtfKeyword::CharStyle:
            m_styleOpen = true;
            m_styleNumber = parameter;
            return;
        case RtfKeyword::BasedOn:
            m_styleOpen = true;
            m_style.basedOn = parameter;
            return;
        default:
            m_styleOpen = true;
            if (keyword != RtfKeyword::Unknown && m_style.words.size() < maxStyleWords)
                m_style.words.append({keyword, parameter, hasParameter});
            return;
        }
    case RtfDestination::Field:
    case RtfDestination::FieldInstruction:
    case RtfDestination::Suppressed:
        applyFormatting(keyword, parameter, hasParameter);
        return;
    case RtfDestination::Body:
        break;
    }

    switch (keyword) {
    case RtfKeyword::Ansi:
        m_documentCodePage = 1252;
        return;
    case RtfKeyword::Mac:
        m_documentCodePage = RtfCodePages::macRoman;
        return;
    case RtfKeyword::Pc:
        m_documentCodePage = 437;
        return;
    case RtfKeyword::Pca:
        m_documentCodePage = 850;
        return;
    case RtfKeyword::AnsiCodePage:
        if (parameter > 0)
            m_documentCodePage = parameter;
        return;
    case RtfKeyword::DefaultFont:
        m_defaultFont = parameter;
        m_cacheValid = false;
        return;
    case RtfKeyword::DefaultTab:
        if (parameter > 0) {
            QTextOption option = m_document->defaultTextOption();
            option.setTabStopDistance(twipsToPixels(std::min(parameter, maxTwips)));
            m_document->setDefaultTextOption(option);
        }
        return;
    case RtfKeyword::Par:
    case RtfKeyword::Page:
        endParagraph();
        return;
    case RtfKeyword::Line:
        emitChar(QChar::LineSeparator);
        return;
    case RtfKeyword::Tab:
        emitChar(u'\t');
        return;
    case RtfKeyword::EmDash:
        emitChar(0x2014);
        return;
    case RtfKeyword::EnDash:
        emitChar(0x2013);
        return;
    case RtfKeyword::EmSpace:
        emitChar(0x2003);
        return;
    case RtfKeyword::EnSpace:
        emitChar(0x2002);
        return;
    case RtfKeyword::QuarterEmSpace:
        emitChar(0x2005);
        return;
    case RtfKeyword::Bullet:
        emitChar(0x2022);
        return;
    case RtfKeyword::LeftQuote:
        emitChar(0x2018);
        return;
    case RtfKeyword::RightQuote:
        emitChar(0x2019);
        return;
    case RtfKeyword::LeftDoubleQuote:
        emitChar(0x201C);
        return;
    case RtfKeyword::RightDoubleQuote:
        emitChar(0x201D);
        return;
    case RtfKeyword::ZeroWidthJoiner:
        emitChar(0x200D);
        return;
    case RtfKeyword::ZeroWidthNonJoiner:
        emitChar(0x200C);
        return;
    case RtfKeyword::LeftToRightMark:
        emitChar(0x200E);
        return;
    case RtfKeyword::RightToLeftMark:
        emitChar(0x200F);
        return;
    case RtfKeyword::RowDefaults:
        m_cellBoundaries.clear();
        return;
    case RtfKeyword::CellBoundary:
        if (m_cellBoundaries.size() < RtfDocumentBuilder::maxColumns)
            m_cellBoundaries.append(clampTwips(parameter));
        return;
    case RtfKeyword::Cell:
        m_state.para.inTable = true;
        syncTable();
        m_builder.endCell(blockFormat());
        return;
    case RtfKeyword::Row:
        m_builder.endRow();
        return;
    case RtfKeyword::Style:
    case RtfKeyword::CharStyle:
        applyStyle(parameter, 0);
        return;
    default:
        applyFormatting(keyword, parameter, hasParameter);
        return;
    }
}

// Character and paragraph formatting, shared by the body and the replay of
// styles. Returns whether the word was one of them.
bool RtfParser::applyFormatting(RtfKeyword keyword, int parameter, bool hasParameter)
{
    RtfCharState &c = m_state.chars;
    RtfParaState &p = m_state.para;
    const bool on = !hasParameter || parameter != 0;
    switch (keyword) {
    case RtfKeyword::Plain: {
        const int link = c.link;
        c = RtfCharState();
        c.link = link; // a hyperlink's text stays a link
        break;
    }
    case RtfKeyword::Font:
        c.font = std::max(0, parameter);
        break;
    case RtfKeyword::FontSize:
        c.halfPoints = hasParameter ? std::clamp(parameter, 2, 3276) : 24;
        break;
    case RtfKeyword::Bold:
        c.bold = on;
        break;
    case RtfKeyword::Italic:
        c.italic = on;
        break;
    case RtfKeyword::Underline:
        c.underline = on ? RtfUnderline::Single : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineDouble:
        c.underline = on ? RtfUnderline::Double : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineDotted:
        c.underline = on ? RtfUnderline::Dotted : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineDashed:
        c.underline = on ? RtfUnderline::Dashed : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineDashDot:
        c.underline = on ? RtfUnderline::DashDot : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineDashDotDot:
        c.underline = on ? RtfUnderline::DashDotDot : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineWave:
        c.underline = on ? RtfUnderline::Wave : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineThick:
        c.underline = on ? RtfUnderline::Thick : RtfUnderline::None;
        break;
    case RtfKeyword::UnderlineNone:
        c.underline = RtfUnderline::None;
        break;
    case RtfKeyword::Strike:
        c.strike = on;
        break;
    case RtfKeyword::ForegroundColor:
        c.foreground = parameter;
        break;
    case RtfKeyword::BackgroundColor:
    case RtfKeyword::Highlight:
        c.background = parameter;
        break;
    case RtfKeyword::Superscript:
        c.script = on ? 1 : 0;
        break;
    case RtfKeyword::Subscript:
        c.script = on ? -1 : 0;
        break;
    case RtfKeyword::NoSuperSub:
        c.script = 0;
        c.raise = 0;
        break;
    case RtfKeyword::Up:
        c.raise = std::clamp(hasParameter ? parameter : 6, 0, 3276);
        break;
    case RtfKeyword::Down:
        c.raise = -std::clamp(hasParameter ? parameter : 6, 0, 3276);
        break;
    case RtfKeyword::Caps:
        c.caps = on;
        break;
    case RtfKeyword::SmallCaps:
        c.smallCaps = on;
        break;
    case RtfKeyword::Hidden:
        c.hidden = on;
        break;
    case RtfKeyword::Pard:
        p = RtfParaState();
        return true;
    case RtfKeyword::AlignLeft:
        p.alignment = 0;
        return true;
    case RtfKeyword::AlignCenter:
        p.alignment = 1;
        return true;
    case RtfKeyword::AlignRight:
        p.alignment = 2;
        return true;
    case RtfKeyword::AlignJustify:
        p.alignment = 3;
        return true;
    case RtfKeyword::LeftIndent:
        p.leftIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::RightIndent:
        p.rightIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::FirstIndent:
        p.firstIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::SpaceBefore:
        p.spaceBefore = std::clamp(parameter, 0, maxTwips);
        return true;
    case RtfKeyword::SpaceAfter:
        p.spaceAfter = std::clamp(parameter, 0, maxTwips);
        return true;
    case RtfKeyword::LineSpacing:
        p.lineSpacing = clampTwips(parameter);
        return true;
    case RtfKeyword::LineMultiple:
        p.lineMultiple = on;
        return true;
    case RtfKeyword::PageBreakBefore:
        p.pageBreakBefore = on;
        return true;
    case RtfKeyword::TabCenter:
        p.nextTabKind = 1;
        return true;
    case RtfKeyword::TabRight:
        p.nextTabKind = 2;
        return true;
    case RtfKeyword::TabDecimal:
        p.nextTabKind = 3;
        return true;
    case RtfKeyword::TabPosition:
        if (p.tabs.size() < 64)
            p.tabs.append({std::clamp(parameter, 0, maxTwips), p.nextTabKind});
        p.nextTabKind = 0;
        return true;
    case RtfKeyword::InTable:
        p.inTable = on;
        return true;
    default:
        return false;
    }
    return true;
}

void RtfParser::applyStyle(int number, int nesting)
{
    const auto found = m_styles.constFind(number);
    if (found == m_styles.constEnd() || nesting > maxStyleNesting)
        return;
    if (found->basedOn >= 0 && found->basedOn != number)
        applyStyle(found->basedOn, nesting + 1);
    for (const StyleWord &word : found->words)
        applyFormatting(word.keyword, word.parameter, word.hasParameter);
}

void RtfParser::text(QByteArrayView bytes)
{
    if (m_unicodeSkipLeft > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_unicodeSkipLeft, bytes.size());
        m_unicodeSkipLeft -= int(skipped);
        bytes = bytes.sliced(skipped);
    }
    if (bytes.isEmpty())
        return;

    switch (m_state.destination) {
    case RtfDestination::Body:
    case RtfDestination::FieldInstruction:
        m_bytes.append(bytes);
        return;
    case RtfDestination::FontTable:
        for (const char c : bytes) {
            if (c == ';') {
                if (m_fontNumber >= 0)
                    finishFontEntry();
            } else if (m_fontNameBytes.size() < maxNameBytes) {
                m_fontNameBytes.append(c);
            }
        }
        return;
    case RtfDestination::ColorTable:
        for (const char c : bytes) {
            if (c != ';')
                continue;
            m_colors.append(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
            m_red = m_green = m_blue = 0;
            m_colorSet = false;
        }
        return;
    case RtfDestination::StyleSheet:
        if (bytes.contains(';') && m_styleOpen)
            finishStyleEntry();
        return;
    case RtfDestination::Field:
    case RtfDestination::Suppressed:
        return;
    }
}

void RtfParser::hexByte(uchar byte)
{
    if (m_unicodeSkipLeft > 0) {
        --m_unicodeSkipLeft;
        return;
    }
    const char c = char(byte);
    if (m_state.destination == RtfDestination::FontTable) {
        if (m_fontNameBytes.size() < maxNameBytes)
            m_fontNameBytes.append(c);
        return;
    }
    if (m_state.destination == RtfDestination::Body ||
        m_state.destination == RtfDestination::FieldInstruction)
        m_bytes.append(c);
}

void RtfParser::unicode(int value)
{
    m_unicodeSkipLeft = m_state.unicodeSkip;
    const uint code = value < 0 ? uint(value + 65536) : uint(value);
    if (m_state.destination == RtfDestination::FontTable) {
        if (code < 0x80 && m_fontNameBytes.size() < maxNameBytes)
            m_fontNameBytes.append(char(code));
        return;
    }
    if (code > 0x10FFFF)
        emitChar(QChar::ReplacementCharacter);
    else if (code > 0xFFFF) {
        const char32_t wide = code;
        emitText(QString::fromUcs4(&wide, 1));
    } else
        emitChar(char16_t(code));
}

void RtfParser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_bytes, QByteArray());
    const int codePage = codePageFor(m_state.chars);
    emitText(m_codePages.decode(codePage, bytes));
}

// All text reaches the document or the field instruction here, where \u
// surrogate halves are paired and symbol fonts are mapped.
void RtfParser::emitText(const QString &input)
{
    QString text;
    const bool single = input.size() == 1;
    if (single && input[0].isHighSurrogate()) {
        if (m_highSurrogate)
            text += QChar::ReplacementCharacter;
        m_highSurrogate = input[0].unicode();
        if (text.isEmpty())
            return;
    } else if (single && input[0].isLowSurrogate()) {
        if (m_highSurrogate) {
            text += QChar(m_highSurrogate);
            text += input[0];
        } else {
            text += QChar::ReplacementCharacter;
        }
        m_highSurrogate = 0;
    } else {
        if (m_highSurrogate)
            text += QChar::ReplacementCharacter;
        m_highSurrogate = 0;
        text += input;
    }
    if (text.isEmpty())
        return;

    if (m_state.destination == RtfDestination::FieldInstruction) {
        if (m_state.field >= 0) {
            QString &instruction = m_fields[m_state.field].instruction;
            if (instruction.size() < maxInstructionLength)
                instruction += text;
        }
        return;
    }
    if (m_state.destination != RtfDestination::Body || m_state.chars.hidden)
        return;
    if (const FontEntry *font = fontFor(m_state.chars);
        font && font->symbols != RtfCodePages::SymbolFont::Other)
        text = RtfCodePages::mapSymbols(font->symbols, text);
    syncTable();
    m_builder.appendText(text, charFormat());
}

void RtfParser::syncTable()
{
    if (m_state.para.inTable)
        m_builder.enterCell(m_cellBoundaries);
    else if (m_builder.inTable())
        m_builder.leaveTable();
}

void RtfParser::endParagraph()
{
    if (m_highSurrogate)
        emitText(QString());
    syncTable();
    m_builder.endParagraph(blockFormat(), charFormat());
}

void RtfParser::finishFontEntry()
{
    FontEntry font = m_font;
    int codePage = 0;
    if (m_fontCodePage > 0)
        codePage = m_fontCodePage;
    else if (m_fontCharset >= 0)
        codePage = RtfCodePages::codePageForCharset(m_fontCharset);
    font.codePage = codePage;
    const int nameCodePage = codePage == 0 ? m_documentCodePage : codePage;
    font.name =
        m_codePages
            .decode(nameCodePage == RtfCodePages::symbolPage ? 1252 : nameCodePage, m_fontNameBytes)
            .trimmed();
    if (codePage == RtfCodePages::symbolPage)
        font.symbols = RtfCodePages::symbolFontForName(font.name);
    m_fonts.insert(m_fontNumber, font);
    m_fontNumber = -1;
    m_fontNameBytes.clear();
    m_cacheValid = false;
}

void RtfParser::finishStyleEntry()
{
    m_styles.insert(m_styleNumber, m_style);
    m_style = StyleEntry();
    m_styleNumber = 0;
    m_styleOpen = false;
}

const FontEntry *RtfParser::fontFor(const RtfCharState &chars) const
{
    const int number = chars.font >= 0 ? chars.font : m_defaultFont;
    const auto found = m_fonts.constFind(number);
    return found == m_fonts.constEnd() ? nullptr : &*found;
}

int RtfParser::codePageFor(const RtfCharState &chars) const
{
    const FontEntry *font = fontFor(chars);
    if (font && font->codePage != 0)
        return font->codePage;
    return m_documentCodePage;
}

QTextCharFormat RtfParser::charFormat()
{
    const RtfCharState &c = m_state.chars;
    if (m_cacheValid && c == m_cachedChars)
        return m_cachedFormat;

    QTextCharFormat format;
    if (const FontEntry *font = fontFor(c); font && !font->name.isEmpty()) {
        const QString family = familyName(font->name);
        format.setFontFamilies(family == font->name ? QStringList{family}
                                                    : QStringList{font->name, family});
        format.setFontStyleHint(font->hint);
    }
    format.setFontPointSize(c.halfPoints / 2.0);
    format.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(c.italic);
    switch (c.underline) {
    case RtfUnderline::None:
        format.setUnderlineStyle(QTextCharFormat::NoUnderline);
        break;
    case RtfUnderline::Single:
    case RtfUnderline::Double:
    case RtfUnderline::Thick:
        format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        break;
    case RtfUnderline::Dotted:
        format.setUnderlineStyle(QTextCharFormat::DotLine);
        break;
    case RtfUnderline::Dashed:
        format.setUnderlineStyle(QTextCharFormat::DashUnderline);
        break;
    case RtfUnderline::DashDot:
        format.setUnderlineStyle(QTextCharFormat::DashDotLine);
        break;
    case RtfUnderline::DashDotDot:
        format.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
        break;
    case RtfUnderline::Wave:
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        break;
    }
    format.setFontStrikeOut(c.strike);
    const auto color = [this](int index) {
        return index >= 0 && index < m_colors.size() ? m_colors[index] : QColor();
    };
    const QColor foreground = color(c.foreground);
    if (foreground.isValid())
        format.setForeground(foreground);
    const QColor background = color(c.background);
    if (background.isValid())
        format.setBackground(background);
    if (c.script > 0)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.script < 0)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    else if (c.raise != 0)
        format.setBaselineOffset(100.0 * c.raise / c.halfPoints);
    if (c.caps)
        format.setFontCapitalization(QFont::AllUppercase);
    else if (c.smallCaps)
        format.setFontCapitalization(QFont::SmallCaps);
    if (c.link >= 0 && c.link < m_links.size()) {
        format.setAnchor(true);
        format.setAnchorHref(m_links[c.link]);
        // Links look like links unless the document gives them its own look.
        if (!foreground.isValid())
            format.setForeground(QColor(0x00, 0x00, 0xEE));
        if (c.underline == RtfUnderline::None)
            format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    }

    m_cachedChars = c;
    m_cachedFormat = format;
    m_cacheValid = true;
    return format;
}

QTextBlockFormat RtfParser::blockFormat() const
{
    const RtfParaState &p = m_state.para;
    QTextBlockFormat format;
    switch (p.alignment) {
    case 1:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case 2:
        format.setAlignment(Qt::AlignRight);
        break;
    case 3:
        format.setAlignment(Qt::AlignJustify);
        break;
    default:
        format.setAlignment(Qt::AlignLeft);
        break;
    }
    format.setLeftMargin(twipsToPixels(p.leftIndent));
    format.setRightMargin(twipsToPixels(p.rightIndent));
    format.setTextIndent(twipsToPixels(p.firstIndent));
    format.setTopMargin(twipsToPixels(p.spaceBefore));
    format.setBottomMargin(twipsToPixels(p.spaceAfter));
    if (p.lineSpacing != 0) {
        // Beyond ten lines a multiple is an error, and huge line heights
        // overflow the layout's fixed-point coordinates.
        if (p.lineMultiple && p.lineSpacing > 0)
            format.setLineHeight(100.0 * std::min(p.lineSpacing, 2400) / 240.0,
                                 QTextBlockFormat::ProportionalHeight);
        else if (p.lineSpacing > 0)
            format.setLineHeight(twipsToPixels(p.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(twipsToPixels(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (p.pageBreakBefore)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    // RTF measures tab stops from the page margin; the layout measures them
    // from where a line starts, for the first line the indent plus the
    // first-line indent. A hanging indent has an implicit stop at the indent,
    // where the text after a list marker's tab lines up.
    const int lineStart = p.leftIndent + p.firstIndent;
    QList<RtfTabStop> stops = p.tabs;
    if (p.firstIndent < 0)
        stops.append({p.leftIndent, 0});
    std::sort(stops.begin(), stops.end(),
              [](const RtfTabStop &a, const RtfTabStop &b) { return a.position < b.position; });
    QList<QTextOption::Tab> tabs;
    for (const RtfTabStop &stop : stops) {
        if (stop.position <= lineStart)
            continue;
        const QTextOption::TabType type = stop.kind == 1   ? QTextOption::CenterTab
                                          : stop.kind == 2 ? QTextOption::RightTab
                                          : stop.kind == 3 ? QTextOption::DelimiterTab
                                                           : QTextOption::LeftTab;
        tabs.append(QTextOption::Tab(twipsToPixels(stop.position - lineStart), type,
                                     stop.kind == 3 ? QLatin1Char('.') : QChar()));
    }
    if (!tabs.isEmpty())
        format.setTabPositions(tabs);
    return format;
}

bool startsLikeRtf(QByteArrayView input)
{
    qsizetype i = 0;
    if (input.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < input.size() &&
           (input[i] == ' ' || input[i] == '\t' || input[i] == '\r' || input[i] == '\n'))
        ++i;
    return input.sliced(i).startsWith("{\\rtf");
}

} // namespace

RtfReadResult RtfReader::read(QByteArrayView rtf, QTextDocument *document)
{
    RtfReadResult result;
    if (!document) {
        result.message = QStringLiteral("There is no document to read into.");
        return result;
    }
    document->clear();
    if (rtf.isEmpty()) {
        result.message = QStringLiteral("The file is empty, so it cannot be read as RTF.");
        return result;
    }
    if (!startsLikeRtf(rtf)) {
        result.message =
            QStringLiteral("The file is not in RTF format: it does not begin with \"{\\rtf\".");
        return result;
    }
    // One edit block for the whole read: outside one, every table inserted
    // rescans the document's frames and every text run positions its cursor
    // on a laid-out line, which makes long documents quadratic.
    QTextCursor edit(document);
    edit.beginEditBlock();
    RtfParser parser(document);
    parser.parse(rtf.sliced(rtf.indexOf('{')));
    edit.endEditBlock();
    result.ok = true;
    return result;
}
