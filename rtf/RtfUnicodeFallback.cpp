#include "rtf/RtfUnicodeFallback.h"

QByteArrayView RtfUnicodeFallback::skipText(QByteArrayView bytes)
{
    if (m_left <= 0)
        return bytes;
    const qsizetype skipped = std::min<qsizetype>(m_left, bytes.size());
    m_left -= int(skipped);
    return bytes.sliced(skipped);
}

QString RtfUnicodeFallback::pair(const QString &input)
{
    QString text;
    const bool single = input.size() == 1;
    if (single && input[0].isHighSurrogate()) {
        if (m_highSurrogate)
            text += QChar::ReplacementCharacter;
        m_highSurrogate = input[0].unicode();
        return text;
    }
    if (single && input[0].isLowSurrogate()) {
        if (m_highSurrogate) {
            text += QChar(m_highSurrogate);
            text += input[0];
        } else {
            text += QChar::ReplacementCharacter;
        }
        m_highSurrogate = 0;
        return text;
    }
    if (m_highSurrogate)
        text += QChar::ReplacementCharacter;
    m_highSurrogate = 0;
    text += input;
    return text;
}
