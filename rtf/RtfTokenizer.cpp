#include "rtf/RtfTokenizer.h"

#include <limits>

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

RtfToken RtfTokenizer::next()
{
    const qsizetype size = m_input.size();
    // Line ends and NUL bytes carry no meaning in RTF text.
    while (m_pos < size) {
        const char c = m_input[m_pos];
        if (c != '\r' && c != '\n' && c != '\0')
            break;
        ++m_pos;
    }
    RtfToken token;
    if (m_pos >= size)
        return token;

    const char c = m_input[m_pos];
    if (c == '{') {
        ++m_pos;
        token.type = RtfToken::groupStart;
        return token;
    }
    if (c == '}') {
        ++m_pos;
        token.type = RtfToken::groupEnd;
        return token;
    }
    if (c == '\\')
        return readControl();

    const qsizetype start = m_pos;
    while (m_pos < size) {
        const char d = m_input[m_pos];
        if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n' || d == '\0')
            break;
        ++m_pos;
    }
    token.type = RtfToken::text;
    token.data = m_input.sliced(start, m_pos - start);
    return token;
}

RtfToken RtfTokenizer::readControl()
{
    const qsizetype size = m_input.size();
    RtfToken token;
    ++m_pos; // the backslash
    if (m_pos >= size)
        return token; // a lone backslash at the very end

    const char c = m_input[m_pos];
    if (!isLetter(c)) {
        ++m_pos;
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < size && hexValue(m_input[m_pos]) >= 0) {
                value = value * 16 + hexValue(m_input[m_pos]);
                ++m_pos;
                ++digits;
            }
            if (digits > 0) {
                token.type = RtfToken::hexByte;
                token.byte = static_cast<uchar>(value);
                return token;
            }
        }
        token.type = RtfToken::controlSymbol;
        token.symbol = c == '\r' ? '\n' : c;
        return token;
    }

    const qsizetype start = m_pos;
    while (m_pos < size && isLetter(m_input[m_pos]))
        ++m_pos;
    token.type = RtfToken::controlWord;
    token.data = m_input.sliced(start, std::min(m_pos - start, maxWordLength));

    bool negative = false;
    if (m_pos + 1 < size && m_input[m_pos] == '-' && isDigit(m_input[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < size && isDigit(m_input[m_pos])) {
        // Absurdly long numbers are read whole and clamped to the int range.
        long long value = 0;
        while (m_pos < size && isDigit(m_input[m_pos])) {
            if (value < std::numeric_limits<int>::max())
                value = value * 10 + (m_input[m_pos] - '0');
            ++m_pos;
        }
        value = std::min<long long>(value, std::numeric_limits<int>::max());
        token.hasParameter = true;
        token.parameter = static_cast<int>(negative ? -value : value);
    }
    if (m_pos < size && m_input[m_pos] == ' ')
        ++m_pos; // the delimiter belongs to the word

    if (token.data == "bin" && token.hasParameter && token.parameter > 0) {
        const qsizetype length = std::min<qsizetype>(token.parameter, size - m_pos);
        token.type = RtfToken::binary;
        token.data = m_input.sliced(m_pos, length);
        m_pos += length;
    }
    return token;
}
