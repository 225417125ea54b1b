#include "app/CommandLine.h"

#include "app/InterruptWatch.h"
#include "app/ReceiptCommands.h"
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

// Why the bundle's products cannot be installed as they are (no product, no
// element, a name that cannot be installed); fills the installer's products.
std::optional<QString> nothingToInstall(Installer &installer)
{
    QString problem = installer.bundleProblem();
    if (problem.isEmpty()) {
        installer.fillProducts();
        problem = installer.refusal();
    }
    if (problem.isEmpty())
        return std::nullopt;
    return problem;
}

// The script the Install button would run. A bundle it would refuse gets no
// script but the reason, with the status the unattended install gives it.
int printScript()
{
    AppSettings settings;
    Installer installer(settings);
    if (const std::optional<QString> problem = nothingToInstall(installer)) {
        writeTo(stderr, QStringLiteral("No install script: %1\n").arg(*problem));
        return CommandLine::usageError;
    }
    return outputStatus(writeTo(stdout, installer.composeInstallScript() + QLatin1Char('\n')));
}

// A bundle that cannot be installed from as given: said before anything is
// asked or run. Fills the installer's products.
std::optional<QString> unusableBundle(Installer &installer)
{
    Document document;
    document.setResourcesFolder(installer.resourcesFolder());
    document.load(QStringLiteral("QuorvanticEULA"));
    if (document.data().isEmpty())
        return QStringLiteral("the licence could not be read from %1, so it cannot have been "
                              "accepted; nothing was installed.")
            .arg(document.resourcesFolder());
    return nothingToInstall(installer);
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
        writeTo(stderr, (installer.lastRunUndone()
                             ? QStringLiteral("Installation interrupted. Nothing was changed.")
                             : InterruptWatch::message()) +
                            QLatin1Char('\n'));
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

// The options, in the order --help lists them.
struct Options
{
    QCommandLineOption help{QStringLiteral("h")};
    QCommandLineOption version{QStringLiteral("v")};
    QCommandLineOption unattended{
        QStringLiteral("unattended"),
        QStringLiteral("Install every product of the bundle without a window.")};
    QCommandLineOption acceptLicense{
        QStringLiteral("accept-license"),
        QStringLiteral("Accept the licence agreement (see --license); required by --unattended.")};
    QCommandLineOption license{QStringLiteral("license"),
                               QStringLiteral("Print the licence agreement as plain text.")};
    QCommandLineOption printScript{
        QStringLiteral("print-script"),
        QStringLiteral("Print the install script that would run, and run nothing.")};
    QCommandLineOption progress{
        QStringLiteral("progress"),
        QStringLiteral("With --unattended: print each step to standard error even when it is not "
                       "a terminal.")};
    QCommandLineOption listInstalled{
        QStringLiteral("list-installed"),
        QStringLiteral("List the installed products: name, version, date and bundle, one a line.")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("With --list-installed: print JSON.")};
    QCommandLineOption verify{
        QStringLiteral("verify"),
        QStringLiteral(
            "Check that what PRODUCTs (all when none is named) installed is unchanged.")};
    QCommandLineOption uninstall{
        QStringLiteral("uninstall"),
        QStringLiteral("Remove what PRODUCTs (all when none is named) installed.")};
    QCommandLineOption printUninstall{
        QStringLiteral("print-uninstall-script"),
        QStringLiteral("Print the uninstall script for PRODUCTs, and run nothing.")};
    QCommandLineOption yes{
        QStringLiteral("yes"),
        QStringLiteral("With --uninstall: do not ask; needed when input is not a terminal.")};
    QCommandLineOption force{
        QStringLiteral("force"),
        QStringLiteral("With --uninstall: remove files changed since the install too.")};

    explicit Options(QCommandLineParser &parser)
    {
        parser.setApplicationDescription(
            QStringLiteral("Installs the Quorvantic plug-ins carried by this bundle.\n"
                           "Without arguments, the installer opens its wizard window."));
        help = parser.addHelpOption();
        version = parser.addVersionOption();
        parser.addOptions({unattended, acceptLicense, license, printScript, progress, listInstalled,
                           json, verify, uninstall, printUninstall, yes, force});
        parser.addPositionalArgument(
            QStringLiteral("PRODUCT"),
            QStringLiteral("With --verify and --uninstall: a product's name."),
            QStringLiteral("[PRODUCT...]"));
    }
};

// Exactly one action, the options that go with one only with it, and product
// names only for the actions that take them.
std::optional<int> usageProblem(const QCommandLineParser &parser, const Options &o)
{
    const bool takesProducts =
        parser.isSet(o.verify) || parser.isSet(o.uninstall) || parser.isSet(o.printUninstall);
    if (!parser.positionalArguments().isEmpty() && !takesProducts) {
        writeTo(stderr, QStringLiteral("Unexpected argument: %1\nTry --help for the options.\n")
                            .arg(parser.positionalArguments().constFirst()));
        return CommandLine::usageError;
    }
    int actions = 0;
    for (const QCommandLineOption *action :
         {&o.unattended, &o.license, &o.printScript, &o.listInstalled, &o.verify, &o.uninstall,
          &o.printUninstall})
        actions += int(parser.isSet(*action));
    if (actions != 1) {
        writeTo(stderr, actions == 0
                            ? QStringLiteral("Nothing to do: give --unattended, --license, "
                                             "--print-script, --list-installed, --verify or "
                                             "--uninstall.\nTry --help for the options.\n")
                            : QStringLiteral("Give only one of --unattended, --license, "
                                             "--print-script, --list-installed, --verify, "
                                             "--uninstall and --print-uninstall-script.\n"));
        return CommandLine::usageError;
    }
    const std::pair<const QCommandLineOption *, QList<const QCommandLineOption *>> partners[] = {
        {&o.acceptLicense, {&o.unattended}},
        {&o.json, {&o.listInstalled}},
        {&o.yes, {&o.uninstall}},
        {&o.force, {&o.uninstall, &o.printUninstall}},
    };
    for (const auto &[option, with] : partners) {
        if (parser.isSet(*option) &&
            std::none_of(with.begin(), with.end(), [&](auto *w) { return parser.isSet(*w); })) {
            writeTo(stderr,
                    QStringLiteral("--%1 goes with --%2.\n")
                        .arg(option->names().constFirst(), with.front()->names().constFirst()));
            return CommandLine::usageError;
        }
    }
    return std::nullopt;
}

// A run that was killed is undone before anything reads or changes what is
// installed (as root; a user's next install leaves it to the helper).
void recoverInterruptedRun()
{
    QString problem;
    const QString notice = ReceiptBook().recoverSystemPart(problem);
    for (const QString &line : {notice, problem}) {
        if (!line.isEmpty())
            writeTo(stderr, line + QLatin1Char('\n'));
    }
}

int runAction(const QCommandLineParser &parser, const Options &o)
{
    if (parser.isSet(o.license))
        return printLicense();
    if (!parser.isSet(o.printScript))
        recoverInterruptedRun();
    if (parser.isSet(o.listInstalled))
        return ReceiptCommands::listInstalled(parser.isSet(o.json));
    if (parser.isSet(o.verify))
        return ReceiptCommands::verify(parser.positionalArguments());
    if (parser.isSet(o.uninstall) || parser.isSet(o.printUninstall))
        return ReceiptCommands::uninstall({parser.positionalArguments(), parser.isSet(o.yes),
                                           parser.isSet(o.force), parser.isSet(o.printUninstall)});
    if (parser.isSet(o.printScript))
        return printScript();
    if (!parser.isSet(o.acceptLicense)) {
        writeTo(stderr,
                QStringLiteral("An unattended installation needs the licence accepted: read it "
                               "with --license, then run again with --unattended "
                               "--accept-license. Nothing was installed.\n"));
        return CommandLine::licenseNotAccepted;
    }
    return installUnattended(parser.isSet(o.progress));
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
    const Options options(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        writeTo(stderr, parser.errorText() + QStringLiteral("\nTry --help for the options.\n"));
        return usageError;
    }
    if (parser.isSet(options.help))
        return outputStatus(writeTo(stdout, parser.helpText()));
    if (parser.isSet(options.version))
        return outputStatus(
            writeTo(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                          QCoreApplication::applicationVersion())));
    if (const std::optional<int> problem = usageProblem(parser, options))
        return *problem;
    return runAction(parser, options);
}
