#include "engine/ReceiptCheck.h"

#include "engine/PathState.h"
#include "helper/SafePath.h"

#include <QDir>

using helper::ReceiptEntry;

namespace ReceiptCheck {

namespace {

QString kindName(const ReceiptEntry &entry)
{
    switch (entry.kind) {
    case ReceiptEntry::Kind::folder:
        return QStringLiteral("a folder");
    case ReceiptEntry::Kind::link:
        return QStringLiteral("a link");
    case ReceiptEntry::Kind::file:
        return entry.mode > 07777 ? QStringLiteral("a special file") : QStringLiteral("a file");
    }
    return QString();
}

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

bool isTemporary(const QString &name)
{
    return helper::isTemporaryName(name.toStdString());
}

// What stands in `folder` that no receipt lists; with `ours` false, only the
// temporaries among it, since other vendors put their files there too.
QList<Finding> unlisted(const QString &folder, const QSet<QString> &recorded, bool ours)
{
    QDir listed(folder);
    if (!listed.isReadable())
        return {{Finding::Kind::unreadable, folder, QStringLiteral("cannot list it")}};
    QList<Finding> findings;
    for (const QString &name :
         listed.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString inside = folder + QLatin1Char('/') + name;
        if (recorded.contains(inside))
            continue;
        if (isTemporary(name))
            findings.append(
                {Finding::Kind::unexpected, inside,
                 QStringLiteral("a temporary of an installer run that did not finish")});
        else if (ours)
            findings.append({Finding::Kind::unexpected, inside, {}});
    }
    return findings;
}

} // namespace

QString Finding::line() const
{
    static const char *const names[] = {"missing", "changed", "unexpected", "unreadable"};
    QString text = QStringLiteral("%1: %2").arg(QLatin1String(names[int(kind)]), path);
    if (!detail.isEmpty())
        text += QStringLiteral(" (%1)").arg(detail);
    return text;
}

QString difference(const ReceiptEntry &recorded, const ReceiptEntry &now)
{
    if (recorded.kind != now.kind || now.mode > 07777)
        return QStringLiteral("%1 now, not %2").arg(kindName(now), kindName(recorded));
    if (recorded.kind == ReceiptEntry::Kind::link && recorded.target != now.target)
        return QStringLiteral("points to %1, not %2")
            .arg(fromStd(now.target), fromStd(recorded.target));
    if (recorded.kind == ReceiptEntry::Kind::file && !now.target.empty() &&
        recorded.target != now.target)
        return QStringLiteral("contents");
    if (recorded.owner != now.owner)
        return QStringLiteral("owner %1, not %2").arg(now.owner).arg(recorded.owner);
    if (recorded.kind != ReceiptEntry::Kind::link && recorded.mode != now.mode)
        return QStringLiteral("mode %1, not %2")
            .arg(now.mode, 4, 8, QLatin1Char('0'))
            .arg(recorded.mode, 4, 8, QLatin1Char('0'));
    return QString();
}

QList<Finding> check(const helper::Receipt &receipt, const QSet<QString> &recorded,
                     const QString &appFolder)
{
    const QString app = appFolder.endsWith(QLatin1Char('/')) ? appFolder.chopped(1) : appFolder;
    QList<Finding> findings;
    for (const ReceiptEntry &entry : receipt.entries) {
        const QString path = fromStd(entry.path);
        const bool temporary = isTemporary(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
        ReceiptEntry now;
        switch (PathState::at(path, entry.kind == ReceiptEntry::Kind::file && !temporary, now)) {
        case PathState::Read::missing:
            if (!temporary) // one gone is as it should be
                findings.append({Finding::Kind::missing, path, {}});
            continue;
        case PathState::Read::unreadable:
            findings.append({Finding::Kind::unreadable, path, {}});
            continue;
        case PathState::Read::found:
            break;
        }
        if (temporary) {
            findings.append(
                {Finding::Kind::unexpected, path,
                 QStringLiteral("a temporary of an installer run, recorded by mistake")});
            continue;
        }
        if (const QString changed = difference(entry, now); !changed.isEmpty()) {
            findings.append({Finding::Kind::changed, path, changed});
            continue;
        }
        if (entry.kind == ReceiptEntry::Kind::folder)
            findings +=
                unlisted(path, recorded, path == app || path.startsWith(app + QLatin1Char('/')));
    }
    return findings;
}

} // namespace ReceiptCheck
