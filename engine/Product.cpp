#include "engine/Product.h"

#include "script/UserDataFolder.h"

QString Product::userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home)
{
    return ::userDataFolder(xdgDataHome, home);
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

InstallLocations Product::installLocations()
{
    return {appQuorvantic(), appSuppQuorvantic(), appSuppQuorvanticVideo(), userAppSuppLR()};
}
