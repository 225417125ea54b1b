#include "engine/Product.h"

#include "helper/SystemLocations.h"
#include "script/UserDataFolder.h"

QString Product::userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home)
{
    return ::userDataFolder(xdgDataHome, home);
}

namespace {

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

} // namespace

const QString &Product::applications()
{
    static const QString value = text(helper::locations::applications);
    return value;
}

const QString &Product::applicationSupport()
{
    static const QString value = text(helper::locations::applicationSupport);
    return value;
}

const QString &Product::userApplicationSupport()
{
    static const QString value = userDataFolderOfThisProcess();
    return value;
}

const QString &Product::appQuorvantic()
{
    static const QString value = text(helper::locations::app);
    return value;
}

const QString &Product::appSuppQuorvanticVideo()
{
    static const QString value = text(helper::locations::videoPlugins);
    return value;
}

const QString &Product::appSuppQuorvantic()
{
    static const QString value = text(helper::locations::stillPlugins);
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
