#pragma once

#include <QByteArray>
#include <QString>

// The four places an install writes to, each ending with "/".
struct InstallLocations
{
    QString app;   // copies of the elements
    QString supp;  // links for the still-image plug-in hosts
    QString video; // links for the video hosts
    QString lr;    // the user's photo-host folder
};

// The fixed install locations. Each is computed once, on its first read, from
// any thread; the derived ones end with "/" so a folder name can be appended.
namespace Product {

const QString &applications();
const QString &applicationSupport();
const QString &userApplicationSupport();

const QString &appQuorvantic();
const QString &appSuppQuorvanticVideo();
const QString &appSuppQuorvantic();
const QString &userAppSuppLR();

// The four above, as the install script is composed for.
InstallLocations installLocations();

// The user's data folder by the XDG rules: XDG_DATA_HOME when it is set
// to an absolute path, else HOME/.local/share; empty without either.
QString userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home);

} // namespace Product
