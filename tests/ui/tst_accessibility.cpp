// What a screen reader finds in the window, walked page by page and overlay by
// overlay through Qt's accessibility interfaces, and where keyboard focus goes.
#include "WizardHarness.h"

#include "ui/FocusRing.h"
#include "ui/LicensePage.h"
#include "ui/ProductListPage.h"
#include "ui/StateView.h"

#include <QAccessible>
#include <QListWidget>
#include <QScrollBar>

namespace {

struct Node
{
    QAccessible::Role role;
    QString name;
    QString description;
    QAccessible::State state;
};

// Everything reachable below `iface` that is not hidden, depth first.
void collect(QAccessibleInterface *iface, QList<Node> &out)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (!child || child->state().invisible)
            continue;
        out.append({child->role(), child->text(QAccessible::Name),
                    child->text(QAccessible::Description), child->state()});
        collect(child, out);
    }
}

QList<Node> tree(QWidget *root)
{
    QList<Node> nodes;
    collect(QAccessible::queryAccessibleInterface(root), nodes);
    return nodes;
}

QList<Node> withRole(const QList<Node> &nodes, QAccessible::Role role)
{
    QList<Node> found;
    for (const Node &n : nodes) {
        if (n.role == role)
            found.append(n);
    }
    return found;
}

QStringList names(const QList<Node> &nodes)
{
    QStringList out;
    for (const Node &n : nodes)
        out.append(n.name);
    return out;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    // Each page: the window's name, the list of steps with one current, and
    // the page's own controls named.
    void pages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("windowName");
        QTest::addColumn<QString>("namedControl");
        QTest::newRow("intro") << 0
                               << QString("Quorvantic Plugin Installer — Introduction, step 1 of 4")
                               << "Quorvantic logo";
        QTest::newRow("license") << 1
                                 << QString("Quorvantic Plugin Installer — License, step 2 of 4")
                                 << "License agreement text";
        QTest::newRow("install") << 2
                                 << QString("Quorvantic Plugin Installer — Products, step 3 of 4")
                                 << "Products to install";
        QTest::newRow("summary") << 3
                                 << QString("Quorvantic Plugin Installer — Summary, step 4 of 4")
                                 << "Details";
    }
    void pages()
    {
        QFETCH(int, page);
        QFETCH(QString, windowName);
        QFETCH(QString, namedControl);
        WizardHarness w;
        w.settings.setAgreeWithTerms(true);
        w.settings.setCompletedWithErrors(true);
        w.settings.setCurrentPage(Page(page));
        w.settle();

        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(w.view.get());
        QCOMPARE(window->text(QAccessible::Name), windowName);
        const QList<Node> nodes = tree(w.view.get());
        QVERIFY2(names(nodes).contains(namedControl), qPrintable(names(nodes).join(" | ")));

        const QList<Node> lists = withRole(nodes, QAccessible::List);
        QVERIFY(names(lists).contains("Steps"));
        // The steps come first; the product list's rows follow on its page.
        const QList<Node> steps = withRole(nodes, QAccessible::ListItem).mid(0, 4);
        QCOMPARE(names(steps), (QStringList{"Introduction", "License", "Products", "Summary"}));
        for (int i = 0; i < steps.size(); ++i) {
            QCOMPARE(bool(steps[i].state.selected), i == page);
            QCOMPARE(steps[i].description,
                     QString("Step %1 of 4%2").arg(i + 1).arg(i == page ? ", current" : ""));
        }
        // Nothing the reader meets is an unnamed control.
        for (const Node &n : nodes) {
            if (n.role == QAccessible::PushButton || n.role == QAccessible::List ||
                n.role == QAccessible::Graphic || n.role == QAccessible::EditableText)
                QVERIFY2(!n.name.isEmpty(), qPrintable(QString::number(n.role)));
        }
    }

    // An overlay is a named modal dialog with its text as description, it
    // takes focus, and the page below is out of reach.
    void overlays_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("text");
        QTest::newRow("agreement") << 1 << "License agreement"
                                   << "To continue using the software you must agree";
        QTest::newRow("confirmation") << 2 << "Confirm installation"
                                      << "Click \"Install\" button to complete the installation.";
        QTest::newRow("finder") << 2 << "Finder access"
                                << "please allow Finder access";
        QTest::newRow("log") << 3 << "Installation log"
                             << ""; // no run, no log file to name
    }
    void overlays()
    {
        QFETCH(int, page);
        QFETCH(QString, dialog);
        QFETCH(QString, text);
        WizardHarness w;
        AppSettings &s = w.settings;
        s.setAgreeWithTerms(page != 1);
        s.setCurrentPage(Page(page));
        w.settle();
        s.setShowLicenseAlert(page == 1);
        s.setShowPermanentlyAlert(dialog == "Confirm installation");
        s.setShowFinderAlert(dialog == "Finder access");
        s.setShowLogDetailsWindow(page == 3);
        w.settle();

        const QList<Node> nodes = tree(w.view.get());
        const QList<Node> dialogs = withRole(nodes, QAccessible::Dialog);
        QCOMPARE(dialogs.size(), 1);
        QCOMPARE(dialogs[0].name, dialog);
        QVERIFY2(dialogs[0].description.contains(text), qPrintable(dialogs[0].description));
        QVERIFY(dialogs[0].state.modal);
        QCOMPARE(QApplication::focusWidget(), w.alerts()->panel());
        QCOMPARE(w.view->focusRing()->target(), w.alerts()->panel());
        QVERIFY(w.view->focusRing()->isVisible());

        // Nothing of the page below: no steps, no Next, no Go Back.
        QVERIFY(withRole(nodes, QAccessible::ListItem).isEmpty());
        const QStringList buttons = names(withRole(nodes, QAccessible::PushButton));
        QVERIFY(!buttons.contains("Next") && !buttons.contains("Go Back"));
        QVERIFY(!buttons.isEmpty());
    }

    // After each way out of an overlay, focus lands where the next key is safe.
    void focusAfterAction_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("focused");
        QTest::newRow("Agree") << "Agree"
                               << "Next";
        QTest::newRow("Read License") << "Read License"
                                      << "license text";
        QTest::newRow("Cancel") << "Cancel"
                                << "Next";
        QTest::newRow("log Close") << "Close"
                                   << "Close";
    }
    void focusAfterAction()
    {
        QFETCH(QString, button);
        QFETCH(QString, focused);
        WizardHarness w;
        AppSettings &s = w.settings;
        if (button == "Agree" || button == "Read License") {
            s.setCurrentPage(Page::license);
            s.setShowLicenseAlert(true);
        } else if (button == "Cancel") {
            s.setAgreeWithTerms(true);
            s.setCurrentPage(Page::install);
            s.setShowPermanentlyAlert(true);
        } else {
            s.setCompletedWithErrors(true);
            s.setCurrentPage(Page::summary);
            s.setShowLogDetailsWindow(true);
        }
        w.settle();
        QVERIFY(w.clickOverlay(button));
        QCOMPARE(w.alerts()->overlay(), Overlay::none);
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        if (focused == "license text") {
            auto *license = qobject_cast<LicensePage *>(w.view->stateView()->current());
            QVERIFY(license);
            QCOMPARE(focus, license->textView());
        } else {
            QCOMPARE(focus, w.view->forwardButton());
            QCOMPARE(w.view->forwardButton()->text(), focused);
        }
        QCOMPARE(w.view->focusRing()->target(), focus);
        QVERIFY(
            w.view->focusRing()->geometry().contains(focus->geometry().adjusted(1, 1, -1, -1)) ||
            w.view->focusRing()->geometry() == focus->geometry());
    }

    // A name wider than the list ends in "…" within the row; the whole name is
    // its tooltip and what a screen reader reads, and the list still knows it.
    void longNamesAreElided()
    {
        const QString longName = QString("Calmfield ") + QString("Extended ").repeated(20) + "End";
        WizardHarness w({longName, "Beta"});
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        auto *page = qobject_cast<ProductListPage *>(w.view->stateView()->current());
        QVERIFY(page);
        QCOMPARE(page->shownNames(), (QStringList{"Beta", longName}));
        const QListWidgetItem *item = page->list()->item(1);
        QVERIFY(item->text().endsWith(QChar(0x2026)));
        QVERIFY(QFontMetrics(item->font()).horizontalAdvance(item->text()) <
                page->list()->viewport()->width());
        QCOMPARE(item->toolTip(), longName);
        QVERIFY(page->list()->item(0)->toolTip().isEmpty());
        QVERIFY(names(tree(w.view.get())).contains(longName));
        // Wider again, the name shows whole.
        w.view->resize(4000, 600);
        w.settle();
        QCOMPARE(item->text(), longName);
    }

    // The product list takes focus and scrolls with Page Down and the arrows.
    void productListScrollsFromKeyboard()
    {
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QString("Product %1").arg(i, 2, 10, QLatin1Char('0'));
        WizardHarness w(many);
        w.settings.setAgreeWithTerms(true);
        w.settings.setCurrentPage(Page::install);
        w.settle();
        auto *page = qobject_cast<ProductListPage *>(w.view->stateView()->current());
        QVERIFY(page);
        QListWidget *list = page->list();
        QVERIFY(list->focusPolicy() & Qt::TabFocus);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_PageDown);
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(list->verticalScrollBar()->value() > 0);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
