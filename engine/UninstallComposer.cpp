#include "engine/UninstallComposer.h"

#include <QFileInfo>

#include "engine/InstallScriptComposer.h"
#include "engine/PathState.h"
#include "engine/ReceiptCheck.h"
#include "helper/InstallCommand.h"
#include "script/Parser.h"

#include <QSet>

#include <algorithm>

using helper::ReceiptEntry;

namespace {

class Removal
{
public:
    Removal(bool force, bool opened, const QList<InstalledProduct> &others) : m_force(force)
    {
        if (opened)
            m_script = QStringLiteral("try\n");
        for (const InstalledProduct &product : others) {
            for (const std::optional<helper::Receipt> &part : {product.system, product.user}) {
                if (!part)
                    continue;
                for (const ReceiptEntry &entry : part->entries)
                    m_listedByOthers << QString::fromStdString(entry.path);
            }
        }
    }

    // The receipt's links and files now; its folders wait for folders().
    void receipt(const helper::Receipt &receipt, bool administrator)
    {
        for (const ReceiptEntry &entry : receipt.entries) {
            if (entry.kind == ReceiptEntry::Kind::folder)
                m_recordedFolders << QString::fromStdString(entry.path);
        }
        for (const ReceiptEntry &entry : receipt.entries) {
            if (m_listedByOthers.contains(QString::fromStdString(entry.path)))
                continue; // the last product that lists it removes it
            if (entry.kind == ReceiptEntry::Kind::folder)
                m_pendingFolders.push_back(entry);
            else
                pathEntry(entry, administrator);
        }
    }

    // The folders of the receipts given so far, deepest first, so each is
    // empty by its turn if nothing but the install was in it. Folders shared
    // by several products come once, after all of their contents.
    void folders(bool administrator)
    {
        std::stable_sort(m_pendingFolders.begin(), m_pendingFolders.end(),
                         [](const ReceiptEntry &a, const ReceiptEntry &b) {
                             return std::count(a.path.begin(), a.path.end(), '/') >
                                    std::count(b.path.begin(), b.path.end(), '/');
                         });
        QStringList done;
        for (const ReceiptEntry &folder : m_pendingFolders) {
            const QString path = QString::fromStdString(folder.path);
            ReceiptEntry now;
            if (PathState::at(path, false, now) == PathState::Read::found &&
                now.kind == ReceiptEntry::Kind::folder && !done.contains(path) &&
                throughLink(path).isEmpty()) {
                done << path;
                add(QStringLiteral("rmdir --ignore-fail-on-non-empty ") +
                        InstallScriptComposer::shellQuoted(path),
                    administrator);
            }
        }
        m_pendingFolders.clear();
    }

    void removeFile(const QString &path)
    {
        add(QStringLiteral("rm -f ") + InstallScriptComposer::shellQuoted(path), true);
    }

    QString lines() const { return m_script; }

    UninstallComposer::Composed finish()
    {
        InstallScriptComposer::appendEnding(m_script);
        return {m_script, m_kept, m_steps};
    }

private:
    void pathEntry(const ReceiptEntry &entry, bool administrator)
    {
        const QString path = QString::fromStdString(entry.path);
        ReceiptEntry now;
        const PathState::Read read =
            PathState::at(path, entry.kind == ReceiptEntry::Kind::file, now);
        if (read == PathState::Read::missing)
            return;
        QString why;
        if (const QString link = throughLink(path); !link.isEmpty())
            why = QStringLiteral("%1 is no longer the folder that was installed").arg(link);
        else if (read == PathState::Read::unreadable)
            why = QStringLiteral("it cannot be read");
        else if (now.kind != entry.kind || now.mode > 07777)
            why = ReceiptCheck::difference(entry, now);
        else if (entry.kind == ReceiptEntry::Kind::link && now.target != entry.target)
            why =
                QStringLiteral("it points to %1 now, not %2")
                    .arg(QString::fromStdString(now.target), QString::fromStdString(entry.target));
        else if (entry.kind == ReceiptEntry::Kind::file && now.target != entry.target && !m_force)
            why = QStringLiteral("changed since it was installed (--force removes it)");
        if (!why.isEmpty()) {
            m_kept << QStringLiteral("kept %1: %2").arg(path, why);
            return;
        }
        add(QStringLiteral("rm -f ") + InstallScriptComposer::shellQuoted(path), administrator);
    }

    // The recorded folder above `path` that something else stands at now (a
    // link planted there, say): removing through it would reach elsewhere.
    QString throughLink(const QString &path) const
    {
        for (QString folder = path.left(path.lastIndexOf(QLatin1Char('/'))); folder.size() > 1;
             folder = folder.left(folder.lastIndexOf(QLatin1Char('/')))) {
            ReceiptEntry now;
            if (m_recordedFolders.contains(folder) &&
                PathState::at(folder, false, now) == PathState::Read::found &&
                now.kind != ReceiptEntry::Kind::folder)
                return folder;
        }
        return QString();
    }

    void add(const QString &command, bool administrator)
    {
        InstallScriptComposer::appendLine(m_script, command, administrator);
        ++m_steps;
    }

