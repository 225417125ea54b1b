#include "engine/InputHold.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

InputHold::InputHold(std::function<bool(QObject *)> allowed) : m_allowed(std::move(allowed))
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

InputHold::~InputHold()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject *receiver, QEvent *event)
{
    // Window-level events pass: the window hands them on to its widgets,
    // where they are dropped, so an allowed button can still be clicked.
    if (!receiver->isWidgetType() || !isUserInput(event->type()))
        return false;
    if (m_allowed && m_allowed(receiver))
        return false;
    // A close that is only filtered would still go ahead.
    event->ignore();
    return true;
}
