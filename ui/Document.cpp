#include "ui/Document.h"

#include "core/Diagnostics.h"
#include "engine/Resources.h"
#include "rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace {

void printCouldNotRead(const QString &name, const QString &reason)
{
    printDiagnostic(
        QStringLiteral("The file \u201C%1\u201D could not be read: %2").arg(name, reason));
}

} // namespace

Document::Document(QObject *parent) : QObject(parent) {}

void Document::setData(const QTextDocumentFragment &data)
{
    emit objectWillChange();
    m_data = data;
}

QString Document::resourcesFolder() const
{
    return m_resourcesFolder.isEmpty() ? bundleResourcesFolder() : m_resourcesFolder;
}

void Document::load(const QString &file)
{
    if (const std::optional<QByteArray> bytes = read(file))
        parse(file, *bytes);
}

std::optional<QByteArray> Document::read(const QString &file) const
{
    const QString folder = resourcesFolder();
    const QString name = file + QLatin1String(".rtf");
    const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(name);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        printDiagnostic(QStringLiteral("File not found"));
        return std::nullopt;
    }
    QFile input(path);
    if (QFileInfo(path).isDir() || !input.open(QIODevice::ReadOnly)) {
        printCouldNotRead(name, QFileInfo(path).isDir() ? QStringLiteral("it is a folder.")
                                                        : input.errorString() + QLatin1Char('.'));
        return std::nullopt;
    }
    QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError) {
        printCouldNotRead(name, input.errorString() + QLatin1Char('.'));
        return std::nullopt;
    }
    return bytes;
}

void Document::parse(const QString &file, const QByteArray &bytes)
{
    QTextDocument text;
    const RtfReadResult result = RtfReader::read(bytes, &text);
    if (!result.ok) {
        printCouldNotRead(file + QLatin1String(".rtf"), result.message);
        return;
    }
    setData(QTextDocumentFragment(&text));
}
