#pragma once

#include <QByteArray>
#include <QString>

// The fixed install locations. Each is computed once, on its first read, from
// any thread; the derived ones end with "/" so a folder name can be appended.
class Product
{
public:
    Product() = delete;

    static const QString &applications();
    static const QString &applicationSupport();
    static const QString &userApplicationSupport();

    static const QString &appQuorvantic();
    static const QString &appSuppQuorvanticVideo();
    static const QString &appSuppQuorvantic();
    static const QString &userAppSuppLR();

    // The user's data folder by the XDG rules: XDG_DATA_HOME when it is set
    // to an absolute path, else HOME/.local/share; empty without either.
    static QString userDataFolder(const QByteArray &xdgDataHome, const QByteArray &home);
};
