#pragma once

// The desktops the window is looked at on: a light one, a dark GTK-style
// theme (which hands text views, lists, menus and labels dark palettes of
// their own), a dark palette from Qt's settings, German, Japanese, twice the
// pixels and 18-point text. Shared by the screenshot tool and the contrast test.
#include "app/Translations.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QPalette>

#include <vector>

struct DesktopVariant
{
    const char *name;
    const char *language = "en";
    bool darkTheme = false;   // the theme's palettes for the widget classes too
    bool darkPalette = false; // the application palette only
    double fontPoints = 10;   // the desktop's default font
    double scale = 1;         // device pixels per pixel
};

inline std::vector<DesktopVariant> desktopVariants()
{
    return {
        {"light"},
        {"dark-gtk-theme", "en", true},
        {"dark-qt-palette", "en", false, true},
        {"german", "de"},
        {"japanese", "ja"},
        {"scale-2x", "en", false, false, 10, 2},
        {"text-18pt", "en", false, false, 18},
    };
}

// What must be set before the QApplication exists.
inline void prepareProcess(const DesktopVariant &variant)
{
    if (variant.scale != 1)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(variant.scale));
}

inline QPalette darkDesktopPalette()
{
    QPalette dark;
    const QColor view(0x24, 0x24, 0x24), window(0x30, 0x30, 0x30), text(0xee, 0xee, 0xee);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, text);
        dark.setColor(group, QPalette::Base, view);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, text);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, text);
        dark.setColor(group, QPalette::ToolTipBase, view);
        dark.setColor(group, QPalette::ToolTipText, text);
        dark.setColor(group, QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
        dark.setColor(group, QPalette::Light, QColor(0x50, 0x50, 0x50));
        dark.setColor(group, QPalette::Mid, QColor(0x20, 0x20, 0x20));
        dark.setColor(group, QPalette::Dark, QColor(0x10, 0x10, 0x10));
    }
    return dark;
}

// The desktop as the variant has it, before the installer sets its own look.
inline void dressDesktop(const DesktopVariant &variant)
{
    QFont font = QApplication::font();
    font.setPointSizeF(variant.fontPoints);
    QApplication::setFont(font);
    if (variant.darkTheme || variant.darkPalette)
        QApplication::setPalette(darkDesktopPalette());
    if (variant.darkTheme) {
        for (const char *name : {"QAbstractButton", "QAbstractItemView", "QLabel", "QMenu",
                                 "QMenuBar", "QTextEdit", "QTextControl", "QLineEdit",
                                 "QHeaderView", "QMessageBoxLabel", "QTabBar", "QGroupBox"})
            QApplication::setPalette(darkDesktopPalette(), name);
    }
    if (QLatin1String(variant.language) != QLatin1String("en"))
        Translations::install(QLocale(QString::fromLatin1(variant.language)));
}
