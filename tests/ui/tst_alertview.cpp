// The alert layer: which overlay shows, what it lets through, and its timer.
#include "WizardHarness.h"

#include "ui/FinderAccessAlert.h"
#include "ui/LogWindow.h"
#include "ui/Overlay.h"
#include "ui/PageRow.h"
#include "ui/Sidebar.h"
#include "ui/SymbolView.h"

#include <QClipboard>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

Q_DECLARE_METATYPE(Page)
Q_DECLARE_METATYPE(Overlay)

namespace {

struct Flags
{
    bool agreed, licenseAlert, installAlert, finderAlert, logWindow;
};

void apply(AppSettings &s, Page page, const Flags &f)
{
    s.setCurrentPage(page);
    s.setAgreeWithTerms(f.agreed);
    s.setShowLicenseAlert(f.licenseAlert);
    s.setShowPermanentlyAlert(f.installAlert);
    s.setShowFinderAlert(f.finderAlert);
    s.setShowLogDetailsWindow(f.logWindow);
}

// Raises one overlay of each kind on its own page.
void raise(AppSettings &s, Overlay overlay)
{
    switch (overlay) {
    case Overlay::agreementAlert:
        apply(s, Page::license, {false, true, false, false, false});
        break;
    case Overlay::installConfirmation:
        apply(s, Page::install, {true, false, true, false, false});
        break;
    case Overlay::finderAccessAlert:
        apply(s, Page::install, {true, false, false, true, false});
        break;
    case Overlay::logWindow:
        s.setCompletedWithErrors(true);
        apply(s, Page::summary, {true, false, false, false, true});
        break;
    case Overlay::none:
        break;
    }
}

void addOverlayRows()
{
    QTest::addColumn<Overlay>("overlay");
    QTest::newRow("agreement alert") << Overlay::agreementAlert;
    QTest::newRow("install confirmation") << Overlay::installConfirmation;
    QTest::newRow("finder access alert") << Overlay::finderAccessAlert;
    QTest::newRow("log window") << Overlay::logWindow;
}

// The state fields the overlays act on, for "nothing changed" checks.
QList<int> snapshot(const AppSettings &s)
{
    return {PageInfo::rawValue(s.currentPage()),
            int(s.accessType()),
            s.agreeWithTerms(),
            s.showLicenseAlert(),
            s.showPermanentlyAlert(),
            s.showFinderAlert(),
            s.completedWithErrors(),
            s.showLogDetailsWindow()};
}

} // namespace

class TestAlertView : public QObject
{
    Q_OBJECT

private slots:
    void precedence_data()
    {
        QTest::addColumn<Page>("page");
        QTest::addColumn<bool>("agreed");
        QTest::addColumn<bool>("licenseAlert");
        QTest::addColumn<bool>("installAlert");
        QTest::addColumn<bool>("finderAlert");
        QTest::addColumn<bool>("logWindow");
        QTest::addColumn<Overlay>("expected");
        const auto row = [](const char *name, Page page, Flags f, Overlay expected) {
            QTest::newRow(name) << page << f.agreed << f.licenseAlert << f.installAlert
                                << f.finderAlert << f.logWindow << expected;
        };
        row("nothing raised", Page::install, {false, false, false, false, false}, Overlay::none);
        row("agreement on license", Page::license, {false, true, false, false, false},
            Overlay::agreementAlert);
        row("agreement on any page", Page::summary, {false, true, false, false, true},
            Overlay::agreementAlert);
        row("agreement over everything", Page::install, {false, true, true, true, false},
            Overlay::agreementAlert);
        row("agreed: flag ignored", Page::license, {true, true, false, false, false},
            Overlay::none);
        row("agreed: next condition wins", Page::install, {true, true, true, false, false},
            Overlay::installConfirmation);
        row("confirmation over finder", Page::install, {true, false, true, true, false},
            Overlay::installConfirmation);
        row("confirmation only on install", Page::license, {true, false, true, false, false},
            Overlay::none);
        row("finder alert", Page::install, {true, false, false, true, false},
            Overlay::finderAccessAlert);
        row("finder only on install", Page::summary, {true, false, false, true, false},
            Overlay::none);
        row("log window", Page::summary, {true, false, false, false, true}, Overlay::logWindow);
        row("log only on summary", Page::install, {true, false, false, false, true}, Overlay::none);
        row("summary ignores install flags", Page::summary, {true, false, true, true, true},
            Overlay::logWindow);
    }
    void precedence()
    {
        QFETCH(Page, page);
        QFETCH(bool, agreed);
        QFETCH(bool, licenseAlert);
        QFETCH(bool, installAlert);
        QFETCH(bool, finderAlert);
        QFETCH(bool, logWindow);
        QFETCH(Overlay, expected);

        WizardHarness w;
        apply(w.settings, page, {agreed, licenseAlert, installAlert, finderAlert, logWindow});
        const QList<int> before = snapshot(w.settings);
        QCOMPARE(OverlayRule::forState(w.settings), expected);
        w.settle();
        QCOMPARE(w.alerts()->overlay(), expected);
        QCOMPARE(w.alerts()->isVisible(), expected != Overlay::none);
        QCOMPARE(w.alerts()->panel() != nullptr, expected != Overlay::none);
        // Showing an overlay clears no flag.
        QCOMPARE(snapshot(w.settings), before);
    }

