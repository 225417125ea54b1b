// The real window on the desktops it meets (a light one, a dark GTK-style
// theme, a dark Qt palette, German, Japanese, 18-point text), rendered at twice
// the pixels: in every page and overlay, text stands at least 4.5:1 against
// its background on the rendered image, and no text is wider than its frame
// (ctest runs it at 2x and at 1x).
#include "app/MainWindow.h"
#include "app/QuorvanticInstallerApp.h"
#include "app/screenshots/DesktopVariant.h"
#include "ui/AlertView.h"
#include "ui/ContentView.h"
#include "ui/OverlayPanel.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>

#include <cmath>
#include <functional>

namespace {

double luminance(QRgb rgb)
{
    const auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background is the commonest colour of the area; the text the colour
// standing furthest from it among those drawn more than a stray pixel or two
// (an antialiasing fringe stands nearer the background than the glyph's core).
// 0 when nothing but the background is there.
double textContrast(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most)
            most = it.value(), background = it.key();
    }
    // A few pixels: a gradient's many shades must not drown a short word.
    const int enough = 4;
    double best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key() != background && it.value() >= enough)
            best = std::max(best, contrast(it.key(), background));
    }
    return best;
}

struct Shot
{
    const char *name;
    std::function<void(AppSettings &)> arrange;
};

const QList<Shot> shots{
    {"introduction",
     [](AppSettings &) {
     }},
    {"license",
     [](AppSettings &s) {
         s.nextAction();
     }},
    {"agreement",
     [](AppSettings &s) {
         s.nextAction();
     }},
    {"products",
     [](AppSettings &s) {
         s.agreeWithLicense();
     }},
    {"confirmation",
     [](AppSettings &s) {
         s.nextAction();
     }},
    {"finder",
     [](AppSettings &s) {
         s.setShowPermanentlyAlert(false), s.setShowFinderAlert(true);
     }},
    {"summary",
     [](AppSettings &s) {
         s.setShowFinderAlert(false), s.setCompletedWithErrors(true);
         s.setLogDetailsStr(QStringLiteral("cp: cannot create directory: Permission denied"));
         s.setCurrentPage(Page::summary);
     }},
    {"log",
     [](AppSettings &s) {
         s.setShowLogDetailsWindow(true);
     }},
};

QString describe(const QWidget *w, const QString &text)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), text);
}

// The text a widget shows and where, in the window's pixels; false if it shows none.
bool textArea(QWidget *w, QString *text, QRect *area)
{
    if (auto *label = qobject_cast<QLabel *>(w)) {
        *text = label->text();
        *area = label->contentsRect();
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        *text = button->text().remove(QLatin1Char('&'));
        // Inside the bevel and the focus ring: the label alone. A flat
        // button drawn as a link has neither.
        auto *push = qobject_cast<QPushButton *>(button);
        const int inset = push && push->isFlat() ? 0 : 4;
        *area = button->rect().adjusted(inset, inset, -inset, -inset);
    } else if (auto *edit = qobject_cast<QTextEdit *>(w)) {
        *text = edit->toPlainText().left(40);
        *area = edit->viewport()->geometry();
    } else if (auto *list = qobject_cast<QListWidget *>(w)) {
        *text = list->count() ? list->item(0)->text() : QString();
        *area = list->viewport()->geometry();
    } else if (auto *bar = qobject_cast<QMenuBar *>(w)) {
        *text = QStringLiteral("menu bar");
        *area = bar->rect();
    }
    return !text->isEmpty();
}

// A text wider than the room its widget gives it; empty when it fits.
QString clipped(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
        const QRect room = label->contentsRect();
        const bool fits =
            label->wordWrap()
                ? label->heightForWidth(label->width()) <= label->height()
                : label->fontMetrics().horizontalAdvance(label->text()) <= room.width();
        return fits ? QString() : describe(w, label->text());
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty()) {
        const QString text = button->text().remove(QLatin1Char('&'));
        const int needed = button->fontMetrics().horizontalAdvance(text) +
                           (button->icon().isNull() ? 0 : button->iconSize().width());
        return needed <= button->width() ? QString() : describe(w, text);
    }
    if (auto *list = qobject_cast<QListWidget *>(w)) {
        for (int i = 0; i < list->count(); ++i) {
            const QListWidgetItem *item = list->item(i);
            const int needed = QFontMetrics(item->font()).horizontalAdvance(item->text()) +
                               list->iconSize().width();
            if (needed > list->viewport()->width())
                return describe(w, item->text());
        }
    }
    return QString();
}

