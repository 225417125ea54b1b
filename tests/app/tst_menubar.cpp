// The window's menus: mnemonics everywhere, F10 opens the first menu, the
// Window menu is a Linux desktop's, About names the version and the help.
#include "app/DefaultMenuBar.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>

class TestMenuBar : public QObject
{
    Q_OBJECT

private slots:
    void menusAndItems()
    {
        QMainWindow window;
        DefaultMenuBar::install(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList titles;
        for (QAction *menu : window.menuBar()->actions()) {
            titles << menu->text();
            const bool pruned = QStringList{"File", "Edit", "View"}.contains(menu->text());
            QVERIFY2(pruned || menu->text().contains('&'), qPrintable(menu->text()));
            for (QAction *item : menu->menu()->actions()) {
                if (!item->isSeparator() && !pruned)
                    QVERIFY2(item->text().contains('&'), qPrintable(item->text()));
            }
        }
        QCOMPARE(titles.last(), QString("&Help"));
        QMenu *windows = window.menuBar()->actions().at(titles.indexOf("&Window"))->menu();
        QStringList items;
        for (QAction *item : windows->actions())
            items << item->text();
        QCOMPARE(items, (QStringList{"Mi&nimize", "&Maximize"}));

        QTest::keyClick(&window, Qt::Key_F10);
        QCOMPARE(window.menuBar()->activeAction(), window.menuBar()->actions().constFirst());
    }

    void aboutNamesVersionLicenceAndHelp()
    {
        const QString about = DefaultMenuBar::aboutText();
        QVERIFY2(about.contains(QRegularExpression("Version \\d+\\.\\d+\\.\\d+")),
                 qPrintable(about));
        QVERIFY(about.contains("License Agreement"));
        QVERIFY(DefaultMenuBar::helpFile().endsWith("/share/doc/quorvantic-installer/README.md"));
        QVERIFY(about.contains(QUrl::fromLocalFile(DefaultMenuBar::helpFile()).toString()));
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"
