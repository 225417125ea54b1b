#include "app/Appearance.h"

#include "app/InstallerStyle.h"

#include "ui/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {

// The widget classes a platform theme gives palettes of their own.
constexpr const char *themedClasses[] = {
    "QAbstractButton",  "QToolButton",  "QCheckBox",
    "QRadioButton",     "QHeaderView",  "QAbstractItemView",
    "QMessageBoxLabel", "QTabBar",      "QLabel",
    "QGroupBox",        "QMenu",        "QMenuBar",
    "QTextEdit",        "QTextControl", "QLineEdit",
    "QPlainTextEdit",   "QComboBox",    "QScrollBar",
    "QProgressBar",
};

// Written out rather than asked of the style: Fusion's standard palette
// follows a dark platform theme.
QPalette lightPalette()
{
    const QColor window(239, 239, 239), black(0, 0, 0), white(255, 255, 255);
    const QColor dark = window.darker(150), mid = window.darker(130);
    QPalette palette(black, window, window.lighter(150), dark, mid, black, white);
    palette.setColor(QPalette::Midlight, mid.lighter(110));
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, black);
    palette.setColor(QPalette::Shadow, dark.darker(135));
    palette.setColor(QPalette::AlternateBase, QColor(247, 247, 247));
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    palette.setColor(QPalette::LinkVisited, QColor(85, 26, 139));
    // Disabled text is greyed, still dark enough to be read.
    const QColor disabledText(118, 118, 118);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Theme::textColor());
    palette.setColor(QPalette::Link, Theme::linkColor());
    palette.setColor(QPalette::Highlight, Theme::accent());
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return palette;
}

void applyPalette(const QPalette &palette)
{
    QApplication::setPalette(palette);
    for (const char *name : themedClasses)
        QApplication::setPalette(palette, name);
    QToolTip::setPalette(palette);
}

// A theme change while the window is open hands the classes the theme's
// palettes again; the light one is put back once the change has gone through.
class ThemeWatch : public QObject
{
public:
    ThemeWatch(QPalette palette, QObject *parent) : QObject(parent), m_palette(std::move(palette))
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ThemeChange && !m_pending) {
            m_pending = true;
            QTimer::singleShot(0, this, [this] {
                applyPalette(m_palette);
                m_pending = false;
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPalette m_palette;
    bool m_pending = false;
};

} // namespace

double Appearance::textScaleFor(double desktopPointSize)
{
    return desktopPointSize > 0 ? std::max(1.0, desktopPointSize / 10.0) : 1.0;
}

void Appearance::applyLight(QApplication &application)
{
    // Read before the window's own font replaces the desktop's.
    const QFont desktop = QApplication::font();
    double points = desktop.pointSizeF();
    if (points <= 0 && desktop.pixelSize() > 0)
        points = desktop.pixelSize() * 72.0 / 96.0;
    Theme::setTextScale(textScaleFor(points));

    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        application.setStyle(new InstallerStyle(fusion));
        const QPalette palette = lightPalette();
        applyPalette(palette);
        application.installEventFilter(new ThemeWatch(palette, &application));
    }
    application.setFont(Theme::defaultFont());
}
