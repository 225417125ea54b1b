#include "rtf/RtfTables.h"

namespace {

constexpr int maxStyleWords = 256; // formatting words replayed per style
constexpr int maxNameBytes = 256;  // font names

} // namespace

bool RtfTables::documentWord(RtfKeyword keyword, int parameter)
{
    switch (keyword) {
    case RtfKeyword::ansi:
        m_documentCodePage = 1252;
        return true;
    case RtfKeyword::mac:
        m_documentCodePage = RtfCodePages::macRoman;
        return true;
    case RtfKeyword::pc:
        m_documentCodePage = 437;
        return true;
    case RtfKeyword::pca:
        m_documentCodePage = 850;
        return true;
    case RtfKeyword::ansiCodePage:
        if (parameter > 0)
            m_documentCodePage = parameter;
        return true;
    case RtfKeyword::defaultFont:
        m_defaultFont = parameter;
        ++m_fontRevision;
        return true;
    default:
        return false;
    }
}

void RtfTables::fontWord(RtfKeyword keyword, int parameter)
{
    switch (keyword) {
    case RtfKeyword::font:
        if (m_fontNumber >= 0)
            finishFontEntry();
        m_fontNumber = std::max(0, parameter);
        m_font = RtfFontEntry();
        m_fontCharset = -1;
        m_fontCodePage = -1;
        m_fontNameBytes.clear();
        return;
    case RtfKeyword::fontFamilyRoman:
        m_font.hint = QFont::Serif;
        return;
    case RtfKeyword::fontFamilySwiss:
        m_font.hint = QFont::SansSerif;
        return;
    case RtfKeyword::fontFamilyModern:
        m_font.hint = QFont::TypeWriter;
        return;
    case RtfKeyword::fontFamilyScript:
        m_font.hint = QFont::Cursive;
        return;
    case RtfKeyword::fontFamilyDecor:
        m_font.hint = QFont::Decorative;
        return;
    case RtfKeyword::fontCharset:
        m_fontCharset = parameter;
        return;
    case RtfKeyword::fontCodePage:
        m_fontCodePage = parameter;
        return;
    default:
        return;
    }
}

void RtfTables::fontText(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c == ';') {
            if (m_fontNumber >= 0)
                finishFontEntry();
        } else {
            fontNameByte(c);
        }
    }
}

void RtfTables::fontNameByte(char byte)
{
    if (m_fontNameBytes.size() < maxNameBytes)
        m_fontNameBytes.append(byte);
}

void RtfTables::colorWord(RtfKeyword keyword, int parameter)
{
    const int value = std::clamp(parameter, 0, 255);
    switch (keyword) {
    case RtfKeyword::red:
        m_red = value;
        break;
    case RtfKeyword::green:
        m_green = value;
        break;
    case RtfKeyword::blue:
        m_blue = value;
        break;
    default:
        return;
    }
    m_colorSet = true;
}

void RtfTables::colorText(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c != ';')
            continue;
        m_colors.append(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
        m_red = m_green = m_blue = 0;
        m_colorSet = false;
    }
}

void RtfTables::styleWord(RtfKeyword keyword, int parameter, bool hasParameter)
{
    m_styleOpen = true;
    switch (keyword) {
    case RtfKeyword::style:
    case RtfKeyword::charStyle:
        m_styleNumber = parameter;
        return;
    case RtfKeyword::basedOn:
        m_style.basedOn = parameter;
        return;
    default:
        if (keyword != RtfKeyword::unknown && m_style.words.size() < maxStyleWords)
            m_style.words.append({keyword, parameter, hasParameter});
        return;
    }
}

void RtfTables::styleText(QByteArrayView bytes)
{
    if (bytes.contains(';') && m_styleOpen)
        finishStyleEntry();
}

void RtfTables::destinationWord(RtfDestination destination, RtfKeyword keyword, int parameter,
                                bool hasParameter)
{
    if (destination == RtfDestination::fontTable)
        fontWord(keyword, parameter);
    else if (destination == RtfDestination::colorTable)
        colorWord(keyword, parameter);
    else if (destination == RtfDestination::styleSheet)
        styleWord(keyword, parameter, hasParameter);
}

void RtfTables::destinationText(RtfDestination destination, QByteArrayView bytes)
{
    if (destination == RtfDestination::fontTable)
        fontText(bytes);
    else if (destination == RtfDestination::colorTable)
        colorText(bytes);
    else if (destination == RtfDestination::styleSheet)
        styleText(bytes);
}

void RtfTables::endGroup(RtfDestination destination)
{
    if (destination == RtfDestination::fontTable && m_fontNumber >= 0)
        finishFontEntry();
    else if (destination == RtfDestination::styleSheet && m_styleOpen)
        finishStyleEntry();
}

void RtfTables::finishFontEntry()
{
    RtfFontEntry font = m_font;
    int codePage = 0;
    if (m_fontCodePage > 0)
        codePage = m_fontCodePage;
    else if (m_fontCharset >= 0)
        codePage = RtfCodePages::codePageForCharset(m_fontCharset);
    font.codePage = codePage;
    // A symbol font's name is still written in ordinary characters.
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
    ++m_fontRevision;
}

void RtfTables::finishStyleEntry()
{
    m_styles.insert(m_styleNumber, m_style);
    m_style = RtfStyleEntry();
    m_styleNumber = 0;
    m_styleOpen = false;
}

const RtfFontEntry *RtfTables::fontFor(const RtfCharState &chars) const
{
    const int number = chars.font >= 0 ? chars.font : m_defaultFont;
    const auto found = m_fonts.constFind(number);
    return found == m_fonts.constEnd() ? nullptr : &*found;
}

int RtfTables::codePageFor(const RtfCharState &chars) const
{
    const RtfFontEntry *font = fontFor(chars);
    if (font && font->codePage != 0)
        return font->codePage;
    return m_documentCodePage;
}

QColor RtfTables::color(int index) const
{
    return index >= 0 && index < m_colors.size() ? m_colors[index] : QColor();
}

const RtfStyleEntry *RtfTables::style(int number) const
{
    const auto found = m_styles.constFind(number);
    return found == m_styles.constEnd() ? nullptr : &*found;
}
