#include "ui/FocusRing.h"

#include "ui/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

FocusRing::FocusRing(QWidget *window) : QWidget(window), m_window(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    // The name Qt gives its own rubber bands, which it keeps out of the
    // accessibility tree: the ring is decoration, not a control.
    setObjectName(QStringLiteral("qt_rubberband"));
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { follow(now); });
}

void FocusRing::follow(QWidget *focused)
{
    if (m_target)
        m_target->removeEventFilter(this);
    const bool ours = focused && focused != m_window && m_window->isAncestorOf(focused);
    m_target = ours ? focused : nullptr;
    if (!m_target || !m_target->parentWidget()) {
        // Back home, so the ring never goes down with a panel or page being dropped.
        hide();
        if (parentWidget() != m_window)
            setParent(m_window);
        return;
    }
    m_target->installEventFilter(this);
    setParent(m_target->parentWidget());
    place();
}

void FocusRing::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    // Just outside the control where its parent leaves room, inside where not.
    const int w = Theme::focusRingWidth;
    const QRect around = m_target->geometry().adjusted(-w, -w, w, w);
    setGeometry(around.intersected(parentWidget()->rect()));
    show();
    raise();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double half = Theme::focusRingWidth / 2.0;
    painter.setPen(QPen(Theme::accent(), Theme::focusRingWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 3, 3);
}
