#include "ui/AlertView.h"

#include "engine/Installer.h"
#include "ui/AgreementAlert.h"
#include "ui/DesktopSettings.h"
#include "ui/FinderAccessAlert.h"
#include "ui/InstallConfirmation.h"
#include "ui/LogWindow.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>

AlertView::AlertView(Installer &installer, QWidget *parent)
    : QWidget(parent), m_installer(installer), m_settings(installer.settings()),
      m_openSettings(&DesktopSettings::open)
{
    hide();
}

void AlertView::refresh()
{
    const Overlay wanted = OverlayRule::forState(m_settings);
    if (wanted != m_overlay) {
        if (m_panel) {
            // This may run inside a click on the old panel's own button.
            m_panel->hide();
            m_panel->deleteLater();
            m_panel = nullptr;
        }
        m_overlay = wanted;
        m_panel = makePanel(wanted);
        if (!m_panel) {
            hide();
            return;
        }
        placePanel();
        show();
        raise();
        m_panel->show();
        // Focus on the panel itself: a screen reader reads its name and text,
        // and no key acts before the user picks a button.
        m_panel->setFocus(Qt::OtherFocusReason);
        QAccessibleEvent opened(m_panel, QAccessible::DialogStart);
        QAccessible::updateAccessibility(&opened);
        update();
        return;
    }
    if (auto *log = qobject_cast<LogWindow *>(m_panel))
        log->refresh();
}

OverlayPanel *AlertView::makePanel(Overlay overlay)
{
    switch (overlay) {
    case Overlay::agreementAlert:
        return new AgreementAlert(m_settings, this);
    case Overlay::installConfirmation:
        return new InstallConfirmation(m_installer, this);
    case Overlay::finderAccessAlert:
        return new FinderAccessAlert(m_installer, m_openSettings, this);
    case Overlay::logWindow:
        return new LogWindow(m_settings, m_installer.lastLogPath(), this);
    case Overlay::none:
        break;
    }
    return nullptr;
}

void AlertView::placePanel()
{
    if (!m_panel)
        return;
    const QSize size = m_panel->sizeIn(this->size());
    m_panel->setGeometry(
        QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

void AlertView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setOpacity(Theme::backdropOpacity);
    painter.fillRect(rect(), Theme::gray());
}

void AlertView::resizeEvent(QResizeEvent *)
{
    placePanel();
}

// The backdrop takes every click, wheel turn and key meant for the page below
// and does nothing with it.
void AlertView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void AlertView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void AlertView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void AlertView::wheelEvent(QWheelEvent *event)
{
    event->accept();
}

void AlertView::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

void AlertView::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
}
