#include "rtf/RtfFormatting.h"

#include "rtf/RtfTables.h"
#include "rtf/RtfUnits.h"

#include <QTextOption>

using RtfUnits::clampTwips;
using RtfUnits::maxTwips;
using RtfUnits::twipsToPixels;

namespace {

// The underline a word turns on; false when the word is not an underline.
bool underlineFor(RtfKeyword keyword, RtfUnderline &underline)
{
    struct Entry
    {
        RtfKeyword keyword;
        RtfUnderline underline;
    };
    static constexpr Entry entries[] = {
        {RtfKeyword::underline, RtfUnderline::single},
        {RtfKeyword::underlineDouble, RtfUnderline::doubleLine},
        {RtfKeyword::underlineDotted, RtfUnderline::dotted},
        {RtfKeyword::underlineDashed, RtfUnderline::dashed},
        {RtfKeyword::underlineDashDot, RtfUnderline::dashDot},
        {RtfKeyword::underlineDashDotDot, RtfUnderline::dashDotDot},
        {RtfKeyword::underlineWave, RtfUnderline::wave},
        {RtfKeyword::underlineThick, RtfUnderline::thick},
    };
    for (const Entry &entry : entries) {
        if (entry.keyword == keyword) {
            underline = entry.underline;
            return true;
        }
    }
    return false;
}

QTextCharFormat::UnderlineStyle underlineStyle(RtfUnderline underline)
{
    switch (underline) {
    case RtfUnderline::none:
        return QTextCharFormat::NoUnderline;
    case RtfUnderline::single:
    case RtfUnderline::doubleLine:
    case RtfUnderline::thick:
        return QTextCharFormat::SingleUnderline;
    case RtfUnderline::dotted:
        return QTextCharFormat::DotLine;
    case RtfUnderline::dashed:
        return QTextCharFormat::DashUnderline;
    case RtfUnderline::dashDot:
        return QTextCharFormat::DashDotLine;
    case RtfUnderline::dashDotDot:
        return QTextCharFormat::DashDotDotLine;
    case RtfUnderline::wave:
        return QTextCharFormat::WaveUnderline;
    }
    return QTextCharFormat::NoUnderline;
}

// The fixed-form part of a font name that PostScript-style names carry
// ("Helvetica-Bold", "Times-Roman"), so that the family can be matched.
QString familyName(const QString &name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    if (dash > 0 && !name.contains(QLatin1Char(' ')))
        return name.left(dash);
    return name;
}

// Raising and lowering words; false when the word is none of them.
bool applyScriptWord(RtfCharState &c, RtfKeyword keyword, int parameter, bool hasParameter)
{
    const bool on = !hasParameter || parameter != 0;
    switch (keyword) {
    case RtfKeyword::superscript:
        c.script = on ? 1 : 0;
        return true;
    case RtfKeyword::subscript:
        c.script = on ? -1 : 0;
        return true;
    case RtfKeyword::noSuperSub:
        c.script = 0;
        c.raise = 0;
        return true;
    case RtfKeyword::up:
        c.raise = std::clamp(hasParameter ? parameter : 6, 0, 3276);
        return true;
    case RtfKeyword::down:
        c.raise = -std::clamp(hasParameter ? parameter : 6, 0, 3276);
        return true;
    default:
        return false;
    }
}

QList<QTextOption::Tab> tabPositions(const RtfParaState &p)
{
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
    return tabs;
}

} // namespace

bool RtfFormatting::applyCharacterWord(RtfCharState &c, RtfKeyword keyword, int parameter,
                                       bool hasParameter)
{
    const bool on = !hasParameter || parameter != 0;
    RtfUnderline underline = RtfUnderline::none;
    if (underlineFor(keyword, underline)) {
        c.underline = on ? underline : RtfUnderline::none;
        return true;
    }
    if (applyScriptWord(c, keyword, parameter, hasParameter))
        return true;
    switch (keyword) {
    case RtfKeyword::plain: {
        const int link = c.link;
        c = RtfCharState();
        c.link = link; // a hyperlink's text stays a link
        return true;
    }
    case RtfKeyword::font:
        c.font = std::max(0, parameter);
        return true;
    case RtfKeyword::fontSize:
        c.halfPoints = hasParameter ? std::clamp(parameter, 2, 3276) : 24;
        return true;
    case RtfKeyword::bold:
        c.bold = on;
        return true;
    case RtfKeyword::italic:
        c.italic = on;
        return true;
    case RtfKeyword::underlineNone:
        c.underline = RtfUnderline::none;
        return true;
    case RtfKeyword::strike:
        c.strike = on;
        return true;
    case RtfKeyword::foregroundColor:
        c.foreground = parameter;
        return true;
    case RtfKeyword::backgroundColor:
    case RtfKeyword::highlight:
        c.background = parameter;
        return true;
    case RtfKeyword::caps:
        c.caps = on;
        return true;
    case RtfKeyword::smallCaps:
        c.smallCaps = on;
        return true;
    case RtfKeyword::hidden:
        c.hidden = on;
        return true;
    default:
        return false;
    }
}