// Whether the desktop handed the application a dark palette before it set its own.
bool desktopWasDark = false;

} // namespace

class TestContrast : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("QUORVANTIC_EXPECT_DARK_DESKTOP") && !desktopWasDark)
            QSKIP("no dark platform theme here (Qt's GTK theme plug-in missing?)");
        qInfo("desktop palette: %s", desktopWasDark ? "dark" : "light");
    }

    void cleanup()
    {
        for (QTranslator *t : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }

    void everyPageOnEveryDesktop_data()
    {
        QTest::addColumn<int>("variant");
        const auto variants = desktopVariants();
        for (int i = 0; i < int(variants.size()); ++i) {
            if (variants[i].scale == 1) // the whole test runs at one scale
                QTest::newRow(variants[i].name) << i;
        }
    }
    void everyPageOnEveryDesktop()
    {
        QFETCH(int, variant);
        dressDesktop(desktopVariants()[variant]);
        QuorvanticInstallerApp app(QStringLiteral(QUORVANTIC_RESOURCES_DIR));
        app.installer().setScriptExecutor([](const QString &) {
            return ScriptOutcome{true, QStringLiteral("0"), std::nullopt};
        });
        app.launch();
        MainWindow *window = app.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (desktopVariants()[variant].darkTheme) {
            // The theme changes while the window is open and hands out its
            // dark palettes again, as a platform theme does.
            dressDesktop(desktopVariants()[variant]);
            QEvent change(QEvent::ThemeChange);
            QApplication::sendEvent(window, &change);
            QApplication::processEvents();
        }
        QStringList faults;
        double lowest = 21;
        for (const Shot &shot : shots) {
            shot.arrange(app.settings());
            window->contentView()->redrawIfDue();
            QApplication::processEvents();
            const QImage image = window->grab().toImage();
            const double ratio = image.devicePixelRatio();
            QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
            AlertView *alerts = window->contentView()->alertView();
            // Under an overlay the dimmed page is not read; the panel is.
            QWidget *root = alerts->isVisible() ? static_cast<QWidget *>(alerts->panel())
                                                : window->contentView();
            QList<QWidget *> widgets = root->findChildren<QWidget *>();
            widgets << window->menuBar();
            for (QWidget *w : widgets) {
                if (!w->isVisibleTo(window) || (!alerts->isVisible() && alerts->isAncestorOf(w)))
                    continue;
                if (const QString fault = clipped(w); !fault.isEmpty())
                    faults << QStringLiteral("%1: clipped %2").arg(shot.name, fault);
                QString text;
                QRect area;
                if (!w->isEnabled() || !textArea(w, &text, &area))
                    continue;
                const QRect logical(w->mapTo(window, area.topLeft()), area.size());
                const QRect pixels(logical.topLeft() * ratio, logical.size() * ratio);
                const double measured = textContrast(image, pixels);
                lowest = std::min(lowest, measured);
                if (measured < 4.5)
                    faults << QStringLiteral("%1: %2 at %3:1")
                                  .arg(shot.name, describe(w, text))
                                  .arg(measured, 0, 'f', 2);
            }
        }
        qInfo("%s: lowest text contrast %.2f:1", desktopVariants()[variant].name, lowest);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
    }
};

int main(int argc, char *argv[])
{
    // Twice the pixels for every row unless told otherwise: a desktop scaled
    // 2x, and finer measures.
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    desktopWasDark = QApplication::palette().color(QPalette::Window).lightness() < 128;
    TestContrast test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_contrast.moc"
