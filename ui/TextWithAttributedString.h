#pragma once

#include "ui/LinkOpener.h"

#include <QTextDocumentFragment>
#include <QTextEdit>

// Shows formatted text read-only in a scrolling text area. The text is copied
// when the view is made; later descriptions do not reach it (updateView does
// nothing), so a changed text shows only in a view made anew. Tables wider
// than the area are scaled to it. A click on a web or mail link opens it with
// the desktop's handler; every link shows its target as a tooltip.
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

    // What opens a clicked link; the desktop's handler unless replaced.
    void setLinkOpener(LinkOpener::Opener opener) { m_opener = std::move(opener); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void fitTables();
    void notePress(const QMouseEvent *event);

    QTextDocumentFragment m_attributedString;
    LinkOpener::Opener m_opener = LinkOpener::openWithDesktop;
    QString m_pressedLink; // the link under the pointer when the button went down
    QPoint m_pressedAt;
};
