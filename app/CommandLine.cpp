#include "app/CommandLine.h"

#include "app/InterruptWatch.h"
#include "app/UnattendedInstall.h"
#include "engine/Installer.h"
#include "engine/InterpreterExecutor.h"
#include "script/Interpreter.h"
#include "ui/Document.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

// False when the text could not be written whole (a full disk, a closed
// descriptor): an action whose output is lost has not been done.
bool writeTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    return std::fflush(stream) == 0 && written == static_cast<size_t>(bytes.size()) &&
           !std::ferror(stream);
}

int outputStatus(bool written)
{
    return written ? CommandLine::success : CommandLine::installationFailed;
}

int printLicense()
{
    Document document;
    document.load(QStringLiteral("QuorvanticEULA"));
    if (document.data().isEmpty()) {
        writeTo(stderr, QStringLiteral("The licence could not be read from %1.\n")
                            .arg(document.resourcesFolder()));
        return CommandLine::installationFailed;
    }
    QString text = document.data().toPlainText();
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return outputStatus(writeTo(stdout, text));
}

// A bundle that cannot be installed from as given: said before anything is
// asked or run.
std::optional<QString> unusableBundle(const Installer &installer)
{
    Document document;
    document.setResourcesFolder(installer.resourcesFolder());
    document.load(QStringLiteral("QuorvanticEULA"));
    if (document.data().isEmpty())
        return QStringLiteral("the licence could not be read from %1, so it cannot have been "
                              "accepted; nothing was installed.")
            .arg(document.resourcesFolder());
    const QString problem = installer.bundleProblem();
    if (!problem.isEmpty())
        return problem;
    return std::nullopt;
}

// SIGINT and SIGTERM stop the run after the command that is running; the
// script's commands are counted so the stop can say how far it got.
void watchForInterrupts(Installer &installer)
{
    const QString script = installer.composeInstallScript();
    const int steps = int(script.count(QLatin1String("\ndo shell script ")) +
                          (script.startsWith(QLatin1String("do shell script ")) ? 1 : 0));
    InterruptWatch::install(steps);
    EvaluationContext context = Interpreter::platformContext();

    context.commandFinished = [](const CommandReport &) {
        InterruptWatch::stepDone();
    };
    installer.setScriptExecutor(interpreterExecutor(std::move(context)));
    installer.setStopFlag(InterruptWatch::stopFlag());
}

int installUnattended(bool progress)
{
    AppSettings settings;
    Installer installer(settings);
    if (const std::optional<QString> problem = unusableBundle(installer)) {
        writeTo(stderr, QStringLiteral("Installation failed: %1\n").arg(*problem));
        return CommandLine::usageError;
    }
    installer.fillProducts();
    watchForInterrupts(installer);
    // Progress goes to standard error, never into what standard output says.
    if (progress || ::isatty(STDERR_FILENO))
        QObject::connect(&installer, &Installer::progressChanged,
                         [](int step, int total, const QString &product) {
                             writeTo(stderr, Installer::progressLine(step, total, product) +
                                                 QLatin1Char('\n'));
                         });
    const UnattendedInstall::Result result = UnattendedInstall::run(installer);
    if (!installer.lastLogPath().isEmpty())
        writeTo(stderr, QStringLiteral("Log: %1\n").arg(installer.lastLogPath()));
    if (const int signal = InterruptWatch::signalReceived();
        signal != 0 && result.outcome != UnattendedInstall::Outcome::completed) {
        writeTo(stderr, InterruptWatch::message() + QLatin1Char('\n'));
        return 128 + signal;
    }
    switch (result.outcome) {
    case UnattendedInstall::Outcome::completed:
        for (const QString &name : result.products)
            writeTo(stdout, QStringLiteral("Installed: %1\n").arg(name));
        writeTo(stdout, QStringLiteral("Installation completed.\n"));
        return CommandLine::success;
    case UnattendedInstall::Outcome::canceled:
        writeTo(stderr, QStringLiteral("Installation canceled.\n"));
        return CommandLine::installationCanceled;
    case UnattendedInstall::Outcome::failed:
        break;
    }
    writeTo(stderr, QStringLiteral("Installation failed: %1\n").arg(result.message));
    return CommandLine::installationFailed;
}

} // namespace

int CommandLine::run(int argc, char *argv[])
{
    // No window is ever shown here; the offscreen platform lets the licence
    // be laid out as text on a machine without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("quorvantic-installer"));
    QGuiApplication::setApplicationVersion(QStringLiteral(QUORVANTIC_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Installs the Quorvantic plug-ins carried by this bundle.\n"
                       "Without arguments, the installer opens its wizard window."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption unattended(
        QStringLiteral("unattended"),
        QStringLiteral("Install every product of the bundle without a window."));
    const QCommandLineOption acceptLicense(
        QStringLiteral("accept-license"),
        QStringLiteral("Accept the licence agreement (see --license); required by --unattended."));
    const QCommandLineOption license(QStringLiteral("license"),
                                     QStringLiteral("Print the licence agreement as plain text."));
    const QCommandLineOption printScript(
        QStringLiteral("print-script"),
        QStringLiteral("Print the install script that would run, and run nothing."));
    const QCommandLineOption progressOption(
        QStringLiteral("progress"),
        QStringLiteral("With --unattended: print each step to standard error even when it is not "
                       "a terminal."));
    parser.addOptions({unattended, acceptLicense, license, printScript, progressOption});

    if (!parser.parse(QCoreApplication::arguments())) {
        writeTo(stderr, parser.errorText() + QStringLiteral("\nTry --help for the options.\n"));
        return usageError;
    }
    if (parser.isSet(helpOption))
        return outputStatus(writeTo(stdout, parser.helpText()));
    if (parser.isSet(versionOption))
        return outputStatus(
            writeTo(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                          QCoreApplication::applicationVersion())));
    if (!parser.positionalArguments().isEmpty()) {
        writeTo(stderr, QStringLiteral("Unexpected argument: %1\nTry --help for the options.\n")
                            .arg(parser.positionalArguments().constFirst()));
        return usageError;
    }

    const int actions =
        int(parser.isSet(unattended)) + int(parser.isSet(license)) + int(parser.isSet(printScript));
    if (actions != 1) {
        writeTo(stderr, actions == 0
                            ? QStringLiteral("Nothing to do: give --unattended, --license or "
                                             "--print-script.\nTry --help for the options.\n")
                            : QStringLiteral("Give only one of --unattended, --license and "
                                             "--print-script.\n"));
        return usageError;
    }
    if (parser.isSet(acceptLicense) && !parser.isSet(unattended)) {
        writeTo(stderr, QStringLiteral("--accept-license goes with --unattended.\n"));
        return usageError;
    }

    if (parser.isSet(license))
        return printLicense();
    if (parser.isSet(printScript)) {
        AppSettings settings;
        Installer installer(settings);
        installer.fillProducts();
        return outputStatus(writeTo(stdout, installer.composeInstallScript() + QLatin1Char('\n')));
    }
    if (!parser.isSet(acceptLicense)) {
        writeTo(stderr,
                QStringLiteral("An unattended installation needs the licence accepted: read it "
                               "with --license, then run again with --unattended "
                               "--accept-license. Nothing was installed.\n"));
        return licenseNotAccepted;
    }
    return installUnattended(parser.isSet(progressOption));
}
