#include "ui/LicenseText.h"

#include "ui/Document.h"
#include "ui/TextWithAttributedString.h"

LicenseText::LicenseText(const QString &resourcesFolder, QObject *parent)
    : QObject(parent), m_document(new Document(this))
{
    connect(m_document, &Document::objectWillChange, this, &LicenseText::objectWillChange);
    m_document->setResourcesFolder(resourcesFolder);
    m_document->load(QStringLiteral("QuorvanticEULA"));
}

QWidget *LicenseText::createView(QWidget *parent) const
{
    auto *view = new TextWithAttributedString(m_document->data(), parent);
    view->setFrameShape(QFrame::NoFrame);
    view->setAccessibleName(tr("License agreement text"));
    return view;
}

bool LicenseText::isReadable() const
{
    return !m_document->data().isEmpty();
}
