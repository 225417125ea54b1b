#pragma once

#include <QColor>
#include <QWidget>

class QPushButton;

// The rounded panel an overlay centres over the dimmed window. Keyboard focus
// that enters it stays in it: Tab cycles through its own controls only.
class OverlayPanel : public QWidget
{
    Q_OBJECT

public:
    OverlayPanel(const QColor &fill, const QSize &limit, QWidget *parent = nullptr);

    // The panel's size in an area: as large as its limit allows, the limit
    // grown with the text size and, where its text needs it, taller.
    QSize sizeIn(const QSize &area) const;
    // Its own button with this text, or none.
    QPushButton *button(const QString &text) const;
    // What assistive tools announce when the panel opens: a short name and
    // the panel's text.
    void setAnnouncement(const QString &name, const QString &description);

protected:
    // A button that no key triggers by itself: no default, no shortcut.
    QPushButton *addButton(const QString &text);
    void paintEvent(QPaintEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QColor m_fill;
    QSize m_limit;
};
