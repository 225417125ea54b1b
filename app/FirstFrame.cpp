#include "app/FirstFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <utility>

FirstFrame::FirstFrame(QWidget &window, std::function<void()> work)
    : QObject(&window), m_work(std::move(work))
{
    window.installEventFilter(this);
}

void FirstFrame::after(QWidget &window, std::function<void()> work, int latestMs)
{
    auto *frame = new FirstFrame(window, std::move(work));
    QTimer::singleShot(latestMs, frame, &FirstFrame::run);
}

bool FirstFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // Queued: the paint goes on to the children and to the screen first.
        QTimer::singleShot(0, this, &FirstFrame::run);
    }
    return QObject::eventFilter(watched, event);
}

void FirstFrame::run()
{
    if (!m_work)
        return;
    const std::function<void()> work = std::exchange(m_work, nullptr);
    deleteLater();
    work();
}
