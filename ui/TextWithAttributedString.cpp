#include "ui/TextWithAttributedString.h"

#include "ui/TableFit.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <QToolTip>

TextWithAttributedString::TextWithAttributedString(const QTextDocumentFragment &attributedString,
                                                   QWidget *parent)
    : QTextEdit(parent), m_attributedString(attributedString)
{
    setReadOnly(true);
    // Links show the pointing hand; the text stays selectable, from the
    // keyboard too, so it can be read line by line and scrolled with the keys.
    setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The fragment carries its own fonts, colours and paragraph formats;
    // inserting it keeps them, whatever the widget's own font is.
    QTextCursor cursor(document());
    cursor.insertFragment(m_attributedString);
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
    fitTables();
}

void TextWithAttributedString::updateView(const QTextDocumentFragment &attributedString)
{
    Q_UNUSED(attributedString);
}

void TextWithAttributedString::fitTables()
{
    TableFit::fit(document(), viewport()->width() - 2 * document()->documentMargin());
}

void TextWithAttributedString::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    fitTables();
}

void TextWithAttributedString::notePress(const QMouseEvent *event)
{
    m_pressedAt = event->position().toPoint();
    m_pressedLink = event->button() == Qt::LeftButton ? anchorAt(m_pressedAt) : QString();
}

void TextWithAttributedString::mousePressEvent(QMouseEvent *event)
{
    notePress(event);
    QTextEdit::mousePressEvent(event);
}

// A press soon after another arrives as a double click; it may still start a click on a link.
void TextWithAttributedString::mouseDoubleClickEvent(QMouseEvent *event)
{
    notePress(event);
    QTextEdit::mouseDoubleClickEvent(event);
}

void TextWithAttributedString::mouseReleaseEvent(QMouseEvent *event)
{
    QTextEdit::mouseReleaseEvent(event);
    const QString link = std::exchange(m_pressedLink, QString());
    // A press and release on the same link is a click; a drag selects text.
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || link.isEmpty() || anchorAt(at) != link ||
        (at - m_pressedAt).manhattanLength() >= QApplication::startDragDistance())
        return;
    const QUrl url(link);
    if (LinkOpener::opens(url) && m_opener)
        m_opener(url);
}

bool TextWithAttributedString::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString link = anchorAt(help->pos());
        if (link.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), link, viewport());
        return true;
    }
    return QTextEdit::viewportEvent(event);
}
