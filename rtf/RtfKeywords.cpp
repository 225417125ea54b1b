#include "rtf/RtfKeywords.h"

#include <QChar>

#include <string_view>
#include <unordered_map>

namespace {

using K = RtfKeyword;

struct Entry
{
    std::string_view word;
    RtfKeyword keyword;
};

constexpr Entry entries[] = {
    {"rtf", K::rtf},
    {"ansi", K::ansi},
    {"mac", K::mac},
    {"pc", K::pc},
    {"pca", K::pca},
    {"ansicpg", K::ansiCodePage},
    {"deff", K::defaultFont},
    {"deftab", K::defaultTab},
    {"uc", K::unicodeSkip},
    {"u", K::unicode},

    {"fonttbl", K::fontTable},
    {"colortbl", K::colorTable},
    {"stylesheet", K::styleSheet},
    {"field", K::field},
    {"fldinst", K::fieldInstruction},
    {"fldrslt", K::fieldResult},
    {"result", K::objectResult},
    {"pntext", K::listText},
    {"listtext", K::listText},
    {"upr", K::unicodePair},
    {"ud", K::unicodeText},

    // Destinations whose text is not part of what the reader shows.
    {"info", K::skippedDestination},
    {"themedata", K::skippedDestination},
    {"colorschememapping", K::skippedDestination},
    {"datastore", K::skippedDestination},
    {"latentstyles", K::skippedDestination},
    {"xmlnstbl", K::skippedDestination},
    {"listtable", K::skippedDestination},
    {"listoverridetable", K::skippedDestination},
    {"rsidtbl", K::skippedDestination},
    {"revtbl", K::skippedDestination},
    {"filetbl", K::skippedDestination},
    {"header", K::skippedDestination},
    {"headerl", K::skippedDestination},
    {"headerr", K::skippedDestination},
    {"headerf", K::skippedDestination},
    {"footer", K::skippedDestination},
    {"footerl", K::skippedDestination},
    {"footerr", K::skippedDestination},
    {"footerf", K::skippedDestination},
    {"footnote", K::skippedDestination},
    {"annotation", K::skippedDestination},
    {"atnid", K::skippedDestination},
    {"atnauthor", K::skippedDestination},
    {"pn", K::skippedDestination},
    {"pntxta", K::skippedDestination},
    {"pntxtb", K::skippedDestination},
    {"pnseclvl", K::skippedDestination},
    {"objdata", K::skippedDestination},
    {"xe", K::skippedDestination},
    {"tc", K::skippedDestination},
    {"txe", K::skippedDestination},
    {"template", K::skippedDestination},
    {"ftnsep", K::skippedDestination},
    {"ftnsepc", K::skippedDestination},
    {"aftnsep", K::skippedDestination},
    {"aftnsepc", K::skippedDestination},
    {"sp", K::skippedDestination},
    {"sn", K::skippedDestination},
    {"sv", K::skippedDestination},
    {"falt", K::skippedDestination},
    {"panose", K::skippedDestination},
    {"leveltext", K::skippedDestination},
    {"levelnumbers", K::skippedDestination},
    {"listname", K::skippedDestination},
    {"author", K::skippedDestination},
    {"operator", K::skippedDestination},
    {"title", K::skippedDestination},
    {"subject", K::skippedDestination},
    {"keywords", K::skippedDestination},
    {"comment", K::skippedDestination},
    {"doccomm", K::skippedDestination},
    {"company", K::skippedDestination},
    {"printim", K::skippedDestination},
    {"creatim", K::skippedDestination},
    {"revtim", K::skippedDestination},
    {"buptim", K::skippedDestination},
    {"fchars", K::skippedDestination},
    {"lchars", K::skippedDestination},
    {"bkmkstart", K::skippedDestination},
    {"bkmkend", K::skippedDestination},
    {"shpinst", K::skippedDestination},
    {"nonesttables", K::skippedDestination},

    {"f", K::font},
    {"fnil", K::fontFamilyNil},
    {"froman", K::fontFamilyRoman},
    {"fswiss", K::fontFamilySwiss},
    {"fmodern", K::fontFamilyModern},
    {"fscript", K::fontFamilyScript},
    {"fdecor", K::fontFamilyDecor},
    {"ftech", K::fontFamilyTech},
    {"fcharset", K::fontCharset},
    {"cpg", K::fontCodePage},
    {"red", K::red},
    {"green", K::green},
    {"blue", K::blue},
    {"s", K::style},
    {"cs", K::charStyle},
    {"sbasedon", K::basedOn},

    {"plain", K::plain},
    {"fs", K::fontSize},
    {"b", K::bold},
    {"i", K::italic},
    {"ul", K::underline},
    {"ulw", K::underline},
    {"uldb", K::underlineDouble},
    {"uld", K::underlineDotted},
    {"ulthd", K::underlineDotted},
    {"uldash", K::underlineDashed},
    {"ulldash", K::underlineDashed},
    {"ulthdash", K::underlineDashed},
    {"ulthldash", K::underlineDashed},
    {"uldashd", K::underlineDashDot},
    {"ulthdashd", K::underlineDashDot},
    {"uldashdd", K::underlineDashDotDot},
    {"ulthdashdd", K::underlineDashDotDot},
    {"ulwave", K::underlineWave},
    {"ulhwave", K::underlineWave},
    {"ululdbwave", K::underlineWave},
    {"ulth", K::underlineThick},
    {"ulnone", K::underlineNone},
    {"strike", K::strike},
    {"striked", K::strike},
    {"cf", K::foregroundColor},
    {"cb", K::backgroundColor},
    {"chcbpat", K::backgroundColor},
    {"highlight", K::highlight},
    {"super", K::superscript},
    {"sub", K::subscript},
    {"nosupersub", K::noSuperSub},
    {"up", K::up},
    {"dn", K::down},
    {"caps", K::caps},
    {"scaps", K::smallCaps},
    {"v", K::hidden},

    {"pard", K::pard},
    {"par", K::par},
    {"sect", K::par},
    {"line", K::line},
    {"tab", K::tab},
    {"page", K::page},
    {"column", K::par},
    {"ql", K::alignLeft},
    {"qc", K::alignCenter},
    {"qr", K::alignRight},
    {"qj", K::alignJustify},
    {"qd", K::alignJustify},
    {"li", K::leftIndent},
    {"lin", K::leftIndent},
    {"ri", K::rightIndent},
    {"rin", K::rightIndent},
    {"fi", K::firstIndent},
    {"sb", K::spaceBefore},
    {"sa", K::spaceAfter},
    {"sl", K::lineSpacing},
    {"slmult", K::lineMultiple},
    {"pagebb", K::pageBreakBefore},
    {"tx", K::tabPosition},
    {"tqc", K::tabCenter},
    {"tqr", K::tabRight},
    {"tqdec", K::tabDecimal},

    {"intbl", K::inTable},
    {"trowd", K::rowDefaults},
    {"cellx", K::cellBoundary},
    {"cell", K::cell},
    {"nestcell", K::nestedCell},
    {"row", K::row},
    {"nestrow", K::nestedRow},
    {"trqc", K::rowAlignCenter},
    {"trqr", K::rowAlignRight},
    {"clmgf", K::cellMergeFirst},
    {"clmrg", K::cellMerged},
    {"clvmgf", K::cellVerticalMergeFirst},
    {"clvmrg", K::cellVerticalMerged},
    {"clvertalt", K::cellAlignTop},
    {"clvertalc", K::cellAlignCenter},
    {"clvertalb", K::cellAlignBottom},
    {"clcbpat", K::cellShading},
    {"clbrdrt", K::cellBorderTop},
    {"clbrdrl", K::cellBorderLeft},
    {"clbrdrb", K::cellBorderBottom},
    {"clbrdrr", K::cellBorderRight},
    {"brdrt", K::otherBorder},
    {"brdrl", K::otherBorder},
    {"brdrb", K::otherBorder},
    {"brdrr", K::otherBorder},
    {"box", K::otherBorder},
    {"brdrbtw", K::otherBorder},
    {"brdrbar", K::otherBorder},
    {"trbrdrt", K::otherBorder},
    {"trbrdrl", K::otherBorder},
    {"trbrdrb", K::otherBorder},
    {"trbrdrr", K::otherBorder},
    {"trbrdrh", K::otherBorder},
    {"trbrdrv", K::otherBorder},
    {"chbrdr", K::otherBorder},
    {"brdrnone", K::borderNone},
    {"brdrnil", K::borderNone},
    {"brdrs", K::borderSingle},
    {"brdrth", K::borderSingle},
    {"brdrsh", K::borderSingle},
    {"brdrhair", K::borderSingle},
    {"brdrdb", K::borderDouble},
    {"brdrtriple", K::borderDouble},
    {"brdrdot", K::borderDotted},
    {"brdrdash", K::borderDashed},
    {"brdrdashsm", K::borderDashed},
    {"brdrw", K::borderWidth},
    {"brdrcf", K::borderColor},

    {"pict", K::picture},
    {"shppict", K::shapePicture},
    {"nonshppict", K::nonShapePicture},
    {"pngblip", K::pictureFormatPng},
    {"jpegblip", K::pictureFormatJpeg},
    {"wmetafile", K::pictureFormatOther},
    {"emfblip", K::pictureFormatOther},
    {"macpict", K::pictureFormatOther},
    {"pmmetafile", K::pictureFormatOther},
    {"dibitmap", K::pictureFormatOther},
    {"wbitmap", K::pictureFormatOther},
    {"picw", K::pictureWidth},
    {"pich", K::pictureHeight},
    {"picwgoal", K::pictureGoalWidth},
    {"pichgoal", K::pictureGoalHeight},
    {"picscalex", K::pictureScaleX},
    {"picscaley", K::pictureScaleY},

    {"emdash", K::emDash},
    {"endash", K::enDash},
    {"emspace", K::emSpace},
    {"enspace", K::enSpace},
    {"qmspace", K::quarterEmSpace},
    {"bullet", K::bullet},
    {"lquote", K::leftQuote},
    {"rquote", K::rightQuote},
    {"ldblquote", K::leftDoubleQuote},
    {"rdblquote", K::rightDoubleQuote},
    {"zwj", K::zeroWidthJoiner},
    {"zwnj", K::zeroWidthNonJoiner},
    {"ltrmark", K::leftToRightMark},
    {"rtlmark", K::rightToLeftMark},
};

const std::unordered_map<std::string_view, RtfKeyword> &keywords()
{
    static const std::unordered_map<std::string_view, RtfKeyword> table = [] {
        std::unordered_map<std::string_view, RtfKeyword> map;
        for (const Entry &entry : entries)
            map.emplace(entry.word, entry.keyword);
        return map;
    }();
    return table;
}

} // namespace

