#include "engine/PathState.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace PathState {

QString folderNamed(QString path)
{
    if (path.endsWith(QLatin1String("/.")))
        path.chop(2);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

Read at(const QString &path, bool digest, helper::ReceiptEntry &entry)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::lstat(native.constData(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Read::missing : Read::unreadable;
    entry = {};
    entry.path = native.toStdString();
    entry.owner = status.st_uid;
    entry.group = status.st_gid;
    entry.mode = status.st_mode & 07777;
    if (S_ISLNK(status.st_mode)) {
        entry.kind = helper::ReceiptEntry::Kind::link;
        entry.mode = 0;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(native.constData(), target.data(), target.size());
        if (n < 0)
            return Read::unreadable;
        target.resize(std::size_t(n));
        entry.target = target;
    } else if (S_ISDIR(status.st_mode)) {
        entry.kind = helper::ReceiptEntry::Kind::folder;
    } else {
        // Anything else is told apart by its mode; only regular files have a digest.
        entry.kind = helper::ReceiptEntry::Kind::file;
        if (digest && S_ISREG(status.st_mode)) {
            entry.target = digestOf(path).toStdString();
            if (entry.target.empty())
                return Read::unreadable;
        }
        if (!S_ISREG(status.st_mode))
            entry.mode = status.st_mode; // keeps the type bits, so it never matches a file's
    }
    return Read::found;
}

} // namespace PathState