    // A flag whose condition fails stays, and its overlay comes back.
    void overlayReturnsWithItsPage()
    {
        WizardHarness w;
        raise(w.settings, Overlay::logWindow);
        w.settle();
        QCOMPARE(w.alerts()->overlay(), Overlay::logWindow);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        w.settings.setCurrentPage(Page::summary);
        w.settle();
        QCOMPARE(w.alerts()->overlay(), Overlay::logWindow);
    }

    void panelGeometry_data()
    {
        QTest::addColumn<Overlay>("overlay");
        QTest::addColumn<QSize>("size");
        QTest::newRow("agreement alert") << Overlay::agreementAlert << QSize(500, 180);
        QTest::newRow("install confirmation") << Overlay::installConfirmation << QSize(280, 110);
        QTest::newRow("finder access alert") << Overlay::finderAccessAlert << QSize(500, 150);
        QTest::newRow("log window") << Overlay::logWindow << QSize(500, 400);
    }
    void panelGeometry()
    {
        QFETCH(Overlay, overlay);
        QFETCH(QSize, size);
        WizardHarness w;
        raise(w.settings, overlay);
        w.settle();
        for (const QSize window : {QSize(648, 405), QSize(1200, 800)}) {
            w.view->resize(window);
            w.settle();
            QCOMPARE(w.alerts()->geometry(), w.view->rect());
            const QRect panel = w.alerts()->panel()->geometry();
            QCOMPARE(panel.size(), size);
            const QPointF offset = QRectF(panel).center() - QRectF(w.alerts()->rect()).center();
            QVERIFY(qAbs(offset.x()) <= 0.5 && qAbs(offset.y()) <= 0.5);
        }
    }

    void backdropAndKeysDoNothing_data() { addOverlayRows(); }
    void backdropAndKeysDoNothing()
    {
        QFETCH(Overlay, overlay);
        WizardHarness w;
        raise(w.settings, overlay);
        w.settle();
        QCOMPARE(w.alerts()->overlay(), overlay);
        QSignalSpy changes(&w.settings, &AppSettings::objectWillChange);
        QSignalSpy terminate(&w.settings, &AppSettings::terminateRequested);
        const QList<int> before = snapshot(w.settings);
        const int probes = w.scripts.probeRuns();

        // Clicks on the backdrop, over the buttons of the page below included,
        // delivered to the window so that they land on whatever lies on top.
        QWindow *window = w.view->windowHandle();
        QVERIFY(window);
        QList<QWidget *> below{w.view->forwardButton(), w.view->backButton()};
        for (PageRow *row : w.view->sidebar()->rows())
            below.append(row->findChild<SymbolView *>());
        int outside = 0;
        for (QWidget *target : below) {
            const QPoint at = target->mapTo(w.view.get(), target->rect().center());
            if (w.alerts()->panel()->geometry().contains(at))
                continue; // the panel's own buttons lie there
            ++outside;
            QTest::mouseClick(window, Qt::LeftButton, {}, at);
            QTest::mouseDClick(window, Qt::LeftButton, {}, at);
        }
        QVERIFY(outside >= 2);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(2, 2));
        w.settle();

