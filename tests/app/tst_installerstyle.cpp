// The window's style: Fusion, with the menu bar's overflow icons read only
// when drawn, so that making a menu bar loads no image-format plug-in.
#include "app/Appearance.h"
#include "app/InstallerStyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>

namespace {

QStringList loadedImagePlugins()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read /proc/self/maps")};
    QStringList found;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        if (line.contains("/imageformats/"))
            found << QString::fromUtf8(line.mid(line.indexOf('/')));
    }
    found.removeDuplicates();
    return found;
}

} // namespace

class TestInstallerStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Appearance::applyLight(*qApp); }

    // Run first, before anything else here reads an image.
    void aMenuBarLoadsNoImagePlugin()
    {
        const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           QStringLiteral("/imageformats"));
        if (plugins.isEmpty(QDir::Files))
            QSKIP("this Qt has no image-format plug-ins to load");
        QMenuBar bar;
        bar.addMenu(QStringLiteral("&File"));
        QCOMPARE(loadedImagePlugins(), QStringList());
    }

    void overflowIconsAreFusionsOwn_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("horizontal") << int(QStyle::SP_ToolBarHorizontalExtensionButton);
        QTest::newRow("vertical") << int(QStyle::SP_ToolBarVerticalExtensionButton);
    }
    void overflowIconsAreFusionsOwn()
    {
        QFETCH(int, which);
        const auto pixmap = QStyle::StandardPixmap(which);
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QVERIFY(fusion);
        const QIcon expected = fusion->standardIcon(pixmap);
        const QIcon icon = QApplication::style()->standardIcon(pixmap);
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes(), expected.availableSizes());
        for (int size : {8, 16, 32}) {
            for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                const QImage drawn = icon.pixmap(size, mode).toImage();
                QVERIFY(!drawn.isNull());
                QCOMPARE(drawn, expected.pixmap(size, mode).toImage());
            }
        }
    }

    void stillFusion()
    {
        const auto *style = qobject_cast<const InstallerStyle *>(QApplication::style());
        QVERIFY(style);
        QCOMPARE(style->baseStyle()->name().toLower(), QStringLiteral("fusion"));
        QCOMPARE(QApplication::style()->standardIcon(QStyle::SP_DialogOkButton).availableSizes(),
                 style->baseStyle()->standardIcon(QStyle::SP_DialogOkButton).availableSizes());
    }
};

QTEST_MAIN(TestInstallerStyle)
#include "tst_installerstyle.moc"
