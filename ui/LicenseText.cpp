#include "ui/LicenseText.h"

#include <QFrame>
#include <QTextEdit>

LicenseText::LicenseText(const QString &, QObject *parent) : QObject(parent) {}

QWidget *LicenseText::createView(QWidget *parent) const
{
    // Stands in for the rich-text reader until the licence document is read.
    auto *view = new QTextEdit(parent);
    view->setReadOnly(true);
    view->setFrameShape(QFrame::NoFrame);
    return view;
}
