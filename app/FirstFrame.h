#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Runs some work once a window has shown its first frame, so that what the
// first frame does not need does not hold it back. The work runs once, on the
// event loop, after the paint of that frame; a window that paints nothing for
// a while (shown minimised, or on another workspace) gets it at the latest
// `latestMs` after the call. Nothing runs once the window has gone.
class FirstFrame : public QObject
{
    Q_OBJECT

public:
    static void after(QWidget &window, std::function<void()> work, int latestMs = 500);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FirstFrame(QWidget &window, std::function<void()> work);
    void run();

    std::function<void()> m_work;
};
