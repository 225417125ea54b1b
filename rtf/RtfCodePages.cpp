#include "rtf/RtfCodePages.h"

#include <QList>

#include <iconv.h>

namespace {

// Names to try for a code page, Qt's first, then iconv's.
QList<QByteArray> qtNames(int codePage)
{
    switch (codePage) {
    case 932:
        return {"windows-31j", "Shift_JIS"};
    case 936:
        return {"windows-936", "GBK"};
    case 949:
        return {"windows-949", "EUC-KR"};
    case 950:
        return {"windows-950", "Big5"};
    case RtfCodePages::macRoman:
        return {"macintosh"};
    case 65001:
        return {"UTF-8"};
    default:
        break;
    }
    const QByteArray number = QByteArray::number(codePage);
    return {"windows-" + number, "IBM" + number, "cp" + number};
}

QList<QByteArray> iconvNames(int codePage)
{
    switch (codePage) {
    case RtfCodePages::macRoman:
        return {"MACINTOSH"};
    case 65001:
        return {"UTF-8"};
    case 950:
        return {"CP950", "BIG5"};
    default:
        return {"CP" + QByteArray::number(codePage)};
    }
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<uchar>(c) >= 0x80)
            return false;
    }
    return true;
}

// Adobe's Symbol encoding, 0x20..0xFF; 0 where the glyph has no Unicode twin.
const char16_t symbolTable[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A,
    0x039B, 0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F,
    // 0x60
    0, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA,
    0x03BB, 0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B,
    0x007C, 0x007D, 0x223C, 0,
    // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0x90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x23D0, 0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284,
    0x2282, 0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xF0
    0, 0x232A, 0x222B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The Wingdings glyphs that documents use as list bullets.
char16_t wingding(uint glyph)
{
    switch (glyph) {
    case 0x6C:
        return 0x25CF; // black circle
    case 0x6E:
        return 0x25A0; // black square
    case 0x71:
        return 0x2751; // shadowed square
    case 0x75:
        return 0x25C6; // black diamond
    case 0x76:
        return 0x2756; // diamond minus X
    case 0x9F:
        return 0x2022; // bullet
    case 0xA7:
        return 0x25AA; // small black square
    case 0xA8:
        return 0x25FB; // white medium square
    case 0xD8:
        return 0x27A2; // arrowhead
    case 0xE8:
        return 0x2794; // heavy arrow
    case 0xFB:
        return 0x2717; // ballot x
    case 0xFC:
        return 0x2713; // check mark
    default:
        return 0;
    }
}

} // namespace

struct RtfCodePages::Converter
{
    QStringDecoder qt;
    iconv_t iconv = reinterpret_cast<iconv_t>(-1);

    ~Converter()
    {
        if (iconv != reinterpret_cast<iconv_t>(-1))
            iconv_close(iconv);
    }

    bool valid() const { return qt.isValid() || iconv != reinterpret_cast<iconv_t>(-1); }

    QString decode(QByteArrayView bytes)
    {
        if (qt.isValid()) {
            qt.resetState();
            return qt.decode(bytes);
        }
        return decodeWithIconv(bytes);
    }

    QString decodeWithIconv(QByteArrayView bytes)
    {
        ::iconv(iconv, nullptr, nullptr, nullptr, nullptr);
        QString result;
        QByteArray out(bytes.size() * 4 + 16, Qt::Uninitialized);
        char *in = const_cast<char *>(bytes.data());
        size_t inLeft = static_cast<size_t>(bytes.size());
        while (inLeft > 0) {
            char *outPtr = out.data();
            size_t outLeft = static_cast<size_t>(out.size());
            const size_t done = ::iconv(iconv, &in, &inLeft, &outPtr, &outLeft);
            result += QString::fromUtf8(out.constData(), out.size() - qsizetype(outLeft));
            if (done == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                // An invalid or cut sequence: one replacement, one byte on.
                result += QChar::ReplacementCharacter;
                ++in;
                --inLeft;
                ::iconv(iconv, nullptr, nullptr, nullptr, nullptr);
            }
        }
        // Pages with combining marks (1255, 1258) hold the last character
        // back until they know nothing combines with it.
        char *outPtr = out.data();
        size_t outLeft = static_cast<size_t>(out.size());
        ::iconv(iconv, nullptr, nullptr, &outPtr, &outLeft);
        result += QString::fromUtf8(out.constData(), out.size() - qsizetype(outLeft));
        return result;
    }
};

RtfCodePages::RtfCodePages() = default;
RtfCodePages::~RtfCodePages() = default;

int RtfCodePages::codePageForCharset(int charset)
{
    switch (charset) {
    case 2:
        return symbolPage;
    case 77:
        return macRoman;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

RtfCodePages::Converter *RtfCodePages::converterFor(int codePage)
{
    const int key = m_backend == Backend::qt ? codePage : -codePage - 100000;
    auto found = m_converters.constFind(key);
    if (found != m_converters.constEnd())
        return found->get();

    auto converter = std::make_shared<Converter>();
    if (m_backend == Backend::qt) {
        for (const QByteArray &name : qtNames(codePage)) {
            converter->qt = QStringDecoder(name.constData(), QStringDecoder::Flag::Stateless);
            if (converter->qt.isValid())
                break;
        }
    }
    if (!converter->qt.isValid()) {
        for (const QByteArray &name : iconvNames(codePage)) {
            converter->iconv = iconv_open("UTF-8", name.constData());
            if (converter->iconv != reinterpret_cast<iconv_t>(-1))
                break;
        }
    }
    if (!converter->valid())
        converter.reset();
    m_converters.insert(key, converter);
    return converter.get();
}

bool RtfCodePages::canDecode(int codePage)
{
    return converterFor(codePage) != nullptr;
}

QString RtfCodePages::decode(int codePage, QByteArrayView bytes)
{
    if (isAscii(bytes) && codePage != symbolPage)
        return QString::fromLatin1(bytes);
    if (codePage == symbolPage || codePage <= 0)
        return codePage == symbolPage ? QString::fromLatin1(bytes) : decode(1252, bytes);
    if (Converter *converter = converterFor(codePage))
        return converter->decode(bytes);
    return QString::fromLatin1(bytes);
}

RtfCodePages::SymbolFont RtfCodePages::symbolFontForName(const QString &fontName)
{
    if (fontName.startsWith(QLatin1String("Symbol"), Qt::CaseInsensitive))
        return SymbolFont::symbol;
    if (fontName.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive))
        return SymbolFont::wingdings;
    return SymbolFont::other;
}

QString RtfCodePages::mapSymbols(SymbolFont font, const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        uint glyph = c.unicode();
        if (glyph >= 0xF020 && glyph <= 0xF0FF)
            glyph -= 0xF000;
        if (glyph < 0x20 || glyph > 0xFF)
            continue;
        char16_t mapped = 0;
        if (font == SymbolFont::symbol)
            mapped = symbolTable[glyph - 0x20];
        else if (font == SymbolFont::wingdings)
            mapped = wingding(glyph);
        if (mapped)
            c = QChar(mapped);
        else if (c.unicode() < 0x100 && glyph >= 0x80)
            c = QChar(char16_t(0xF000 + glyph)); // no twin: keep the font's own glyph
    }
    return result;
}