RtfKeyword rtfKeyword(QByteArrayView word)
{
    const auto &table = keywords();
    const auto found = table.find(std::string_view(word.data(), size_t(word.size())));
    return found == table.end() ? RtfKeyword::unknown : found->second;
}

char16_t rtfSpecialCharacter(RtfKeyword keyword)
{
    struct Special
    {
        RtfKeyword keyword;
        char16_t character;
    };
    static constexpr Special specials[] = {
        {K::emDash, 0x2014},
        {K::enDash, 0x2013},
        {K::emSpace, 0x2003},
        {K::enSpace, 0x2002},
        {K::quarterEmSpace, 0x2005},
        {K::bullet, 0x2022},
        {K::leftQuote, 0x2018},
        {K::rightQuote, 0x2019},
        {K::leftDoubleQuote, 0x201C},
        {K::rightDoubleQuote, 0x201D},
        {K::zeroWidthJoiner, 0x200D},
        {K::zeroWidthNonJoiner, 0x200C},
        {K::leftToRightMark, 0x200E},
        {K::rightToLeftMark, 0x200F},
        {K::line, QChar::LineSeparator},
        {K::tab, u'\t'},
    };
    for (const Special &special : specials) {
        if (special.keyword == keyword)
            return special.character;
    }
    return 0;
}

char16_t rtfSymbolCharacter(char symbol)
{
    switch (symbol) {
    case '~':
        return 0x00A0; // no-break space
    case '-':
        return 0x00AD; // soft hyphen
    case '_':
        return 0x2011; // no-break hyphen
    case '\t':
        return u'\t';
    default:
        return 0;
    }
}
