#include "app/DefaultMenuBar.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

void DefaultMenuBar::install(QMainWindow &window)
{
    QMenuBar *bar = window.menuBar();
    const QString name = QApplication::applicationDisplayName();

    QMenu *app = bar->addMenu(name);
    app->addAction(QStringLiteral("About %1").arg(name), &window, [&window, name] {
        QMessageBox::about(
            &window, QStringLiteral("About %1").arg(name),
            QStringLiteral("%1\nVersion %2").arg(name, QApplication::applicationVersion()));
    });
    app->addSeparator();
    QAction *quit =
        app->addAction(QStringLiteral("Quit %1").arg(name), &window, [&window] { window.close(); });
    quit->setShortcut(QKeySequence::Quit);

    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Close Window"), &window, [&window] { window.close(); });

    QMenu *edit = bar->addMenu(QStringLiteral("Edit"));
    edit->addAction(QStringLiteral("Copy"))->setEnabled(false);

    QMenu *view = bar->addMenu(QStringLiteral("View"));
    view->addAction(QStringLiteral("Enter Full Screen"), &window, [&window] {
        window.setWindowState(window.windowState() ^ Qt::WindowFullScreen);
    });

    QMenu *windows = bar->addMenu(QStringLiteral("Window"));
    windows->addAction(QStringLiteral("Minimize"), &window, [&window] { window.showMinimized(); });
    windows->addAction(QStringLiteral("Zoom"), &window, [&window] {
        window.setWindowState(window.windowState() ^ Qt::WindowMaximized);
    });

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->addAction(QStringLiteral("%1 Help").arg(name), &window, [&window, name] {
        QMessageBox::information(&window, QStringLiteral("Help"),
                                 QStringLiteral("Help isn't available for %1.").arg(name));
    });
}
