#pragma once

#include "../common/DemoResources.h"
#include "../common/RecordingExecutor.h"
#include "engine/Installer.h"
#include "ui/AlertView.h"
#include "ui/ContentView.h"
#include "ui/OverlayPanel.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>

#include <memory>

// A shown wizard window on its own state, with products in a temporary
// resources folder and scripts answered by a recording executor.
struct WizardHarness
{
    explicit WizardHarness(const QStringList &products = {QStringLiteral("gamma"),
                                                          QStringLiteral("Beta"),
                                                          QStringLiteral("alpha")},
                           bool withLicense = true)
        : resources(products)
    {
        // The licence the window shows, which an install needs to have been read.
        if (withLicense)
            QFile::copy(
                QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources/QuorvanticEULA.rtf"),
                resources.path() + QStringLiteral("/QuorvanticEULA.rtf"));
        installer.setResourcesFolder(resources.path());
        settings.setProducts(installer.productsToInstall());
        installer.setScriptExecutor(scripts.executor());
        installer.setLogFolder(resources.path() + QStringLiteral("/logs"));
        view = std::make_unique<ContentView>(installer);
        view->alertView()->setSettingsOpener([this] { ++settingsOpened; });
        view->resize(648, 405);
        view->show();
        view->activateWindow();
        (void)QTest::qWaitForWindowExposed(view.get());
        settle();
    }

    // Lets the event loop run the queued script handlers and the redraw.
    void settle()
    {
        // A job posts its handler only after it has released the waiting caller,
        // so the pool must be idle before the queue holds the handler.
        for (int i = 0; i < 3; ++i) {
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
        }
    }

    AlertView *alerts() const { return view->alertView(); }
    QPushButton *overlayButton(const QString &text) const
    {
        OverlayPanel *panel = alerts()->panel();
        return panel && alerts()->isVisible() ? panel->button(text) : nullptr;
    }
    bool click(QPushButton *button)
    {
        if (!button || !button->isVisible() || !button->isEnabled())
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
        return true;
    }
    bool clickOverlay(const QString &text) { return click(overlayButton(text)); }
    bool clickForward() { return click(view->forwardButton()); }
    bool clickBack() { return click(view->backButton()); }

    DemoResources resources;
    RecordingExecutor scripts;
    AppSettings settings;
    Installer installer{settings};
    std::unique_ptr<ContentView> view;
    int settingsOpened = 0;
};
