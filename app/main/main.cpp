#include "app/QuorvanticInstallerApp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QuorvanticInstallerApp installer;
    installer.launch();
    application.exec();
    return 0;
}
