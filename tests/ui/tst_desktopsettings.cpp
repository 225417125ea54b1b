// The desktop's settings program: the current desktop's first, else any installed.
#include "ui/DesktopSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDesktopSettings : public QObject
{
    Q_OBJECT

private slots:
    void settingsProgram_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("current desktop's")
            << QStringList{"gnome-control-center", "systemsettings"} << "KDE"
            << "systemsettings";
        QTest::newRow("listed desktops") << QStringList{"gnome-control-center"} << "ubuntu:GNOME"
                                         << "gnome-control-center";
        QTest::newRow("current one missing") << QStringList{"xfce4-settings-manager"} << "KDE"
                                             << "xfce4-settings-manager";
        QTest::newRow("no desktop named") << QStringList{"lxqt-config"} << ""
                                          << "lxqt-config";
        QTest::newRow("none installed") << QStringList{} << "GNOME"
                                        << "";
    }
    void settingsProgram()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, desktop);
        QFETCH(QString, chosen);
        QTemporaryDir bin;
        for (const QString &name : installed) {
            QFile file(bin.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
        const QString found = DesktopSettings::program(desktop, {bin.path()});
        QCOMPARE(found, chosen.isEmpty() ? QString() : bin.filePath(chosen));
    }
};

QTEST_GUILESS_MAIN(TestDesktopSettings)
#include "tst_desktopsettings.moc"
