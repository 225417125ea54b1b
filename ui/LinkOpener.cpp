#include "ui/LinkOpener.h"

#include <QDesktopServices>

bool LinkOpener::opens(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

bool LinkOpener::openWithDesktop(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
