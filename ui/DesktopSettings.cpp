#include "ui/DesktopSettings.h"

#include <QProcess>
#include <QStandardPaths>

#include <array>
#include <utility>

namespace {

// Desktop name as XDG_CURRENT_DESKTOP spells it -> its settings program.
constexpr std::array<std::pair<const char *, const char *>, 7> knownSettings{{
    {"GNOME", "gnome-control-center"},
    {"KDE", "systemsettings"},
    {"XFCE", "xfce4-settings-manager"},
    {"X-Cinnamon", "cinnamon-settings"},
    {"MATE", "mate-control-center"},
    {"LXQt", "lxqt-config"},
    {"Budgie", "budgie-control-center"},
}};

QString installed(const char *name, const QStringList &searchPath)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name), searchPath);
}

} // namespace

QString DesktopSettings::program(const QString &currentDesktop, const QStringList &searchPath)
{
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &desktop : desktops) {
        for (const auto &[name, settings] : knownSettings) {
            if (desktop.compare(QLatin1String(name), Qt::CaseInsensitive) != 0)
                continue;
            QString found = installed(settings, searchPath);
            if (!found.isEmpty())
                return found;
        }
    }
    for (const auto &known : knownSettings) {
        QString found = installed(known.second, searchPath);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

void DesktopSettings::open()
{
    const QString found = program(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    if (!found.isEmpty())
        QProcess::startDetached(found, {});
}
