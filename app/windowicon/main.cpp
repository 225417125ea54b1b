// quorvantic-window-icon LOGO.png OUT.png [SIZE]: the logo's mark on a square
// of SIZE pixels (256 by default), as the installer's windows show it. Exits
// 64 when LOGO is not a PNG image it can read.
#include "app/WindowIcon.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QTextStream>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    QTextStream err(stderr);
    const int size = arguments.value(2, QStringLiteral("256")).toInt();
    if (arguments.size() < 2 || arguments.size() > 3 || size <= 0) {
        err << "usage: quorvantic-window-icon LOGO.png OUT.png [SIZE]\n";
        return 2;
    }
    // Judged by its content, whatever the file is called.
    QImageReader reader(arguments.at(0));
    const QImage logo = reader.format() == "png" ? reader.read() : QImage();
    if (logo.isNull()) {
        err << arguments.at(0) << ": not a PNG image that can be read (" << reader.errorString()
            << ")\n";
        return 64;
    }
    if (!WindowIcon::markOf(logo, size).save(arguments.at(1), "png")) {
        err << arguments.at(1) << ": could not be written\n";
        return 1;
    }
    return 0;
}
