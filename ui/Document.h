#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTextDocumentFragment>

#include <optional>

// The licence text, read from the bundle's RTF resource. Starts empty; every
// write of data announces itself through objectWillChange() before the value
// is stored, as the installer state does.
class Document : public QObject
{
    Q_OBJECT

public:
    explicit Document(QObject *parent = nullptr);

    // Published field: the text with its fonts, colours and paragraph styles.
    const QTextDocumentFragment &data() const { return m_data; }
    void setData(const QTextDocumentFragment &data);

    // Reads "<file>.rtf" from the resources folder into data. A missing file
    // prints "File not found", an unreadable one the reason; data then keeps
    // its value.
    void load(const QString &file);

    // The two halves of load, for a caller that reads the file at once and
    // makes the text from it later: the file's bytes, or nothing once the
    // reason has been printed; then the text made from them into data, or
    // the reason printed and data kept.
    std::optional<QByteArray> read(const QString &file) const;
    void parse(const QString &file, const QByteArray &bytes);

    // Defaults to the bundle's resources folder; tests point it elsewhere.
    QString resourcesFolder() const;
    void setResourcesFolder(const QString &folder) { m_resourcesFolder = folder; }

signals:
    void objectWillChange();

private:
    QTextDocumentFragment m_data;
    QString m_resourcesFolder;
};
