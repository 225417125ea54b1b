#pragma once

#include <QTextDocumentFragment>
#include <QTextEdit>

// Shows formatted text read-only in a scrolling text area. The text is copied
// when the view is made; later descriptions do not reach it (updateView does
// nothing), so a changed text shows only in a view made anew.
class TextWithAttributedString : public QTextEdit
{
    Q_OBJECT

public:
    explicit TextWithAttributedString(const QTextDocumentFragment &attributedString,
                                      QWidget *parent = nullptr);

    // The text this view was made with.
    const QTextDocumentFragment &attributedString() const { return m_attributedString; }

    // Called when the description changes. Deliberately leaves the view as it is.
    void updateView(const QTextDocumentFragment &attributedString);

private:
    QTextDocumentFragment m_attributedString;
};