        // Keys that would trigger a default or cancel button, sent where focus is.
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY(w.alerts()->panel()->isAncestorOf(focus) || focus == w.alerts()->panel());
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            w.settle();
        }

        QCOMPARE(snapshot(w.settings), before);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(terminate.count(), 0);
        QCOMPARE(w.alerts()->overlay(), overlay);
        QCOMPARE(w.scripts.installRuns(), 0);
        QVERIFY(w.scripts.probeRuns() - probes <= 1); // at most a timer tick meanwhile
        for (QPushButton *button : w.alerts()->panel()->findChildren<QPushButton *>())
            QVERIFY(!button->isDefault() && !button->autoDefault() && button->shortcut().isEmpty());
    }

    void focusStaysInPanel_data() { addOverlayRows(); }
    void focusStaysInPanel()
    {
        QFETCH(Overlay, overlay);
        WizardHarness w;
        w.view->forwardButton()->setFocus();
        raise(w.settings, overlay);
        w.settle();
        OverlayPanel *panel = w.alerts()->panel();
        QSet<QWidget *> visited;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(),
                            i % 3 == 2 ? Qt::Key_Backtab : Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            QVERIFY2(focus && panel->isAncestorOf(focus),
                     qPrintable(focus ? focus->metaObject()->className() : "no focus"));
            visited.insert(focus);
        }
        // Tab does reach every button of the panel, and the log's text.
        QCOMPARE(visited.size(), panel->findChildren<QPushButton *>().size() +
                                     panel->findChildren<QScrollArea *>().size());
    }

    // While access is missing the alert probes once a second; the first tick
    // after access is allowed stops it for good without probing.
    void recheckTimer()
    {
        WizardHarness w;
        raise(w.settings, Overlay::finderAccessAlert);
        w.settle();
        auto *alert = qobject_cast<FinderAccessAlert *>(w.alerts()->panel());
        QVERIFY(alert);
        QPointer<QTimer> timer = alert->recheckTimer();
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(timer->isActive());
        QCOMPARE(w.scripts.probeRuns(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(w.scripts.probeRuns(), 1, 1500);
        w.settle();
        QCOMPARE(w.settings.accessType(), FinderAccess::denied);
        QCOMPARE(w.alerts()->panel(), alert);
        QTRY_COMPARE_WITH_TIMEOUT(w.scripts.probeRuns(), 2, 1500);
        QCOMPARE(w.scripts.installRuns(), 0);
        // The second probe's answer lands before access changes, or it would overwrite it.
        w.settle();

        w.settings.setAccessType(FinderAccess::allowed);
        w.settle();
        // The next tick stops it; a loaded machine (a sanitizer build) may run it late.
        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
        QTest::qWait(1300);
        QCOMPARE(w.scripts.probeRuns(), 2);
        QCOMPARE(w.scripts.installRuns(), 0);
        // Stopping the timer lowers nothing: the flag is the probe's to clear.
        QCOMPARE(w.alerts()->overlay(), Overlay::finderAccessAlert);
    }

    void timerEndsWithItsOverlay()
    {
        WizardHarness w;
        raise(w.settings, Overlay::finderAccessAlert);
        w.settle();
        QPointer<QTimer> timer =
            qobject_cast<FinderAccessAlert *>(w.alerts()->panel())->recheckTimer();
        w.settings.setCurrentPage(Page::license);
        w.settle();
        QVERIFY(timer.isNull());
        QTest::qWait(1300);
        QCOMPARE(w.scripts.probeRuns(), 0);
    }

    void probeAllowingStartsTheInstall()
    {
        WizardHarness w;
        w.scripts.answerProbe(RecordingExecutor::answer("1"));
        raise(w.settings, Overlay::finderAccessAlert);
        w.settle();
        QTRY_COMPARE_WITH_TIMEOUT(w.settings.currentPage(), Page::summary, 2500);
        QCOMPARE(w.scripts.probeRuns(), 1);
        QCOMPARE(w.scripts.installRuns(), 1);
        QCOMPARE(w.settings.accessType(), FinderAccess::allowed);
        QVERIFY(!w.settings.showFinderAlert());
        w.settle();
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
    }

    void finderAlertButtons()
    {
        WizardHarness w;
        raise(w.settings, Overlay::finderAccessAlert);
        w.settle();
        QCOMPARE(w.alerts()->panel()->findChild<QLabel *>()->text(),
                 QStringLiteral(
                     "To make changes with Installer please allow Finder access from Settings"));
        QVERIFY(!w.overlayButton("Open settings")->icon().isNull());
        QSignalSpy terminate(&w.settings, &AppSettings::terminateRequested);
        QVERIFY(w.clickOverlay("Open settings"));
        QCOMPARE(w.settingsOpened, 1);
        QCOMPARE(w.alerts()->overlay(), Overlay::finderAccessAlert);
        QCOMPARE(terminate.count(), 0);
        QVERIFY(w.clickOverlay("Close"));
        QCOMPARE(terminate.count(), 1);
        QCOMPARE(w.settingsOpened, 1);
    }

    void logArea_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("scrollsSideways");
        QTest::addColumn<bool>("scrollsDown");
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("short") << QStringLiteral("Wrong password.") << false << false;
        QTest::newRow("one wide line") << QString(400, QLatin1Char('w')) << true << false;
        QTest::newRow("many lines") << QStringLiteral("line\n").repeated(60) << false << true;
        QTest::newRow("markup shown as text")
            << QStringLiteral("<b>not bold</b> & more") << false << false;
    }
    void logArea()
    {
        QFETCH(QString, log);
        QFETCH(bool, scrollsSideways);
        QFETCH(bool, scrollsDown);

        WizardHarness w;
        w.settings.setLogDetailsStr(log);
        raise(w.settings, Overlay::logWindow);
        w.settle();
        auto *window = qobject_cast<LogWindow *>(w.alerts()->panel());
        QVERIFY(window);
        QScrollArea *area = window->logArea();
        QCOMPARE(area->size(), QSize(500, 300));
        QCOMPARE(window->logText()->text(), log);
        QCOMPARE(window->logText()->textFormat(), Qt::PlainText);
        QVERIFY(!window->logText()->wordWrap());
        QCOMPARE(window->logText()->textInteractionFlags(), Qt::NoTextInteraction);
        QCOMPARE(area->horizontalScrollBar()->maximum() > 0, scrollsSideways);
        QCOMPARE(area->verticalScrollBar()->maximum() > 0, scrollsDown);
        // A short log sits at the top-left corner of the area.
        QVERIFY(window->logText()->alignment() & Qt::AlignTop);
        QVERIFY(window->logText()->alignment() & Qt::AlignLeft);
        QVERIFY(window->logText()->height() >= area->viewport()->height());

        QClipboard *clipboard = w.settings.pasteboard();
        clipboard->setText(QStringLiteral("left over"));
        QVERIFY(w.clickOverlay("Copy to Clipboard"));
        QCOMPARE(clipboard->text(), log);
    }

    // The log is a plain field: the window shows it as of the last redraw,
    // while the copy takes the field as it is.
    void logShownAsOfLastRedraw()
    {
        WizardHarness w;
        w.settings.setLogDetailsStr(QStringLiteral("first"));
        raise(w.settings, Overlay::logWindow);
        w.settle();
        auto *window = qobject_cast<LogWindow *>(w.alerts()->panel());
        w.settings.setLogDetailsStr(QStringLiteral("second"));
        w.settle();
        QCOMPARE(window->logText()->text(), QStringLiteral("first"));
        QVERIFY(w.clickOverlay("Copy to Clipboard"));
        QCOMPARE(w.settings.pasteboard()->text(), QStringLiteral("second"));
        w.settings.setCompletedWithErrors(true);
        w.settle();
        QCOMPARE(window->logText()->text(), QStringLiteral("second"));
    }
};

QTEST_MAIN(TestAlertView)
#include "tst_alertview.moc"
