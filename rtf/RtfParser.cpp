#include "rtf/RtfParser.h"

#include "rtf/RtfFieldInstruction.h"
#include "rtf/RtfFormatting.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfUnits.h"

#include <QTextDocument>
#include <QTextOption>

namespace {

constexpr int maxStyleNesting = 8; // \sbasedon chain followed this far
constexpr int maxInstructionLength = 4096;

} // namespace

RtfParser::RtfParser(QTextDocument *document)
    : m_document(document), m_builder(document), m_tables(m_codePages), m_row(m_tables)
{}

void RtfParser::parse(QByteArrayView input)
{
    RtfTokenizer tokenizer(input);
    m_document->setUndoRedoEnabled(false);
    for (RtfToken token = tokenizer.next(); token.type != RtfToken::end; token = tokenizer.next()) {
        if (skipped(token))
            continue;
        if (token.type != RtfToken::text && token.type != RtfToken::hexByte)
            flushBytes();
        if (token.type != RtfToken::controlWord && token.type != RtfToken::controlSymbol)
            m_ignorable = false;

        switch (token.type) {
        case RtfToken::groupStart:
            groupStart();
            break;
        case RtfToken::groupEnd:
            if (m_stack.size() == 1)
                return finish(); // the document's closing brace; anything after it is not RTF
            groupEnd();
            break;
        case RtfToken::controlWord:
            controlWord(token);
            break;
        case RtfToken::controlSymbol:
            controlSymbol(token.symbol);
            break;
        case RtfToken::text:
            text(token.data);
            break;
        case RtfToken::hexByte:
            hexByte(token.byte);
            break;
        case RtfToken::binary:
            if (!m_fallback.skipToken() && m_state.destination == RtfDestination::picture)
                m_picture.binary(token.data);
            break;
        case RtfToken::end:
            break;
        }
    }
    finish();
}

bool RtfParser::skipped(const RtfToken &token)
{
    if (m_skipped.depth <= 0)
        return false;
    if (token.type == RtfToken::groupStart) {
        ++m_skipped.depth;
    } else if (token.type == RtfToken::groupEnd && --m_skipped.depth == 0) {
        if (m_skipped.popsState)
            groupEnd();
        m_skipped.popsState = true;
    }
    return true;
}

// Ends the last paragraph with the formatting in force where the document ends.
void RtfParser::finish()
{
    flushBytes();
    if (m_fallback.holdsHalf())
        emitText(QString());
    if (m_state.destination == RtfDestination::body)
        syncTable();
    m_builder.finish(blockFormat(), charFormat(), m_row.format());
}

void RtfParser::groupStart()
{
    m_fallback.cancel();
    if (m_stack.size() >= RtfReader::maxGroupDepth) {
        startSkipping(false);
        return;
    }
    m_stack.append(m_state);
}

void RtfParser::groupEnd()
{
    m_fallback.cancel();
    if (m_stack.isEmpty())
        return;
    m_tables.endGroup(m_state.destination);
    const bool picture = m_state.destination == RtfDestination::picture;
    const int field = m_state.field;
    m_state = m_stack.takeLast();
    if (field != m_state.field && field >= 0 && field == m_fieldInstructions.size() - 1)
        m_fieldInstructions.removeLast();
    if (picture && m_state.destination != RtfDestination::picture)
        insertPicture();
}

void RtfParser::controlSymbol(char symbol)
{
    if (symbol == '*') {
        m_ignorable = true;
        return;
    }
    if (m_fallback.skipToken())
        return;
    if (symbol == '\\' || symbol == '{' || symbol == '}')
        text(QByteArrayView(&symbol, 1));
    else if (symbol == '\n' && m_state.destination == RtfDestination::body)
        endParagraph();
    else if (const char16_t c = rtfSymbolCharacter(symbol))
        emitChar(c);
}

