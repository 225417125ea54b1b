// The application entry: products before the window, the window's limits and
// look, the menu bar, and the ways the application ends.
#include "../common/DemoResources.h"
#include "../common/RecordingExecutor.h"
#include "app/AppDelegate.h"
#include "app/InstallerStyle.h"
#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "ui/AlertView.h"
#include "ui/ContentView.h"
#include "ui/Document.h"
#include "ui/LicensePage.h"
#include "ui/OverlayPanel.h"
#include "ui/StateView.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>

namespace {

QStringList titles(const QMenuBar &bar)
{
    QStringList result;
    for (const QAction *action : bar.actions())
        result << action->text();
    return result;
}

// Runs the event loop until something ends it; a guard ends it with 1
// when nothing does within a few seconds.
int runUntilQuit(const std::function<void()> &action)
{
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(5000);
    return QApplication::exec();
}

const QString appName = QStringLiteral("Quorvantic Plugin Installer");

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void menuPruning_data()
    {
        QTest::addColumn<QStringList>("menus");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("platform default")
            << QStringList{appName, "File", "Edit", "View", "Window", "Help"}
            << QStringList{appName, "Window", "Help"};
        QTest::newRow("no Edit") << QStringList{appName, "File", "View", "Window", "Help"}
                                 << QStringList{appName, "Window", "Help"};
        QTest::newRow("other letter case stays")
            << QStringList{appName, "file", "Edit", "View", "Window"}
            << QStringList{appName, "file", "Window"};
        QTest::newRow("only the first View")
            << QStringList{appName, "File", "View", "View", "Window"}
            << QStringList{appName, "View", "Window"};
        QTest::newRow("whole titles only") << QStringList{"File ", "Files", "&File", "Edit"}
                                           << QStringList{"File ", "Files", "&File"};
        QTest::newRow("any order")
            << QStringList{"View", "Help", "Edit", "File"} << QStringList{"Help"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }
    void menuPruning()
    {
        QFETCH(QStringList, menus);
        QFETCH(QStringList, kept);
        QMenuBar bar;
        for (const QString &title : menus)
            bar.addMenu(title);
        AppDelegate::applicationDidFinishLaunching(&bar);
        QCOMPARE(titles(bar), kept);
    }

    void noMenuBar() { AppDelegate::applicationDidFinishLaunching(nullptr); }

    void launch()
    {
        DemoResources resources({"Velamorph 4", "Calmfield 6"});
        QVERIFY(resources.ok());
        // A dark desktop palette does not reach the window.
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);

        QuorvanticInstallerApp installer(resources.path());
        // The products are there before any window exists.
        QVERIFY(!installer.window());
        const ProductMap products = installer.settings().products();
        QCOMPARE(products.size(), 2);
        for (bool selected : products)
            QVERIFY(selected);

        installer.launch();
        MainWindow *window = installer.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Each title carries its mnemonic.
        QCOMPARE(titles(*window->menuBar()), (QStringList{"&" + appName, "&Window", "&Help"}));
        const QMenu *appMenu = window->menuBar()->actions().first()->menu();
        QCOMPARE(titles(*window->menuBar()).size(), 3);
        QStringList appItems;
        for (const QAction *item : appMenu->actions()) {
            if (!item->isSeparator())
                appItems << item->text();
        }
        QCOMPARE(appItems, (QStringList{"&About " + appName, "&Uninstall Quorvantic Plug-ins…",
                                        "&Quit " + appName}));

        const auto *style = qobject_cast<const InstallerStyle *>(QApplication::style());
        QVERIFY(style);
        QCOMPARE(style->baseStyle()->name().toLower(), QStringLiteral("fusion"));
        QVERIFY(window->palette().color(QPalette::Window).lightness() > 200);
        QVERIFY(window->palette().color(QPalette::WindowText).lightness() < 60);

        ContentView *content = window->contentView();
        QVERIFY(content->width() >= 648 && content->height() >= 405);
        window->resize(300, 200);
        QApplication::processEvents();
        QVERIFY(content->width() >= 648 && content->height() >= 405);
        window->resize(900, 700);
        QApplication::processEvents();
        QVERIFY(content->width() > 648 && content->height() > 405);
    }

