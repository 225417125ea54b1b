// The start-up anchor: the least a Qt Widgets program does to show a window,
// a label in a window of the wizard's size.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Hello"));
    window.resize(648, 405);
    window.show();
    return application.exec();
}
