#include "ui/LicenseText.h"

#include "ui/Document.h"
#include "ui/TextWithAttributedString.h"

#include <utility>

namespace {

QString fileName()
{
    return QStringLiteral("QuorvanticEULA");
}

} // namespace

LicenseText::LicenseText(const QString &resourcesFolder, QObject *parent)
    : QObject(parent), m_document(new Document(this))
{
    connect(m_document, &Document::objectWillChange, this, &LicenseText::objectWillChange);
    m_document->setResourcesFolder(resourcesFolder);
    m_unparsed = m_document->read(fileName());
}

void LicenseText::prepare()
{
    if (const std::optional<QByteArray> bytes = std::exchange(m_unparsed, std::nullopt))
        m_document->parse(fileName(), *bytes);
}

QWidget *LicenseText::createView(QWidget *parent)
{
    prepare();
    auto *view = new TextWithAttributedString(m_document->data(), parent);
    view->setFrameShape(QFrame::NoFrame);
    view->setAccessibleName(tr("License agreement text"));
    return view;
}

bool LicenseText::isReadable()
{
    prepare();
    return !m_document->data().isEmpty();
}
