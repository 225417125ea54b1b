#pragma once

#include <QByteArrayView>
#include <QString>

// What follows a \u: the fallback characters a Unicode-unaware reader would
// show instead (\uc of them; a control word, symbol, hex byte or \bin payload
// counts as one), and surrogate halves that \u writes one at a time.
class RtfUnicodeFallback
{
public:
    void expect(int count) { m_left = count; }
    // Fallbacks never cross a group boundary.
    void cancel() { m_left = 0; }

    // Whether a token is a fallback character, which is then consumed.
    bool skipToken()
    {
        if (m_left <= 0)
            return false;
        --m_left;
        return true;
    }
    // The part of a text run after its fallback characters.
    QByteArrayView skipText(QByteArrayView bytes);

    // Pairs surrogate halves arriving one per call. A high half is held until
    // its low half comes; a half without its partner becomes U+FFFD.
    QString pair(const QString &text);
    bool holdsHalf() const { return m_highSurrogate != 0; }

private:
    int m_left = 0;
    char16_t m_highSurrogate = 0;
};
