// Walks the wizard by clicking its real buttons, from the first page to the end.
#include "../common/CapturedStdout.h"
#include "WizardHarness.h"
#include "engine/Installer.h"

#include "ui/FinderAccessAlert.h"
#include "ui/InstallProgress.h"
#include "ui/LicensePage.h"
#include "ui/LogWindow.h"
#include "ui/PageRow.h"
#include "ui/ProductListPage.h"
#include "ui/Sidebar.h"
#include "ui/StateView.h"
#include "ui/SummaryPage.h"
#include "ui/SymbolView.h"
#include "ui/Theme.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

Q_DECLARE_METATYPE(Page)

namespace {

const QString successText =
    QStringLiteral("You have been successfully installed selected products.");
const QString failureText = QStringLiteral("The installation was not completed successfully.");

QList<int> blueMarkers(const ContentView &view)
{
    QList<int> blue;
    const QList<PageRow *> &rows = view.sidebar()->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i]->markerColor() == Theme::blue())
            blue.append(i);
        else if (rows[i]->markerColor() != Theme::gray())
            blue.append(-1);
    }
    return blue;
}

QStringList sidebarTitles(const ContentView &view)
{
    QStringList titles;
    for (const PageRow *row : view.sidebar()->rows())
        titles.append(row->title());
    return titles;
}

SummaryPage *summaryOf(const ContentView &view)
{
    return qobject_cast<SummaryPage *>(view.stateView()->current());
}

} // namespace

class TestWizard : public QObject
{
    Q_OBJECT

private slots:
    // Every page's titles, buttons and marker, reached through the state.
    void pageChrome_data()
    {
        QTest::addColumn<Page>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("backEnabled");
        QTest::addColumn<QString>("forward");
        QTest::newRow("intro") << Page::intro << "Quorvantic Plugin Installer" << false << "Next";
        QTest::newRow("license") << Page::license << "Software License Agreement" << true << "Next";
        QTest::newRow("install") << Page::install << "The following Products will be installed"
                                 << true << "Next";
        QTest::newRow("summary") << Page::summary << "" << false << "Close";
    }
    void pageChrome()
    {
        QFETCH(Page, page);
        QFETCH(QString, title);
        QFETCH(bool, backEnabled);
        QFETCH(QString, forward);

        WizardHarness w;
        w.settings.setCurrentPage(page);
        w.settle();
        QCOMPARE(w.view->pageTitle()->text(), title);
        QCOMPARE(w.view->backButton()->isEnabled(), backEnabled);
        QCOMPARE(w.view->forwardButton()->text(), forward);
        QVERIFY(w.view->forwardButton()->isEnabled());
        QCOMPARE(w.view->backButton()->text(), QStringLiteral("Go Back"));
        QCOMPARE(blueMarkers(*w.view), QList<int>{PageInfo::rawValue(page)});
        QCOMPARE(sidebarTitles(*w.view),
                 (QStringList{"Introduction", "License", "Products", "Summary"}));
        QCOMPARE(w.view->stateView()->current()->page(), page);
        // Nothing acts on a key: no default button anywhere.
        QVERIFY(!w.view->forwardButton()->isDefault() && !w.view->forwardButton()->autoDefault());
        QVERIFY(w.view->forwardButton()->shortcut().isEmpty());
        // The empty title keeps its room: the box stays where it is on every page.
        QVERIFY(w.view->pageTitle()->height() > Theme::defaultPadding);
    }

    void sidebarAndBoxGeometry()
    {
        WizardHarness w;
        for (const QSize size : {QSize(648, 405), QSize(1400, 900)}) {
            w.view->resize(size);
            w.settle();
            const int sidebar = w.view->sidebar()->width();
            QVERIFY2(sidebar >= 180 && sidebar <= 195, qPrintable(QString::number(sidebar)));
            const QWidget *logo = w.view->sidebar()->findChild<QLabel *>("logo");
            QCOMPARE(logo->width(), 180);
            QVERIFY(logo->height() >= 38 && logo->height() <= 40);
            for (const PageRow *row : w.view->sidebar()->rows()) {
                QCOMPARE(row->height(), 20);
                QCOMPARE(row->findChild<SymbolView *>()->size(), QSize(8, 8));
            }
            // The page box keeps a 20-pixel gap to the window's right edge.
            const QWidget *box = w.view->stateView()->parentWidget();
            const QRect boxRect(box->mapTo(w.view.get(), QPoint(0, 0)), box->size());
            QCOMPARE(w.view->width() - 1 - boxRect.right(), 20);
            const QRect forward(w.view->forwardButton()->mapTo(w.view.get(), QPoint(0, 0)),
                                w.view->forwardButton()->size());
            QVERIFY(w.view->width() - 1 - forward.right() >= 20);
        }
    }

