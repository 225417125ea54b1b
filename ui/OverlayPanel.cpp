#include "ui/OverlayPanel.h"

#include "ui/Theme.h"

#include <QLayout>
#include <QPainter>

#include <QPushButton>
#include <algorithm>

OverlayPanel::OverlayPanel(const QColor &fill, const QSize &limit, QWidget *parent)
    : QWidget(parent), m_fill(fill),
      m_limit(Theme::scaled(limit.width()), Theme::scaled(limit.height()))
{
    setFocusPolicy(Qt::StrongFocus);
}

QSize OverlayPanel::sizeIn(const QSize &area) const
{
    // Longer words in another language may need more lines than the limit holds:
    // the panel grows rather than cut them off.
    QSize wanted = m_limit.expandedTo(minimumSizeHint());
    if (layout() && layout()->hasHeightForWidth())
        wanted.setHeight(std::max(wanted.height(), layout()->totalHeightForWidth(wanted.width())));
    return wanted.boundedTo(area);
}

QPushButton *OverlayPanel::button(const QString &text) const
{
    const QList<QPushButton *> buttons = findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

void OverlayPanel::setAnnouncement(const QString &name, const QString &description)
{
    setAccessibleName(name);
    setAccessibleDescription(description);
}

QPushButton *OverlayPanel::addButton(const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void OverlayPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawRoundedRect(QRectF(rect()), Theme::panelRadius, Theme::panelRadius);
}

bool OverlayPanel::focusNextPrevChild(bool next)
{
    // The focusable controls of the panel, in tab order; focus never leaves them.
    QList<QWidget *> chain;
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus))
            chain.append(w);
    }
    if (chain.isEmpty())
        return true;
    QWidget *focused = focusWidget();
    qsizetype at = chain.indexOf(focused);
    if (at < 0)
        at = next ? -1 : chain.size();
    const qsizetype target = (at + (next ? 1 : -1) + chain.size()) % chain.size();
    chain[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}