void RtfParser::controlWord(const RtfToken &token)
{
    const RtfKeyword keyword = rtfKeyword(token.data);
    const bool ignorable = std::exchange(m_ignorable, false);
    if (m_fallback.skipToken())
        return;

    // "{\*\word": a destination that a reader may leave out unless it knows it.
    if (ignorable && keyword != RtfKeyword::fieldInstruction &&
        keyword != RtfKeyword::unicodeText && keyword != RtfKeyword::shapePicture &&
        !(keyword == RtfKeyword::charStyle && m_state.destination == RtfDestination::styleSheet)) {
        startSkipping();
        return;
    }
    if (keyword == RtfKeyword::unicode) {
        if (token.hasParameter)
            unicode(token.parameter);
        return;
    }
    if (destinationWord(keyword, token.parameter))
        return;

    switch (m_state.destination) {
    case RtfDestination::fontTable:
    case RtfDestination::colorTable:
    case RtfDestination::styleSheet:
        m_tables.destinationWord(m_state.destination, keyword, token.parameter, token.hasParameter);
        return;
    case RtfDestination::picture:
        m_picture.word(keyword, token.parameter);
        return;
    case RtfDestination::field:
    case RtfDestination::fieldInstruction:
    case RtfDestination::suppressed:
        applyFormatting(keyword, token.parameter, token.hasParameter);
        return;
    case RtfDestination::body:
        bodyWord(keyword, token.parameter, token.hasParameter);
        return;
    }
}

// Words that open or change a destination, in any destination. Returns
// whether the word was one of them.
bool RtfParser::destinationWord(RtfKeyword keyword, int parameter)
{
    RtfGroupState &s = m_state;
    switch (keyword) {
    case RtfKeyword::skippedDestination:
        startSkipping();
        return true;
    case RtfKeyword::fontTable:
        s.destination = RtfDestination::fontTable;
        m_tables.beginFontTable();
        return true;
    case RtfKeyword::colorTable:
        s.destination = RtfDestination::colorTable;
        m_tables.beginColorTable();
        return true;
    case RtfKeyword::styleSheet:
        s.destination = RtfDestination::styleSheet;
        m_tables.beginStyleSheet();
        return true;
    case RtfKeyword::field:
        if (s.destination != RtfDestination::body)
            return true;
        m_fieldInstructions.append(QString());
        s.field = int(m_fieldInstructions.size()) - 1;
        s.destination = RtfDestination::field;
        return true;
    case RtfKeyword::fieldInstruction:
        if (s.destination == RtfDestination::field)
            s.destination = RtfDestination::fieldInstruction;
        else
            startSkipping();
        return true;
    case RtfKeyword::fieldResult:
        fieldResult();
        return true;
    case RtfKeyword::objectResult:
    case RtfKeyword::listText:
        return true; // their text is shown like any other
    case RtfKeyword::unicodePair:
        if (s.destination == RtfDestination::body)
            s.destination = RtfDestination::suppressed;
        return true;
    case RtfKeyword::unicodeText:
        if (s.destination == RtfDestination::suppressed)
            s.destination = RtfDestination::body;
        else
            startSkipping();
        return true;
    case RtfKeyword::unicodeSkip:
        s.unicodeSkip = std::clamp(parameter, 0, 16);
        return true;
    default:
        return pictureWord(keyword);
    }
}

// Pictures are read in the body only. Of a \shppict and the \nonshppict
// that follows it, which are one picture for two kinds of reader, the first
// is shown.
bool RtfParser::pictureWord(RtfKeyword keyword)
{
    switch (keyword) {
    case RtfKeyword::picture:
        if (m_state.destination != RtfDestination::body) {
            startSkipping();
            return true;
        }
        m_state.destination = RtfDestination::picture;
        m_picture = RtfPicture();
        return true;
    case RtfKeyword::shapePicture:
        m_shapePictureSeen = true;
        return true;
    case RtfKeyword::nonShapePicture:
        if (std::exchange(m_shapePictureSeen, false))
            startSkipping();
        return true;
    default:
        return false;
    }
}

