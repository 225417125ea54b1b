#pragma once

#include <QObject>

#include <functional>

// While it exists, the user's input to widgets is dropped, not queued: the
// window keeps painting and answering the window system during a long wait,
// but a click made then must not act afterwards. Closing a window is refused
// too. Input to the objects `allowed` accepts (a Cancel button) still goes
// through. Lives on the main thread.
class InputHold : public QObject
{
public:
    explicit InputHold(std::function<bool(QObject *)> allowed);
    ~InputHold() override;

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override;

private:
    std::function<bool(QObject *)> m_allowed;
};
