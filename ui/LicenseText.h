#pragma once

#include <QObject>
#include <QString>

class Document;
class QWidget;

// The licence text the License page shows, read once when the window is made,
// and the read-only view that shows it.
class LicenseText : public QObject
{
    Q_OBJECT

public:
    // Reads the licence from the given resources folder.
    explicit LicenseText(const QString &resourcesFolder, QObject *parent = nullptr);

    // A new read-only view of the text as it is now.
    QWidget *createView(QWidget *parent) const;

    // False when the licence could not be read: nobody can have agreed to it.
    bool isReadable() const;

signals:
    void objectWillChange();

private:
    Document *m_document;
};
