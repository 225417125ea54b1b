#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>

#include <memory>

// Turns the 8-bit bytes of an RTF document (\'hh escapes and raw text) into
// Unicode. Windows and Mac code pages, single- and double-byte, are decoded by
// the system's converters: Qt's named decoders (ICU-backed in Debian's Qt 6)
// and, where Qt has no decoder for a name, glibc's iconv. When neither knows a
// page, bytes are read as Latin-1 so that no text is dropped.
class RtfCodePages
{
public:
    // Code pages with a meaning of their own.
    static constexpr int symbolPage = -2; // a symbol font: bytes are glyph numbers
    static constexpr int macRoman = 10000;

    RtfCodePages();
    ~RtfCodePages();
    RtfCodePages(const RtfCodePages &) = delete;
    RtfCodePages &operator=(const RtfCodePages &) = delete;

    // The code page that \fcharsetN stands for; 0 for "the document's own"
    // (ANSI and DEFAULT charsets), symbolPage for SYMBOL.
    static int codePageForCharset(int charset);

    // Decodes a complete run of bytes in the given code page. A double-byte
    // sequence cut at the end of the run becomes U+FFFD.
    QString decode(int codePage, QByteArrayView bytes);

    // Which converter decode() uses: both are exercised by tests.
    enum class Backend
    {
        qt,
        iconv
    };
    void setPreferredBackend(Backend backend) { m_backend = backend; }
    // Whether a converter exists for the page (else Latin-1 stands in).
    bool canDecode(int codePage);

    // Maps the glyph numbers of the Symbol and Wingdings fonts (as bytes or
    // as the private-use characters U+F020..U+F0FF) to the Unicode characters
    // they show. Characters without a known mapping are kept as they are.
    enum class SymbolFont
    {
        symbol,
        wingdings,
        other
    };
    static SymbolFont symbolFontForName(const QString &fontName);
    static QString mapSymbols(SymbolFont font, const QString &text);

private:
    struct Converter;
    Converter *converterFor(int codePage);

    Backend m_backend = Backend::qt;
    QHash<int, std::shared_ptr<Converter>> m_converters;
};