bool RtfFormatting::applyParagraphWord(RtfParaState &p, RtfKeyword keyword, int parameter,
                                       bool hasParameter)
{
    const bool on = !hasParameter || parameter != 0;
    switch (keyword) {
    case RtfKeyword::pard:
        p = RtfParaState();
        return true;
    case RtfKeyword::alignLeft:
        p.alignment = 0;
        return true;
    case RtfKeyword::alignCenter:
        p.alignment = 1;
        return true;
    case RtfKeyword::alignRight:
        p.alignment = 2;
        return true;
    case RtfKeyword::alignJustify:
        p.alignment = 3;
        return true;
    case RtfKeyword::leftIndent:
        p.leftIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::rightIndent:
        p.rightIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::firstIndent:
        p.firstIndent = clampTwips(parameter);
        return true;
    case RtfKeyword::spaceBefore:
        p.spaceBefore = std::clamp(parameter, 0, maxTwips);
        return true;
    case RtfKeyword::spaceAfter:
        p.spaceAfter = std::clamp(parameter, 0, maxTwips);
        return true;
    case RtfKeyword::lineSpacing:
        p.lineSpacing = clampTwips(parameter);
        return true;
    case RtfKeyword::lineMultiple:
        p.lineMultiple = on;
        return true;
    case RtfKeyword::pageBreakBefore:
        p.pageBreakBefore = on;
        return true;
    case RtfKeyword::tabCenter:
        p.nextTabKind = 1;
        return true;
    case RtfKeyword::tabRight:
        p.nextTabKind = 2;
        return true;
    case RtfKeyword::tabDecimal:
        p.nextTabKind = 3;
        return true;
    case RtfKeyword::tabPosition:
        if (p.tabs.size() < 64)
            p.tabs.append({std::clamp(parameter, 0, maxTwips), p.nextTabKind});
        p.nextTabKind = 0;
        return true;
    case RtfKeyword::inTable:
        p.inTable = on;
        return true;
    default:
        return false;
    }
}

QTextCharFormat RtfFormatting::charFormat(const RtfCharState &c, const CharContext &context)
{
    QTextCharFormat format;
    if (const RtfFontEntry *font = context.font; font && !font->name.isEmpty()) {
        const QString family = familyName(font->name);
        format.setFontFamilies(family == font->name ? QStringList{family}
                                                    : QStringList{font->name, family});
        format.setFontStyleHint(font->hint);
    }
    format.setFontPointSize(c.halfPoints / 2.0);
    format.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(c.italic);
    format.setUnderlineStyle(underlineStyle(c.underline));
    format.setFontStrikeOut(c.strike);
    if (context.foreground.isValid())
        format.setForeground(context.foreground);
    if (context.background.isValid())
        format.setBackground(context.background);
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
    if (!context.link.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(context.link);
        // Links look like links unless the document gives them its own look.
        if (!context.foreground.isValid())
            format.setForeground(QColor(0x00, 0x00, 0xEE));
        if (c.underline == RtfUnderline::none)
            format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    }
    return format;
}

QTextBlockFormat RtfFormatting::blockFormat(const RtfParaState &p)
{
    static constexpr Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                   Qt::AlignJustify};
    QTextBlockFormat format;
    format.setAlignment(p.alignment >= 0 && p.alignment < 4 ? alignments[p.alignment]
                                                            : Qt::AlignLeft);
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
    const QList<QTextOption::Tab> tabs = tabPositions(p);
    if (!tabs.isEmpty())
        format.setTabPositions(tabs);
    return format;
}
