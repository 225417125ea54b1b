#include "app/WindowIcon.h"

#include <QPainter>
#include <QTest>

namespace {

// The bounding box of what is drawn on an icon.
QRect drawn(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

// A logo like the demo's: a round mark of two overlapping rings, a gap, then
// a wide word.
QImage logoWithMark(int gap)
{
    QImage logo(360, 80, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRect(4, 10, 40, 60));
    painter.drawEllipse(QRect(34, 10, 40, 60));
    painter.fillRect(QRect(74 + gap, 20, 360 - 74 - gap, 40), Qt::black);
    return logo;
}

} // namespace

class WindowIconTest : public QObject
{
    Q_OBJECT

private slots:
    void theMarkAloneFillsTheSquare()
    {
        const QImage icon = WindowIcon::markOf(logoWithMark(12), 64);
        QCOMPARE(icon.size(), QSize(64, 64));
        // The mark is 71 by 61 with its outline: as wide as the square less
        // its margins, its height in proportion, centred; the word left out.
        const QRect box = drawn(icon);
        QVERIFY2(box.width() >= 55 && box.width() <= 56, qPrintable(QString::number(box.width())));
        QVERIFY2(qAbs(box.height() - 56 * 61 / 71) <= 2, qPrintable(QString::number(box.height())));
        QVERIFY(qAbs(box.center().x() - 32) <= 2 && qAbs(box.center().y() - 32) <= 2);
    }

    void aLogoWithoutAGapIsShownWhole()
    {
        // Touching the word, the mark cannot be told apart: the whole logo,
        // wide and low, centred.
        const QRect box = drawn(WindowIcon::markOf(logoWithMark(0), 64));
        QVERIFY2(box.width() >= 55 && box.width() <= 56, qPrintable(QString::number(box.width())));
        QVERIFY2(box.height() <= 14, qPrintable(QString::number(box.height())));
        QVERIFY(qAbs(box.center().y() - 32) <= 2);
    }

    void anOpaqueLogoIsShownWhole()
    {
        QImage logo(200, 100, QImage::Format_RGB32);
        logo.fill(Qt::white);
        const QRect box = drawn(WindowIcon::markOf(logo, 100));
        QCOMPARE(box, QRect(6, 28, 88, 44));
    }

    void noLogoNoIcon() { QVERIFY(WindowIcon::markOf(QImage(), 64).isNull()); }
};

QTEST_MAIN(WindowIconTest)
#include "tst_windowicon.moc"
