#include "engine/UserSideRecord.h"

#include "engine/PathState.h"
#include "engine/ProductNames.h"
#include "helper/SafePath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

// Every folder from `path` up that does not exist yet.
QStringList missingFolders(const QString &path)
{
    QStringList missing;
    for (QString folder = PathState::folderNamed(path);
         folder.size() > 1 && !QFileInfo(folder).isSymLink() && !QFileInfo::exists(folder);
         folder = QFileInfo(folder).path())
        missing.prepend(folder);
    return missing;
}

// Where `cp -R SOURCE/. DEST/` puts each folder inside SOURCE.
QStringList copiedFolders(const QString &source, const QString &destination)
{
    QStringList folders;
    QDirIterator walk(source, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        folders << destination + QLatin1Char('/') + QDir(source).relativeFilePath(walk.next());
    return folders;
}

// Whether a path below a folder lies in something a run keeps aside to undo.
bool inTemporary(const QString &relative)
{
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(parts.begin(), parts.end(), [](const QString &part) {
        return helper::isTemporaryName(QFile::encodeName(part).toStdString());
    });
}

} // namespace

UserSideRecord::UserSideRecord(QList<QPair<QString, QString>> elementProducts)
    : m_elementProducts(std::move(elementProducts))
{}

void UserSideRecord::started(const QString &command)
{
    if (const QString product = ProductNames::productNamedIn(m_elementProducts, command);
        !product.isEmpty())
        m_product = product;
    m_command = helper::parseInstallCommand(command.toStdString());
    m_missing.clear();
    if (!m_command.ok)
        return;
    const helper::Operation &op = m_command.operation;
    if (op.kind == helper::OperationKind::makeFolder) {
        m_missing = missingFolders(fromStd(op.first));
    } else if (op.kind == helper::OperationKind::copyElement) {
        for (const QString &folder : copiedFolders(PathState::folderNamed(fromStd(op.first)),
                                                   PathState::folderNamed(fromStd(op.second)))) {
            if (!QFileInfo::exists(folder))
                m_missing << folder;
        }
    }
}

void UserSideRecord::note(const std::string &product, const QString &path, bool recurse)
{
    helper::ReceiptEntry entry;
    if (PathState::at(path, true, entry) != PathState::Read::found)
        return;
    m_made[product].push_back(entry);
    m_gone.erase(entry.path);
    if (!recurse || entry.kind != helper::ReceiptEntry::Kind::folder)
        return;
    QDirIterator walk(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString inside = walk.next();
        // What the run keeps aside to undo is nobody's file, nor what is in it.
        if (inTemporary(inside.mid(path.size())))
            continue;
        // Folders that were there before the copy are not its to list.
        if (walk.fileInfo().isDir() && !walk.fileInfo().isSymLink() && !m_missing.contains(inside))
            continue;
        if (PathState::at(inside, true, entry) == PathState::Read::found)
            m_made[product].push_back(entry);
    }
}

void UserSideRecord::finished(const CommandReport &report)
{
    if (report.privileged || report.status != 0 || report.failure || !m_command.ok)
        return;
    const std::string product = m_product.toStdString();
    const helper::Operation &op = m_command.operation;
    const QString first = fromStd(op.first);
    const QString second = fromStd(op.second);
    const bool removal = op.kind == helper::OperationKind::removeRecorded ||
                         op.kind == helper::OperationKind::removeFolder ||
                         op.kind == helper::OperationKind::remove;
    if (product.empty() && !removal)
        return;
    switch (op.kind) {
    case helper::OperationKind::makeFolder:
        for (const QString &folder : std::as_const(m_missing))
            note(product, folder, false);
        break;
    case helper::OperationKind::copyElement:
        note(product, PathState::folderNamed(second), true);
        // The destination folder itself belongs to whoever made it.
        for (auto it = m_made[product].begin(); it != m_made[product].end(); ++it) {
            if (fromStd(it->path) == PathState::folderNamed(second)) {
                m_made[product].erase(it);
                break;
            }
        }
        break;
    case helper::OperationKind::link:
        note(product,
             second.endsWith(QLatin1Char('/')) ? second + QFileInfo(first).fileName() : second,
             false);
        break;
    case helper::OperationKind::writeText:
        note(product, second, false);
        break;
    case helper::OperationKind::removeRecorded:
    case helper::OperationKind::removeFolder:
    case helper::OperationKind::remove:
        if (!QFileInfo(PathState::folderNamed(first)).isSymLink() &&
            !QFileInfo::exists(PathState::folderNamed(first)))
            m_gone.insert(QFile::encodeName(PathState::folderNamed(first)).toStdString());
        break;
    case helper::OperationKind::nothing:
        break;
    }
}
