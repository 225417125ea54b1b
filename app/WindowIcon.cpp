#include "app/WindowIcon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>

#include <algorithm>

namespace {

// A pixel this faint is anti-aliasing or shadow, not drawing.
constexpr int drawnAlpha = 24;

bool columnDrawn(const QImage &image, int x)
{
    for (int y = 0; y < image.height(); ++y)
        if (qAlpha(image.pixel(x, y)) > drawnAlpha)
            return true;
    return false;
}

bool rowDrawn(const QImage &image, int y, int left, int right)
{
    for (int x = left; x <= right; ++x)
        if (qAlpha(image.pixel(x, y)) > drawnAlpha)
            return true;
    return false;
}

// The columns of the mark: from the first drawn column to the last one
// before a gap wide enough to part a symbol from the letters after it.
QRect markBounds(const QImage &image)
{
    const int gap = std::max(2, image.height() / 16);
    int left = -1, right = -1, empty = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (columnDrawn(image, x)) {
            if (left < 0)
                left = x;
            right = x;
            empty = 0;
        } else if (left >= 0 && ++empty >= gap) {
            break;
        }
    }
    if (left < 0)
        return image.rect();
    int top = 0, bottom = image.height() - 1;
    while (top < bottom && !rowDrawn(image, top, left, right))
        ++top;
    while (bottom > top && !rowDrawn(image, bottom, left, right))
        --bottom;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QImage WindowIcon::markOf(const QImage &logo, int size)
{
    if (logo.isNull() || size <= 0)
        return QImage();
    const QImage argb = logo.convertToFormat(QImage::Format_ARGB32);
    const QImage mark = argb.copy(markBounds(argb));
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    // A sixteenth of the square on each side, so the mark does not touch the
    // edges where a desktop shows icons side by side.
    const int inner = std::max(1, size - 2 * (size / 16));
    const QImage scaled = mark.scaled(inner, inner, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&icon);
    painter.drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
    return icon;
}

void WindowIcon::nameDesktopFile()
{
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvantic.installer"));
}

void WindowIcon::apply(const QString &logoPath)
{
    const QImage logo(logoPath);
    if (logo.isNull())
        return;
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(markOf(logo, size)));
    QGuiApplication::setWindowIcon(icon);
}
