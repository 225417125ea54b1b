#include "engine/Resources.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString besideExecutable(const QString &relative)
{
    if (!QCoreApplication::instance())
        return QString();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + relative);
}

} // namespace

QString bundleResourcesFolder()
{
    return besideExecutable(QStringLiteral("../share/quorvantic-installer"));
}

QString bundleLibexecFolder()
{
    return besideExecutable(QStringLiteral("../libexec/quorvantic-installer"));
}
