#include "ui/TextWithAttributedString.h"

#include <QTextCursor>

TextWithAttributedString::TextWithAttributedString(const QTextDocumentFragment &attributedString,
                                                   QWidget *parent)
    : QTextEdit(parent), m_attributedString(attributedString)
{
    setReadOnly(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The fragment carries its own fonts, colours and paragraph formats;
    // inserting it keeps them, whatever the widget's own font is.
    QTextCursor cursor(document());
    cursor.insertFragment(m_attributedString);
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
}

void TextWithAttributedString::updateView(const QTextDocumentFragment &attributedString)
{
    Q_UNUSED(attributedString);
}