    bool m_force;
    QString m_script;
    QStringList m_kept;
    std::vector<ReceiptEntry> m_pendingFolders;
    QSet<QString> m_recordedFolders;
    QSet<QString> m_listedByOthers;
    int m_steps = 0;
};

void collectCommands(const std::vector<Statement> &statements, QStringList &commands)
{
    for (const Statement &statement : statements) {
        collectCommands(statement.body, commands);
        const Expression *expression = statement.expression.get();
        if (expression && expression->kind == Expression::Kind::shellScript &&
            expression->operand && expression->operand->kind == Expression::Kind::string)
            commands << expression->operand->text;
    }
}

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// What an install script makes: single paths, and whole trees it copies.
struct Planned
{
    QSet<QString> paths;
    QStringList trees;
    // A copy of a folder's contents: destination folder -> source folder.
    QList<QPair<QString, QString>> contents;
    QHash<QString, QString> bundleElements;

    bool covers(const QString &path) const
    {
        if (paths.contains(path))
            return true;
        for (const auto &[destination, source] : contents) {
            if (path.startsWith(destination + QLatin1Char('/')))
                return madeAgain(source + path.mid(destination.size()));
        }
        for (const QString &tree : trees) {
            if (path == tree || path.startsWith(tree + QLatin1Char('/')))
                return true;
        }
        return false;
    }

    // Whether the copy's source will hold `installed`: looked up in the bundle
    // element it comes from; when that is not known, assumed so.
    bool madeAgain(const QString &installed) const
    {
        for (auto it = bundleElements.cbegin(); it != bundleElements.cend(); ++it) {
            if (installed.startsWith(it.key() + QLatin1Char('/'))) {
                const QFileInfo there(it.value() + installed.mid(it.key().size()));
                return there.exists() || there.isSymLink();
            }
        }
        return true;
    }
};

Planned plannedBy(const QString &script)
{
    Planned planned;
    const CompileResult compiled = compileScript(script);
    QStringList commands;
    if (compiled.program)
        collectCommands(compiled.program->statements, commands);
    for (const QString &command : std::as_const(commands)) {
        const helper::ParsedCommand parsed = helper::parseInstallCommand(command.toStdString());
        const QString first = QString::fromStdString(parsed.operation.first);
        const QString second = QString::fromStdString(parsed.operation.second);
        switch (parsed.ok ? parsed.operation.kind : helper::OperationKind::remove) {
        case helper::OperationKind::makeFolder:
            for (QString folder = PathState::folderNamed(first); folder.size() > 1;
                 folder = folder.left(folder.lastIndexOf(QLatin1Char('/'))))
                planned.paths << folder;
            break;
        case helper::OperationKind::copyElement:
            if (first.endsWith(QLatin1String("/.")))
                planned.contents.append(
                    {PathState::folderNamed(second), first.left(first.size() - 2)});
            else
                planned.trees << PathState::folderNamed(second) + '/' + lastComponent(first);
            break;
        case helper::OperationKind::link:
            planned.paths << (second.endsWith(QLatin1Char('/')) ? second + lastComponent(first)
                                                                : second);
            break;
        case helper::OperationKind::writeText:
            planned.paths << second;
            break;
        default:
            break;
        }
    }
    return planned;
}

helper::Receipt staleOf(const helper::Receipt &receipt, const Planned &planned)
{
    helper::Receipt stale = receipt;
    stale.entries.clear();
    for (const ReceiptEntry &entry : receipt.entries) {
        if (!planned.covers(QString::fromStdString(entry.path)))
            stale.entries.push_back(entry);
    }
    return stale;
}

} // namespace

QString UninstallComposer::staleLines(const QList<InstalledProduct> &installed,
                                      const QString &installScript,
                                      const QList<InstalledProduct> &others,
                                      const QHash<QString, QString> &bundleElements)
{
    if (installed.isEmpty())
        return QString();
    Planned planned = plannedBy(installScript);
    planned.bundleElements = bundleElements;
    Removal removal(false, false, others);
    for (const InstalledProduct &product : installed) {
        if (product.system)
            removal.receipt(staleOf(*product.system, planned), true);
    }
    removal.folders(true);
    for (const InstalledProduct &product : installed) {
        if (product.user)
            removal.receipt(staleOf(*product.user, planned), false);
    }
    removal.folders(false);
    return removal.lines();
}

UninstallComposer::Composed UninstallComposer::compose(const QList<InstalledProduct> &products,
                                                       const QString &systemReceipts, bool force,
                                                       const QList<InstalledProduct> &others)
{
    Removal removal(force, true, others);
    QString folder = systemReceipts;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    for (const InstalledProduct &product : products) {
        if (product.system)
            removal.receipt(*product.system, true);
    }
    removal.folders(true);
    for (const InstalledProduct &product : products) {
        if (product.system)
            removal.removeFile(
                folder + QString::fromStdString(helper::receiptFileName(product.system->product)));
    }
    for (const InstalledProduct &product : products) {
        if (product.user)
            removal.receipt(*product.user, false);
    }
    removal.folders(false);
    return removal.finish();
}

QList<InstalledProduct> UninstallComposer::othersThan(const QList<InstalledProduct> &installed,
                                                      const QList<InstalledProduct> &chosen)
{
    QList<InstalledProduct> others = installed;
    others.removeIf([&chosen](const InstalledProduct &product) {
        return std::any_of(chosen.begin(), chosen.end(), [&product](const InstalledProduct &c) {
            return c.name == product.name;
        });
    });
    return others;
}
