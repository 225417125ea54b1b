#include "HelperBundle.h"

#include <QDir>
#include <QFile>

namespace bench {

QString bundleResources(const QString &root)
{
    return root + QStringLiteral("/usr/share/quorvantic-installer");
}

QString placeHelper(const QString &root, const QString &builtHelper)
{
    const QString folder = root + QStringLiteral("/usr/libexec/quorvantic-installer");
    const QString copy = folder + QStringLiteral("/quorvantic-helper");
    if (!QDir().mkpath(folder) ||
        !QDir().mkpath(bundleResources(root) + QStringLiteral("/Products")))
        return {};
    if (QFile::exists(copy) && !QFile::remove(copy))
        return {};
    if (!QFile::copy(builtHelper, copy))
        return {};
    const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::ExeOther;
    return QFile::setPermissions(copy, executable) ? copy : QString();
}

} // namespace bench
