#include "app/CommandLine.h"
#include "app/QuorvanticInstallerApp.h"
#include "app/Translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Any argument means the command-line front end: no window, no display.
    if (argc > 1)
        return CommandLine::run(argc, argv);

    QApplication application(argc, argv);
    Translations::install();
    QuorvanticInstallerApp installer;
    installer.launch();
    application.exec();
    return 0;
}
