#include "engine/FolderListing.h"

#include <QFile>

#include <dirent.h>
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

bool isRealFolder(const QByteArray &path, unsigned char type)
{
    if (type == DT_DIR)
        return true;
    if (type != DT_UNKNOWN)
        return false;
    struct stat info
    {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
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
    const QByteArray prefix = base == "/" ? base : base + '/';
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = prefix + name;
        if (isRealFolder(path, entry->d_type))
            listing.subfolders.append(QFile::decodeName(path));
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