void RtfParser::insertPicture()
{
    const QTextImageFormat format = m_picture.imageFormat();
    m_picture = RtfPicture();
    if (format.name().isEmpty() || m_state.destination != RtfDestination::body ||
        m_state.chars.hidden)
        return;
    syncTable();
    m_builder.appendText(QString(QChar::ObjectReplacementCharacter), format);
}

// A field's result is shown; a HYPERLINK field's result is its link.
void RtfParser::fieldResult()
{
    RtfGroupState &s = m_state;
    if (s.destination != RtfDestination::field)
        return;
    s.destination = RtfDestination::body;
    if (s.field < 0)
        return;
    const QString target =
        RtfFieldInstruction::hyperlinkTarget(m_fieldInstructions[s.field].trimmed());
    if (!target.isEmpty()) {
        m_links.append(target);
        s.chars.link = int(m_links.size()) - 1;
    }
}

void RtfParser::bodyWord(RtfKeyword keyword, int parameter, bool hasParameter)
{
    if (documentWord(keyword, parameter) || tableWord(keyword, parameter, hasParameter))
        return;
    if (const char16_t special = rtfSpecialCharacter(keyword)) {
        emitChar(special);
        return;
    }
    switch (keyword) {
    case RtfKeyword::par:
    case RtfKeyword::page:
        endParagraph();
        return;
    case RtfKeyword::style:
    case RtfKeyword::charStyle:
        applyStyle(parameter, 0);
        return;
    default:
        applyFormatting(keyword, parameter, hasParameter);
        return;
    }
}

// The document's tab width; the other document-wide words go to the tables.
bool RtfParser::documentWord(RtfKeyword keyword, int parameter)
{
    if (keyword != RtfKeyword::defaultTab)
        return m_tables.documentWord(keyword, parameter);
    if (parameter > 0) {
        QTextOption option = m_document->defaultTextOption();
        option.setTabStopDistance(RtfUnits::twipsToPixels(std::min(parameter, RtfUnits::maxTwips)));
        m_document->setDefaultTextOption(option);
    }
    return true;
}

// Row definitions and the ends of cells and rows. Returns whether the word
// was one of them. Nested tables are read flat: each nested cell is a
// paragraph of the cell around it.
bool RtfParser::tableWord(RtfKeyword keyword, int parameter, bool hasParameter)
{
    if (keyword == RtfKeyword::rowDefaults)
        m_rowOpen = true;
    if (m_row.word(keyword, parameter, hasParameter))
        return true;
    switch (keyword) {
    case RtfKeyword::cell:
        m_state.para.inTable = true;
        syncTable();
        m_builder.endCell(blockFormat(), charFormat());
        return true;
    case RtfKeyword::row:
        m_builder.endRow(m_row.format());
        m_rowOpen = false;
        return true;
    case RtfKeyword::nestedCell:
        endParagraph();
        return true;
    case RtfKeyword::nestedRow:
        return true;
    default:
        return false;
    }
}

void RtfParser::applyFormatting(RtfKeyword keyword, int parameter, bool hasParameter)
{
    if (!RtfFormatting::applyCharacterWord(m_state.chars, keyword, parameter, hasParameter))
        RtfFormatting::applyParagraphWord(m_state.para, keyword, parameter, hasParameter);
}

void RtfParser::applyStyle(int number, int nesting)
{
    const RtfStyleEntry *style = m_tables.style(number);
    if (!style || nesting > maxStyleNesting)
        return;
    if (style->basedOn >= 0 && style->basedOn != number)
        applyStyle(style->basedOn, nesting + 1);
    for (const RtfStyleWord &word : style->words)
        applyFormatting(word.keyword, word.parameter, word.hasParameter);
}