    // Introduction -> License -> agreement alert and each of its buttons.
    void introductionToProducts()
    {
        WizardHarness w;
        QSignalSpy terminate(&w.settings, &AppSettings::terminateRequested);
        auto *intro = w.view->stateView()->current()->findChild<QLabel *>("introText");
        QVERIFY(intro);
        QCOMPARE(intro->text(),
                 QStringLiteral("You will be guided through the steps necessary to use this "
                                "software."));
        QVERIFY(!w.clickBack());
        QCOMPARE(w.settings.currentPage(), Page::intro);

        QVERIFY(w.clickForward());
        QCOMPARE(w.settings.currentPage(), Page::license);
        auto *license = qobject_cast<LicensePage *>(w.view->stateView()->current());
        QVERIFY(license);
        auto *text = qobject_cast<QTextEdit *>(license->textView());
        QVERIFY(text && text->isReadOnly());
        QCOMPARE(w.alerts()->overlay(), Overlay::none);

        QVERIFY(w.clickForward());
        QCOMPARE(w.settings.currentPage(), Page::license);
        QCOMPARE(w.alerts()->overlay(), Overlay::agreementAlert);
        const QList<QLabel *> labels = w.alerts()->panel()->findChildren<QLabel *>();
        QStringList texts;
        for (const QLabel *label : labels)
            texts << label->text();
        QCOMPARE(texts, (QStringList{"To continue using the software you must agree to the terms "
                                     "of the software license agreement.",
                                     "Click Agree to continue or click Disagree to cancel and quit "
                                     "the Installer."}));
        QVERIFY(labels[0]->font().bold() && !labels[1]->font().bold());
        QCOMPARE(labels[0]->font().pixelSize(), 13);

        QVERIFY(w.clickOverlay("Read License"));
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QVERIFY(!w.settings.showLicenseAlert());
        QCOMPARE(w.settings.currentPage(), Page::license);

        QVERIFY(w.clickForward());
        QVERIFY(w.clickOverlay("Disagree"));
        QCOMPARE(terminate.count(), 1);
        QCOMPARE(w.settings.currentPage(), Page::license);

        QVERIFY(w.clickOverlay("Agree"));
        QVERIFY(w.settings.agreeWithTerms());
        QCOMPARE(w.settings.currentPage(), Page::install);
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        auto *products = qobject_cast<ProductListPage *>(w.view->stateView()->current());
        QVERIFY(products);
        QCOMPARE(products->shownNames(), (QStringList{"Beta", "alpha", "gamma"}));

        // Agreed once, back and forth goes without the alert.
        QVERIFY(w.clickBack());
        QCOMPARE(w.settings.currentPage(), Page::license);
        QVERIFY(w.clickForward());
        QCOMPARE(w.settings.currentPage(), Page::install);
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QCOMPARE(terminate.count(), 1);
        QCOMPARE(w.scripts.sources(), QStringList());
    }

