// quorvantic-script: compiles and runs one installer script with the wizard's
// interpreter and privileged session, so a composed install script can be
// checked without the window.
#include "script/Interpreter.h"
#include "script/tool/StopSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

#include <cstdio>

namespace {

constexpr int exitUsage = 64;
// Far beyond any install script (ten thousand elements make about 12 MiB);
// a larger input is refused before it is held, rather than exhausting memory.
constexpr qint64 maxScriptBytes = 64 << 20;

void writeTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    // An option it does not know is a usage error, not a file it cannot read.
    const bool option = !arguments.isEmpty() && arguments.first().startsWith(QLatin1Char('-')) &&
                        arguments.first() != QLatin1String("-");
    if (arguments.size() != 1 || option) {
        writeTo(stderr, QStringLiteral(
                            "usage: quorvantic-script FILE|-\n"
                            "Runs an installer script; prints its result, or \"Error: \" and the\n"
                            "error (exit status 1, or 2 when the script does not compile).\n"
                            "Scripts up to 64 MiB are read; each command's output is kept up\n"
                            "to 64 MiB, and a larger one fails the command.\n"));
        return exitUsage;
    }

    QFile file;
    const bool opened = arguments.first() == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(arguments.first()), file.open(QIODevice::ReadOnly));
    if (!opened) {
        writeTo(stderr, QStringLiteral("Error: cannot read %1: %2\n")
                            .arg(arguments.first(), file.errorString()));
        return 1;
    }
    // A pipe gives what it holds at the moment: read until its end, or past the limit.
    QByteArray bytes;
    while (bytes.size() <= maxScriptBytes) {
        const QByteArray chunk = file.read(maxScriptBytes + 1 - bytes.size());
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (bytes.size() > maxScriptBytes) {
        writeTo(stderr, QStringLiteral("Error: the script is larger than %1 MiB; nothing was run\n")
                            .arg(maxScriptBytes >> 20));
        return 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString source = decoder(bytes);
    if (decoder.hasError()) {
        writeTo(stderr, QStringLiteral("Error: the script is not UTF-8 text\n"));
        return 2;
    }

    // Only now: until the script runs, a signal ends the tool as it would any program.
    StopSignals::install();
    EvaluationContext context = Interpreter::platformContext();
    context.stopRequested = StopSignals::stopFlag();
    const ScriptRun run = Interpreter(std::move(context)).run(source);
    int status = 0;
    if (!run.created) {
        writeTo(stderr, QStringLiteral("Error: the script is not valid text\n"));
        status = 2;
    } else if (run.error) {
        writeTo(stderr, QStringLiteral("Error: ") + run.error->description() + QLatin1Char('\n'));
        status = run.error->isCompileError() ? 2 : 1;
    } else if (run.result) {
        writeTo(stdout, *run.result + QLatin1Char('\n'));
    }
    // Stopped by a signal: the status says which, as a shell's would.
    if (const int signal = StopSignals::received())
        return 128 + signal;
    return status;
}
