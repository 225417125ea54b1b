#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class Document;
class QWidget;

// The licence text the License page shows, and the read-only view that shows
// it. The file is read when the window is made; the text is made from it when
// first asked for, as the first page does not show it and the window's first
// frame need not wait for the RTF to be parsed.
class LicenseText : public QObject
{
    Q_OBJECT

public:
    // Reads the licence file from the given resources folder.
    explicit LicenseText(const QString &resourcesFolder, QObject *parent = nullptr);

    // Makes the text from the file read, if that has not been done.
    void prepare();

    // A new read-only view of the text.
    QWidget *createView(QWidget *parent);

    // False when the licence could not be read: nobody can have agreed to it.
    bool isReadable();

signals:
    void objectWillChange();

private:
    Document *m_document;
    // The file's bytes until the text is made from them.
    std::optional<QByteArray> m_unparsed;
};