    // The icon and the licence wait for the first frame; once it is shown
    // the icon is set, and the License page shows the whole licence however
    // soon it is reached, before that frame too.
    void afterTheFirstFrame_data()
    {
        QTest::addColumn<bool>("licenseAtOnce");
        QTest::newRow("License page after the first frame") << false;
        QTest::newRow("License page before the first frame") << true;
    }
    void afterTheFirstFrame()
    {
        QFETCH(bool, licenseAtOnce);
        DemoResources resources({"Calmfield 6"});
        const QString source = QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources/");
        QVERIFY(
            QFile::copy(source + "QuorvanticEULA.rtf", resources.path() + "/QuorvanticEULA.rtf"));
        QVERIFY(QFile::copy(source + "Logo.png", resources.path() + "/Logo.png"));
        QApplication::setWindowIcon(QIcon());
        QuorvanticInstallerApp installer(resources.path());
        installer.launch();
        ContentView *content = installer.window()->contentView();
        if (licenseAtOnce) {
            installer.settings().setCurrentPage(Page::license);
            content->redrawIfDue();
        }
        QVERIFY(QTest::qWaitForWindowExposed(installer.window()));
        QTRY_VERIFY(!QApplication::windowIcon().isNull());
        QCOMPARE(QApplication::windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));

        installer.settings().setCurrentPage(Page::license);
        content->redrawIfDue();
        auto *page = qobject_cast<LicensePage *>(content->stateView()->current());
        QVERIFY(page);
        Document licence;
        licence.setResourcesFolder(resources.path());
        licence.load("QuorvanticEULA");
        QVERIFY(!licence.data().isEmpty());
        QCOMPARE(qobject_cast<QTextEdit *>(page->textView())->toPlainText(),
                 licence.data().toPlainText());
    }

    void endsWhenWindowCloses_data()
    {
        QTest::addColumn<int>("page");
        QTest::newRow("intro") << 0;
        QTest::newRow("summary") << 3;
    }
    void endsWhenWindowCloses()
    {
        QFETCH(int, page);
        DemoResources resources({"Calmfield 6"});
        QuorvanticInstallerApp installer(resources.path());
        installer.launch();
        installer.settings().setCurrentPage(static_cast<Page>(page));
        QCOMPARE(runUntilQuit([&] { installer.window()->close(); }), 0);
    }

    // "Disagree", the access alert's "Close" and "Close" on the last page
    // ask the application to end; the application ends its event loop.
    void endsOnTerminateRequest_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Disagree") << "Disagree";
        QTest::newRow("access alert Close") << "Close";
        QTest::newRow("last page Close") << "";
    }
    void endsOnTerminateRequest()
    {
        QFETCH(QString, how);
        DemoResources resources({"Calmfield 6"});
        QuorvanticInstallerApp installer(resources.path());
        RecordingExecutor scripts;
        AppSettings &s = installer.settings();
        installer.installer().setScriptExecutor(scripts.executor());
        installer.launch();
        if (how == "Disagree") {
            s.setCurrentPage(Page::license);
            s.setShowLicenseAlert(true);
        } else if (how == "Close") {
            s.setCurrentPage(Page::install);
            s.setShowFinderAlert(true);
        } else {
            s.setCurrentPage(Page::summary);
        }
        ContentView *content = installer.window()->contentView();
        content->redrawIfDue();
        QPushButton *button =
            how.isEmpty() ? content->forwardButton() : content->alertView()->panel()->button(how);
        QVERIFY(button);
        QCOMPARE(runUntilQuit([button] { QTest::mouseClick(button, Qt::LeftButton); }), 0);
        QCOMPARE(scripts.installRuns(), 0);
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
