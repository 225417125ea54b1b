#pragma once

#include "rtf/RtfKeywords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QTextImageFormat>

// One \pict group: its properties and its data, written as hex digits or as
// \bin bytes. PNG and JPEG pictures are shown at their goal size and scale;
// other kinds keep their space empty; a picture that would take more than
// maxDecodedBytes when decoded is left out.
class RtfPicture
{
public:
    void word(RtfKeyword keyword, int parameter);
    void hexText(QByteArrayView text);
    void binary(QByteArrayView bytes);

    // The image to insert as an object character; without a name when there
    // is nothing to show.
    QTextImageFormat imageFormat() const;

    static constexpr qsizetype maxDecodedBytes = 20 * 1024 * 1024;

private:
    enum class Kind
    {
        unknown,
        png,
        jpeg,
        other
    };
    bool append(char byte);
    QSizeF goalSize(QSize imageSize) const;

    Kind m_kind = Kind::unknown;
    int m_width = 0, m_height = 0;         // \picw, \pich
    int m_goalWidth = 0, m_goalHeight = 0; // twips
    int m_scaleX = 100, m_scaleY = 100;    // percent
    QByteArray m_data;
    int m_pendingNibble = -1;
    bool m_tooLarge = false;
};
