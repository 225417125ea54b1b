// quorvantic-rtf [--html|--text] FILE: reads FILE with the licence reader and
// prints the document it makes, as QTextDocument::toHtml() (the default) or
// as plain text. "-" reads standard input.
#include "rtf/RtfReader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // A tool for the terminal: no display is needed to lay out text.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    bool html = true;
    if (!arguments.isEmpty() && arguments.first().startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeFirst();
        if (option != QLatin1String("--html") && option != QLatin1String("--text"))
            arguments.clear();
        html = option == QLatin1String("--html");
    }
    QTextStream err(stderr);
    if (arguments.size() != 1) {
        err << "usage: quorvantic-rtf [--html|--text] FILE\n";
        return 2;
    }

    QFile file(arguments.first());
    const bool opened = arguments.first() == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : file.open(QIODevice::ReadOnly);
    if (!opened) {
        err << arguments.first() << ": " << file.errorString() << "\n";
        return 1;
    }
    QTextDocument document;
    const RtfReadResult result = RtfReader::read(file.readAll(), &document);
    if (!result.ok) {
        err << arguments.first() << ": " << result.message << "\n";
        return 1;
    }
    QTextStream out(stdout);
    out << (html ? document.toHtml() : document.toPlainText()) << "\n";
    return 0;
}
