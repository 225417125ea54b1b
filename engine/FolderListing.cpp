#include "engine/FolderListing.h"

#include <QFile>
#include <QUtf8StringView>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <system_error>

namespace {

QString describe(const QString &folder, int error)
{
    return QStringLiteral("The folder \"%1\" could not be listed: %2")
        .arg(folder, QString::fromStdString(std::generic_category().message(error)));
}

bool isUtf8(QByteArrayView name)
{
    return QUtf8StringView(name.constData(), name.size()).isValidUtf8();
}

// The name with every byte that is not part of valid UTF-8 written as \xNN.
QString escapedName(const QByteArray &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size();) {
        qsizetype length = 1;
        while (length <= 4 && i + length <= name.size() && !isUtf8(name.mid(i, length)))
            ++length;
        if (length <= 4 && i + length <= name.size()) {
            out += QString::fromUtf8(name.mid(i, length));
            i += length;
        } else {
            out += QStringLiteral("\\x%1").arg(uchar(name[i]), 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return out;
}

// The entry's type from the listing or, where the file system gives none, from the entry itself.
bool isRealFolder(DIR *dir, const char *name, unsigned char type)
{
    if (type == DT_DIR)
        return true;
    if (type != DT_UNKNOWN)
        return false;
    struct stat info
    {};
    return ::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

FolderListing listSubfolders(const QString &folder)
{
    FolderListing listing;
    QByteArray base = QFile::encodeName(folder);
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);

    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(base.constData()), &::closedir);
    if (!dir) {
        listing.error = describe(folder, errno);
        return listing;
    }
    // One buffer for every path: a product may hold thousands of elements.
    QByteArray path = base == "/" ? base : base + '/';
    const qsizetype prefix = path.size();
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry)
            break;
        const QByteArrayView name(entry->d_name);
        if (name == "." || name == ".." || !isRealFolder(dir.get(), entry->d_name, entry->d_type))
            continue;
        if (!isUtf8(name)) {
            listing.undecodable.append(escapedName(name.toByteArray()));
            continue;
        }
        path.truncate(prefix);
        path += name;
        listing.subfolders.append(QString::fromUtf8(path));
    }
    if (errno != 0) {
        listing.error = describe(folder, errno);
        listing.subfolders.clear();
        return listing;
    }
    listing.subfolders.sort();
    listing.ok = true;
    return listing;
}
