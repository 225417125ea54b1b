#include "engine/Product.h"

#include <QDir>
#include <QFile>

namespace {

QString userDataFolderOfThisProcess()
{
    return Product::userDataFolder(qgetenv("XDG_DATA_HOME"), qgetenv("HOME"));
}

} // namespace

QString Product::userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home)
{
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (xdgDataHome.startsWith('/'))
        return QDir::cleanPath(QFile::decodeName(xdgDataHome));
    if (home.startsWith('/'))
        return QDir::cleanPath(QFile::decodeName(home) + QStringLiteral("/.local/share"));
    return QString();
}

const QString &Product::applications()
{
    static const QString value = QStringLiteral("/opt");
    return value;
}

const QString &Product::applicationSupport()
{
    static const QString value = QStringLiteral("/usr/local/share");
    return value;
}

const QString &Product::userApplicationSupport()
{
    static const QString value = userDataFolderOfThisProcess();
    return value;
}

const QString &Product::appQuorvantic()
{
    static const QString value = applications() + QStringLiteral("/Quorvantic/");
    return value;
}

const QString &Product::appSuppQuorvanticVideo()
{
    static const QString value =
        applicationSupport() + QStringLiteral("/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/");
    return value;
}

const QString &Product::appSuppQuorvantic()
{
    static const QString value =
        applicationSupport() + QStringLiteral("/Adobe/Plug-Ins/CC/Quorvantic/");
    return value;
}

const QString &Product::userAppSuppLR()
{
    static const QString value = userApplicationSupport() + QStringLiteral("/Adobe/Lightroom/");
    return value;
}
