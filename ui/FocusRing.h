#pragma once

#include <QPointer>
#include <QWidget>

// A ring in the accent colour around whatever has keyboard focus inside one
// window, drawn over the focused control by a sibling that lets every click
// through. The style's own focus marks are too faint to find on every control.
class FocusRing : public QWidget
{
    Q_OBJECT

public:
    // Follows focus within `window` from now on.
    explicit FocusRing(QWidget *window);

    // The control the ring is drawn around, or none.
    QWidget *target() const { return m_target; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow(QWidget *focused);
    void place();

    QWidget *m_window;
    QPointer<QWidget> m_target;
};
