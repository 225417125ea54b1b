#include "app/DefaultMenuBar.h"

#include "ui/PageTexts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

namespace {

void addApplicationMenu(QMainWindow &window, QMenuBar *bar)
{
    QMenu *app =
        bar->addMenu(QCoreApplication::translate("DefaultMenuBar", "&Quorvantic Plugin Installer"));
    app->addAction(
        QCoreApplication::translate("DefaultMenuBar", "&About Quorvantic Plugin Installer"),
        &window, [&window] {
            QMessageBox::about(
                &window,
                QCoreApplication::translate("DefaultMenuBar", "About Quorvantic Plugin Installer"),
                DefaultMenuBar::aboutText());
        });
    app->addSeparator();
    QAction *quit = app->addAction(
        QCoreApplication::translate("DefaultMenuBar", "&Quit Quorvantic Plugin Installer"), &window,
        [&window] { window.close(); });
    quit->setShortcut(QKeySequence::Quit);
}

// Removed when launching has finished, so never seen: their titles stay the
// ones the pruning looks for, in every language.
void addPrunedMenus(QMainWindow &window, QMenuBar *bar)
{
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Close Window"), &window, [&window] { window.close(); });
    QMenu *edit = bar->addMenu(QStringLiteral("Edit"));
    edit->addAction(QStringLiteral("Copy"))->setEnabled(false);
    QMenu *view = bar->addMenu(QStringLiteral("View"));
    view->addAction(QStringLiteral("Enter Full Screen"), &window, [&window] {
        window.setWindowState(window.windowState() ^ Qt::WindowFullScreen);
    });
}

void addWindowMenu(QMainWindow &window, QMenuBar *bar)
{
    QMenu *windows = bar->addMenu(QCoreApplication::translate("DefaultMenuBar", "&Window"));
    windows->addAction(QCoreApplication::translate("DefaultMenuBar", "Mi&nimize"), &window,
                       [&window] { window.showMinimized(); });
    QAction *maximize =
        windows->addAction(QCoreApplication::translate("DefaultMenuBar", "&Maximize"));
    maximize->setCheckable(true);
    QObject::connect(windows, &QMenu::aboutToShow, maximize,
                     [maximize, &window] { maximize->setChecked(window.isMaximized()); });
    QObject::connect(maximize, &QAction::triggered, &window,
                     [&window](bool on) { on ? window.showMaximized() : window.showNormal(); });
}

} // namespace

QString DefaultMenuBar::helpFile()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../share/doc/quorvantic-installer/README.md"));
}

QString DefaultMenuBar::aboutText()
{
    const QString version = QStringLiteral(QUORVANTIC_VERSION);
    return QStringLiteral("<p><b>%1</b></p><p>%2</p><p>%3</p><p><a href=\"%4\">%5</a></p>")
        .arg(PageTexts::applicationName().toHtmlEscaped(),
             QCoreApplication::translate("DefaultMenuBar", "Version %1")
                 .arg(version)
                 .toHtmlEscaped(),
             QCoreApplication::translate(
                 "DefaultMenuBar",
                 "The installer and the plug-ins it installs are licensed under the "
                 "Quorvantic Software License Agreement shown on the License page.")
                 .toHtmlEscaped(),
             QUrl::fromLocalFile(helpFile()).toString(QUrl::FullyEncoded),
             QCoreApplication::translate("DefaultMenuBar", "Help: the README beside the installer")
                 .toHtmlEscaped());
}

void DefaultMenuBar::install(QMainWindow &window)
{
    QMenuBar *bar = window.menuBar();
    addApplicationMenu(window, bar);
    addPrunedMenus(window, bar);
    addWindowMenu(window, bar);

    QMenu *help = bar->addMenu(QCoreApplication::translate("DefaultMenuBar", "&Help"));
    help->addAction(
        QCoreApplication::translate("DefaultMenuBar", "Quorvantic Plugin Installer &Help"), &window,
        [] { QDesktopServices::openUrl(QUrl::fromLocalFile(DefaultMenuBar::helpFile())); });

    // F10 opens the first menu, as elsewhere on the desktop.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().constFirst());
    });
}
