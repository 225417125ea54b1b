#include "rtf/RtfPicture.h"

#include "rtf/RtfUnits.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace {

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

QString dataUrl(const char *mimeType, const QByteArray &bytes)
{
    return QStringLiteral("data:%1;base64,").arg(QLatin1String(mimeType)) +
           QString::fromLatin1(bytes.toBase64());
}

// What stands in for a picture that is not shown: a transparent pixel,
// stretched over the picture's space.
const QString &emptyPicture()
{
    static const QString url = [] {
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.fill(Qt::transparent);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixel.save(&buffer, "PNG");
        return dataUrl("image/png", png);
    }();
    return url;
}

} // namespace

void RtfPicture::word(RtfKeyword keyword, int parameter)
{
    const int twips = std::clamp(parameter, 0, RtfUnits::maxTwips);
    switch (keyword) {
    case RtfKeyword::pictureFormatPng:
        m_kind = Kind::png;
        break;
    case RtfKeyword::pictureFormatJpeg:
        m_kind = Kind::jpeg;
        break;
    case RtfKeyword::pictureFormatOther:
        m_kind = Kind::other;
        break;
    case RtfKeyword::pictureWidth:
        m_width = std::clamp(parameter, 0, 1 << 20);
        break;
    case RtfKeyword::pictureHeight:
        m_height = std::clamp(parameter, 0, 1 << 20);
        break;
    case RtfKeyword::pictureGoalWidth:
        m_goalWidth = twips;
        break;
    case RtfKeyword::pictureGoalHeight:
        m_goalHeight = twips;
        break;
    case RtfKeyword::pictureScaleX:
        m_scaleX = std::clamp(parameter, 1, 1000);
        break;
    case RtfKeyword::pictureScaleY:
        m_scaleY = std::clamp(parameter, 1, 1000);
        break;
    default:
        break;
    }
}

bool RtfPicture::append(char byte)
{
    // Only the picture kinds that are shown keep their data.
    if (m_tooLarge || m_kind == Kind::other)
        return false;
    if (m_data.size() >= maxDecodedBytes) {
        m_tooLarge = true;
        m_data.clear();
        return false;
    }
    m_data.append(byte);
    return true;
}

void RtfPicture::hexText(QByteArrayView text)
{
    for (const char c : text) {
        const int value = hexValue(c);
        if (value < 0)
            continue; // line breaks and blanks between the digits
        if (m_pendingNibble < 0) {
            m_pendingNibble = value;
        } else {
            append(char(m_pendingNibble << 4 | value));
            m_pendingNibble = -1;
        }
    }
}

void RtfPicture::binary(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (!append(c))
            return;
    }
}

// The size shown, in pixels: the goal size, or else the picture's own, scaled.
QSizeF RtfPicture::goalSize(QSize imageSize) const
{
    qreal width = m_goalWidth > 0 ? RtfUnits::twipsToPixels(m_goalWidth) : imageSize.width();
    qreal height = m_goalHeight > 0 ? RtfUnits::twipsToPixels(m_goalHeight) : imageSize.height();
    return QSizeF(width * m_scaleX / 100.0, height * m_scaleY / 100.0);
}

QTextImageFormat RtfPicture::imageFormat() const
{
    QTextImageFormat format;
    if (m_kind == Kind::other || m_kind == Kind::unknown) {
        // \picw and \pich of a metafile are in hundredths of a millimetre.
        const QSize own(qRound(m_width * 96 / 2540.0), qRound(m_height * 96 / 2540.0));
        const QSizeF size = goalSize(own);
        if (size.width() < 1 || size.height() < 1)
            return QTextImageFormat();
        format.setName(emptyPicture());
        format.setWidth(size.width());
        format.setHeight(size.height());
        return format;
    }
    if (m_tooLarge || m_data.isEmpty())
        return QTextImageFormat();
    QBuffer buffer;
    buffer.setData(m_data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, m_kind == Kind::png ? "png" : "jpeg");
    const QSize imageSize = reader.size();
    // A picture that would decode to more than the limit is not loaded at all.
    if (!imageSize.isValid() ||
        qint64(imageSize.width()) * imageSize.height() * 4 > maxDecodedBytes)
        return QTextImageFormat();
    const QSizeF size = goalSize(imageSize);
    format.setName(dataUrl(m_kind == Kind::png ? "image/png" : "image/jpeg", m_data));
    format.setWidth(std::max<qreal>(1, size.width()));
    format.setHeight(std::max<qreal>(1, size.height()));
    return format;
}