void RtfParser::text(QByteArrayView bytes)
{
    bytes = m_fallback.skipText(bytes);
    if (bytes.isEmpty())
        return;
    switch (m_state.destination) {
    case RtfDestination::body:
    case RtfDestination::fieldInstruction:
        m_bytes.append(bytes);
        return;
    case RtfDestination::fontTable:
    case RtfDestination::colorTable:
    case RtfDestination::styleSheet:
        m_tables.destinationText(m_state.destination, bytes);
        return;
    case RtfDestination::picture:
        m_picture.hexText(bytes);
        return;
    case RtfDestination::field:
    case RtfDestination::suppressed:
        return;
    }
}

void RtfParser::hexByte(uchar byte)
{
    if (m_fallback.skipToken())
        return;
    const char c = char(byte);
    if (m_state.destination == RtfDestination::fontTable)
        m_tables.fontNameByte(c);
    else if (m_state.destination == RtfDestination::body ||
             m_state.destination == RtfDestination::fieldInstruction)
        m_bytes.append(c);
}

void RtfParser::unicode(int value)
{
    m_fallback.expect(m_state.unicodeSkip);
    const uint code = value < 0 ? uint(value + 65536) : uint(value);
    if (m_state.destination == RtfDestination::fontTable) {
        if (code < 0x80)
            m_tables.fontNameByte(char(code));
        return;
    }
    if (code > 0x10FFFF) {
        emitChar(QChar::ReplacementCharacter);
    } else if (code > 0xFFFF) {
        const char32_t wide = code;
        emitText(QString::fromUcs4(&wide, 1));
    } else {
        emitChar(char16_t(code));
    }
}

void RtfParser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_bytes, QByteArray());
    emitText(m_codePages.decode(m_tables.codePageFor(m_state.chars), bytes));
}

// All text reaches the document or the field instruction here, where \u
// surrogate halves are paired and symbol fonts are mapped.
void RtfParser::emitText(const QString &input)
{
    QString text = m_fallback.pair(input);
    if (text.isEmpty())
        return;

    if (m_state.destination == RtfDestination::fieldInstruction) {
        if (m_state.field >= 0) {
            QString &instruction = m_fieldInstructions[m_state.field];
            if (instruction.size() < maxInstructionLength)
                instruction += text;
        }
        return;
    }
    if (m_state.destination != RtfDestination::body || m_state.chars.hidden)
        return;
    if (const RtfFontEntry *font = m_tables.fontFor(m_state.chars);
        font && font->symbols != RtfCodePages::SymbolFont::other)
        text = RtfCodePages::mapSymbols(font->symbols, text);
    syncTable();
    m_shapePictureSeen = false;
    m_builder.appendText(text, charFormat());
}

void RtfParser::syncTable()
{
    if (m_state.para.inTable || m_rowOpen)
        m_builder.enterTable();
    else if (m_builder.inTable())
        m_builder.leaveTable(m_row.format());
}

void RtfParser::endParagraph()
{
    if (m_fallback.holdsHalf())
        emitText(QString());
    syncTable();
    m_shapePictureSeen = false;
    m_builder.endParagraph(blockFormat(), charFormat());
}

QTextCharFormat RtfParser::charFormat()
{
    const RtfCharState &c = m_state.chars;
    if (c == m_cachedChars && m_cachedFontRevision == m_tables.fontRevision() &&
        m_cachedLinks == m_links.size())
        return m_cachedFormat;

    RtfFormatting::CharContext context;
    context.font = m_tables.fontFor(c);
    context.foreground = m_tables.color(c.foreground);
    context.background = m_tables.color(c.background);
    if (c.link >= 0 && c.link < m_links.size())
        context.link = m_links[c.link];
    m_cachedFormat = RtfFormatting::charFormat(c, context);
    m_cachedChars = c;
    m_cachedFontRevision = m_tables.fontRevision();
    m_cachedLinks = int(m_links.size());
    return m_cachedFormat;
}

QTextBlockFormat RtfParser::blockFormat() const
{
    return RtfFormatting::blockFormat(m_state.para);
}