    // Products -> confirmation -> install answered by the runner -> Summary.
    void installToSummary_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("failed");
        QTest::newRow("ok") << "Ok" << false;
        QTest::newRow("error") << "cp: /opt/Quorvantic: Permission denied" << true;
    }
    void installToSummary()
    {
        QFETCH(QString, answer);
        QFETCH(bool, failed);

        WizardHarness w;
        w.scripts.answerInstall(RecordingExecutor::answer(answer));
        QSignalSpy terminate(&w.settings, &AppSettings::terminateRequested);
        QVERIFY(w.clickForward());
        QVERIFY(w.clickForward());
        QVERIFY(w.clickOverlay("Agree"));

        QVERIFY(w.clickForward());
        QCOMPARE(w.alerts()->overlay(), Overlay::installConfirmation);
        QCOMPARE(w.alerts()->panel()->findChild<QLabel *>()->text(),
                 QStringLiteral("Click \"Install\" button to complete the installation."));
        QVERIFY(w.overlayButton("Install")->font().bold());
        QVERIFY(!w.overlayButton("Cancel")->font().bold());
        QVERIFY(w.clickOverlay("Cancel"));
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QCOMPARE(w.scripts.sources(), QStringList());

        // As the run starts, the window has dropped the confirmation, shows
        // the busy cursor and takes no step forward or back.
        Overlay overlayDuringWait = Overlay::agreementAlert;
        bool busyDuringWait = false;
        connect(&w.installer, &Installer::scriptWaitStarted, this, [&] {
            overlayDuringWait = w.alerts()->overlay();
            busyDuringWait = QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::BusyCursor &&
                             !w.view->forwardButton()->isEnabled() &&
                             !w.view->backButton()->isEnabled();
        });
        QVERIFY(w.clickForward());
        QVERIFY(w.clickOverlay("Install"));
        QCOMPARE(overlayDuringWait, Overlay::none);
        QVERIFY(busyDuringWait);
        QVERIFY(!QApplication::overrideCursor());

        QCOMPARE(w.scripts.installRuns(), 1);
        QCOMPARE(w.scripts.probeRuns(), 0);
        QCOMPARE(w.settings.currentPage(), Page::summary);
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QCOMPARE(w.view->pageTitle()->text(), QString());
        QVERIFY(!w.view->backButton()->isEnabled());
        QCOMPARE(w.view->forwardButton()->text(), QStringLiteral("Close"));

        SummaryPage *summary = summaryOf(*w.view);
        QVERIFY(summary);
        QCOMPARE(summary->message()->text(), failed ? failureText : successText);
        QCOMPARE(summary->icon()->symbol(),
                 failed ? Symbol::exclamationmarkCircle : Symbol::checkmarkCircle);
        QCOMPARE(summary->icon()->color(), failed ? Theme::red() : Theme::green());
        QCOMPARE(summary->icon()->size(), QSize(60, 60));
        QCOMPARE(summary->detailsLink()->isVisible(), failed);

        if (failed) {
            // "Details" sits at the bottom right of the box.
            const QPoint corner = summary->detailsLink()->mapTo(summary, QPoint(0, 0));
            QVERIFY(corner.x() > summary->width() / 2 && corner.y() > summary->height() / 2);

            QVERIFY(w.click(summary->detailsLink()));
            QCOMPARE(w.alerts()->overlay(), Overlay::logWindow);
            auto *log = qobject_cast<LogWindow *>(w.alerts()->panel());
            QVERIFY(log);
            QCOMPARE(log->logText()->text(), answer);

            QClipboard *clipboard = w.settings.pasteboard();
            clipboard->setText(QStringLiteral("something else"));
            QVERIFY(w.clickOverlay("Copy to Clipboard"));
            QCOMPARE(clipboard->text(), answer);
            QCOMPARE(clipboard->mimeData()->formats(), QStringList{"text/plain"});
            QCOMPARE(w.alerts()->overlay(), Overlay::logWindow);

            QVERIFY(w.clickOverlay("Close"));
            QCOMPARE(w.alerts()->overlay(), Overlay::none);
            QVERIFY(!w.settings.showLogDetailsWindow());
        }
        QCOMPARE(terminate.count(), 0);
        QVERIFY(w.clickForward());
        QCOMPARE(terminate.count(), 1);
        QCOMPARE(w.settings.currentPage(), Page::summary);
    }

    // A run of about 2 s: the window stays alive (its loop turns, progress
    // shows), input made meanwhile is dropped rather than acted on later, and
    // the state changes only once the run has returned.
    void liveWindowDuringTheRun()
    {
        WizardHarness w;
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        QPushButton *forward = w.view->forwardButton();
        w.installer.setScriptExecutor([forward](const QString &source, const ScriptHooks &hooks) {
            const int total = int(source.count("do shell script "));
            for (int step = 1; step <= total; ++step) {
                hooks.commandStarted(step, QStringLiteral("step"));
                // A click, as the window system would deliver it, mid-run.
                const QPointF centre(forward->width() / 2.0, forward->height() / 2.0);
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(
                        forward, new QMouseEvent(type, centre, forward->mapToGlobal(centre),
                                                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                QThread::msleep(2000 / total);
            }
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        QSignalSpy terminate(&w.settings, &AppSettings::terminateRequested);
        int changes = 0;
        connect(&w.settings, &AppSettings::objectWillChange, this, [&] { ++changes; });
        QElapsedTimer clock;
        qint64 last = 0, longestGap = 0;
        int turns = 0;
        bool stateMoved = false;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            ++turns;
            stateMoved = stateMoved || w.settings.currentPage() != Page::install;
        });
        QString lastLine;
        connect(&w.installer, &Installer::progressChanged, this,
                [&] { lastLine = w.view->installProgress()->line(); });
        connect(&w.installer, &Installer::scriptWaitStarted, this, [&] {
            clock.start();
            ticker.start();
        });
        connect(&w.installer, &Installer::scriptWaitFinished, &ticker, &QTimer::stop);

        w.settings.setShowPermanentlyAlert(false);
        const int before = changes;
        w.installer.installSelectedProducts();
        QCOMPARE(changes, before);
        QVERIFY(!stateMoved);
        QVERIFY2(turns >= 20, qPrintable(QString::number(turns)));
        // Generous for a loaded machine; a blocked loop makes it the whole run.
        QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
        QVERIFY2(QRegularExpression("\\(step (\\d+) of \\1\\)$").match(lastLine).hasMatch(),
                 qPrintable(lastLine));
        w.settle();
        QCOMPARE(w.settings.currentPage(), Page::summary);
        QVERIFY(!w.settings.completedWithErrors());
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QCOMPARE(terminate.count(), 0);
        QVERIFY(!w.view->installProgress()->isVisible());
        // The run's log stays on disk, answer and all.
        QFile log(w.installer.lastLogPath());
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        QVERIFY(log.fileName().startsWith(w.resources.path() + "/logs/install-"));
        QVERIFY(log.readAll().endsWith("--- answer\nOk\n"));
    }

    // Cancel stops the run after the command under way; the summary says so.
    void cancelStopsAfterTheStep()
    {
        WizardHarness w;
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        InstallProgress *progress = w.view->installProgress();
        int ran = 0;
        int total = 0;
        w.installer.setScriptExecutor([&](const QString &source, const ScriptHooks &hooks) {
            total = int(source.count("do shell script "));
            for (int step = 1; step <= total; ++step) {
                if (hooks.stopRequested->load())
                    return ScriptOutcome{true, QStringLiteral("The run was interrupted."),
                                         std::nullopt};
                hooks.commandStarted(step, QStringLiteral("step"));
                QThread::msleep(100);
                ++ran;
                CommandReport report;
                report.number = step;
                hooks.commandFinished(report);
            }
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        connect(&w.installer, &Installer::progressChanged, this, [&](int step) {
            if (step == 2)
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        });
        w.installer.installSelectedProducts();
        w.settle();
        QCOMPARE(w.settings.currentPage(), Page::summary);
        QVERIFY(w.settings.completedWithErrors());
        QCOMPARE(w.settings.logDetailsStr(),
                 QStringLiteral("Installation canceled after %1 of %2 steps.").arg(ran).arg(total));
        QVERIFY(ran >= 2 && ran < total);
    }

    // A licence nobody could read cannot have been agreed to: the install
    // fails before anything runs or is asked.
    void unreadableLicenseInstallsNothing()
    {
        WizardHarness w({QStringLiteral("alpha")}, false);
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        QVERIFY(w.clickForward());
        QVERIFY(w.clickOverlay("Install"));
        QCOMPARE(w.scripts.installRuns(), 0);
        QCOMPARE(w.settings.currentPage(), Page::summary);
        QVERIFY(w.settings.completedWithErrors());
        QCOMPARE(w.settings.logDetailsStr(),
                 QStringLiteral("The licence could not be read, so it cannot have been agreed to; "
                                "nothing was installed."));
    }

    void cancelledInstallStaysOnProducts()
    {
        WizardHarness w;
        w.scripts.answerInstall(RecordingExecutor::answer("User canceled."));
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        QVERIFY(w.clickForward());
        QVERIFY(w.clickOverlay("Install"));
        QCOMPARE(w.settings.currentPage(), Page::install);
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        // The user may try again.
        QVERIFY(w.clickForward());
        QCOMPARE(w.alerts()->overlay(), Overlay::installConfirmation);
    }

    void detailsLinkToggles()
    {
        WizardHarness w;
        w.settings.setCompletedWithErrors(true);
        w.settings.setCurrentPage(Page::summary);
        w.settle();
        QPushButton *details = summaryOf(*w.view)->detailsLink();
        QSignalSpy changes(&w.settings, &AppSettings::objectWillChange);
        // The second press comes from the button itself: the backdrop covers it.
        details->click();
        QVERIFY(w.settings.showLogDetailsWindow());
        details->click();
        QVERIFY(!w.settings.showLogDetailsWindow());
        QCOMPARE(changes.count(), 2);
    }

    void productList_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("unselected");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("sorted by case") << QStringList{"gamma", "Beta", "alpha"} << QStringList{}
                                        << QStringList{"Beta", "alpha", "gamma"};
        QTest::newRow("unselected left out")
            << QStringList{"gamma", "Beta", "alpha"} << QStringList{"Beta"}
            << QStringList{"alpha", "gamma"};
        QTest::newRow("empty") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("names as the file system shows them")
            << QStringList{"Velamorph 4", "Caf\u00e9 Noir"} << QStringList{}
            << QStringList{"Caf\u00e9 Noir", "Velamorph 4"};
    }
    void productList()
    {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, unselected);
        QFETCH(QStringList, shown);

        WizardHarness w(folders);
        ProductMap products = w.settings.products();
        for (auto it = products.begin(); it != products.end(); ++it) {
            if (unselected.contains(it.key().section('/', -1)))
                it.value() = false;
        }
        w.settings.setProducts(products);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        auto *page = qobject_cast<ProductListPage *>(w.view->stateView()->current());
        QVERIFY(page);
        QCOMPARE(page->shownNames(), shown);
        auto *list = page->findChild<QListWidget *>();
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->item(i)->font().pixelSize(), 14);
            QCOMPARE(list->item(i)->flags(), Qt::ItemIsEnabled);
        }
        QCOMPARE(list->selectionMode(), QAbstractItemView::NoSelection);
    }

    // Views are functions of the state, redrawn once per turn of the loop.
    void redrawsAreCoalesced()
    {
        WizardHarness w;
        const int before = w.view->redrawCount();
        w.settings.setShowLicenseAlert(false);
        w.settings.setShowPermanentlyAlert(false);
        w.settings.setCurrentPage(Page::license);
        QCOMPARE(w.view->redrawCount(), before);
        QTRY_COMPARE(w.view->redrawCount(), before + 1);
        QCOMPARE(w.view->pageTitle()->text(), QStringLiteral("Software License Agreement"));
        w.settle();
        QCOMPARE(w.view->redrawCount(), before + 1);

        w.settings.setLogDetailsStr(QStringLiteral("not announced"));
        w.settle();
        QTest::qWait(20);
        QCOMPARE(w.view->redrawCount(), before + 1);
    }

    // Leaving the License page and coming back makes its view anew.
    void licenseViewIsMadeOnce()
    {
        WizardHarness w;
        w.settings.setCurrentPage(Page::license);
        w.settle();
        QPointer<QWidget> first = w.view->stateView()->current();
        w.settings.setShowLicenseAlert(true);
        w.settle();
        QCOMPARE(w.view->stateView()->current(), first.data());
        // Out and back within one turn is one redraw that never left the page.
        w.settings.setCurrentPage(Page::intro);
        w.settings.setCurrentPage(Page::license);
        w.settle();
        QCOMPARE(w.view->stateView()->current(), first.data());
        // Leaving and coming back finds the page as it was left, not made anew.
        auto *page = qobject_cast<LicensePage *>(first.data());
        QVERIFY(page);
        w.settings.setCurrentPage(Page::intro);
        w.settle();
        QVERIFY(!first.isNull());
        QVERIFY(!first->isVisible());
        w.settings.setCurrentPage(Page::license);
        w.settle();
        QCOMPARE(w.view->stateView()->current(), first.data());
        QVERIFY(first->isVisible());
    }

    // The License page shows the licence of the resources folder, read once
    // when the window is made.
    void licenseComesFromTheResources()
    {
        DemoResources resources({"Calmfield 6"});
        QFile rtf(resources.path() + "/QuorvanticEULA.rtf");
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write("{\\rtf1\\ansi {\\b Terms} of use.}");
        rtf.close();
        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(resources.path());
        ContentView view(installer);
        QVERIFY(QFile::remove(rtf.fileName()));
        settings.setCurrentPage(Page::license);
        view.redrawIfDue();
        auto *page = qobject_cast<LicensePage *>(view.stateView()->current());
        QVERIFY(page);
        auto *text = qobject_cast<QTextEdit *>(page->textView());
        QVERIFY(text && text->isReadOnly());
        QCOMPARE(text->toPlainText(), QStringLiteral("Terms of use."));
    }

    // The logo is read as the PNG it should be, and by its content when it is
    // another kind of image under that name; no file leaves the frame empty.
    void logoByContent_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("PNG") << QByteArray("PNG");
        QTest::newRow("JPEG named .png") << QByteArray("JPG");
        QTest::newRow("BMP named .png") << QByteArray("BMP");
        QTest::newRow("no file") << QByteArray();
    }
    void logoByContent()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir folder;
        const QString file = folder.filePath("Logo.png");
        QImage image(36, 8, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        if (!format.isEmpty())
            QVERIFY(image.save(file, format.constData()));
        CapturedStdout printed;
        Sidebar sidebar(file);
        QCOMPARE(printed.text(), QByteArray());
        const QPixmap logo = sidebar.findChild<QLabel *>("logo")->pixmap();
        QCOMPARE(logo.size(), format.isEmpty() ? QSize(0, 0) : QSize(36, 8));
    }

    // The file is read when the window is made, its text made when a later
    // page first needs it: a jump from the first page straight to an install
    // still knows whether the licence could be read, and a reason is printed
    // once, when it is found.
    void licenseMadeWhenFirstNeeded_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("printedAtStart");
        QTest::addColumn<QString>("printedLater");
        QTest::addColumn<bool>("readable");
        QTest::newRow("licence") << QByteArray("{\\rtf1\\ansi {\\b Terms} of use.}") << ""
                                 << "" << true;
        QTest::newRow("not RTF") << QByteArray("<html/>") << ""
                                 << "QuorvanticEULA.rtf\u201D could not be read" << false;
        QTest::newRow("missing") << QByteArray() << "File not found"
                                 << "" << false;
    }
    void licenseMadeWhenFirstNeeded()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, printedAtStart);
        QFETCH(QString, printedLater);
        QFETCH(bool, readable);
        DemoResources resources({"Calmfield 6"});
        if (!rtf.isEmpty()) {
            QFile file(resources.path() + "/QuorvanticEULA.rtf");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(rtf);
        }
        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(resources.path());
        settings.setProducts(installer.productsToInstall());
        RecordingExecutor scripts;
        installer.setScriptExecutor(scripts.executor());
        installer.setLogFolder(resources.path() + "/logs");

        CapturedStdout start;
        ContentView view(installer);
        const QString atStart = QString::fromUtf8(start.text());
        settings.setAgreeWithTerms(true);
        settings.setCurrentPage(Page::install);
        CapturedStdout later;
        view.redrawIfDue();
        const QString afterwards = QString::fromUtf8(later.text());
        installer.installSelectedProducts();

        QCOMPARE(atStart.trimmed(), printedAtStart);
        if (printedLater.isEmpty())
            QCOMPARE(afterwards, QString());
        else
            QVERIFY2(afterwards.contains(printedLater), qPrintable(afterwards));
        QCOMPARE(scripts.installRuns(), readable ? 1 : 0);
        if (!readable)
            QVERIFY(settings.logDetailsStr().startsWith("The licence could not be read"));
    }
};

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
