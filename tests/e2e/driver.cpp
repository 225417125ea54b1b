// The wizard's side of an install, without a window: the state object on the
// bundle's resources, the install confirmed on the product page, the outcome
// applied on the main thread, then the resulting state written to a file.
//
//   quorvantic-e2e-driver --state FILE [--resources DIR] [--agent PROGRAM] [--cancel-at STEP]
//                         [--stop-grace MS]
//
// With --agent, PROGRAM is started with this process's id and must print one
// line once it answers authentication requests for it; it ends with the driver.
// Standard output carries exactly what the installer prints.
#include "engine/Installer.h"
#include "engine/InterpreterExecutor.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QThreadPool>

#include <cstdio>
#include <unistd.h>

namespace {

const char *pageName(Page page)
{
    switch (page) {
    case Page::intro:
        return "intro";
    case Page::license:
        return "license";
    case Page::install:
        return "install";
    case Page::summary:
        return "summary";
    }
    return "?";
}

int fail(const QString &message)
{
    std::fprintf(stderr, "driver: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"state", "Where to write the resulting state.", "file"});
    parser.addOption({"resources", "The resources folder to install from.", "folder"});
    parser.addOption({"agent", "An authentication agent to start first.", "program"});
    parser.addOption({"cancel-at", "Press Cancel as this step starts.", "step"});
    parser.addOption({"stop-grace", "How long a stopped command may go on.", "ms"});
    parser.process(app);
    if (!parser.isSet("state"))
        return fail("--state is required");

    QProcess agent;
    if (parser.isSet("agent")) {
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.start(parser.value("agent"), {QString::number(QCoreApplication::applicationPid())});
        if (!agent.waitForReadyRead(20000) || !agent.canReadLine())
            return fail("the authentication agent did not come up");
    }

    AppSettings settings;
    Installer installer(settings);
    if (parser.isSet("resources"))
        installer.setResourcesFolder(parser.value("resources"));
    settings.setProducts(installer.productsToInstall());
    settings.setCurrentPage(Page::install);

    if (parser.isSet("stop-grace")) {
        // The interpreter as the installer runs it, with a shorter grace for
        // an administrator command still running after Cancel.
        const int grace = parser.value("stop-grace").toInt();
        EvaluationContext context = Interpreter::platformContext();
        context.makeAdministratorShell = [grace]() -> std::unique_ptr<CommandShell> {
            if (::geteuid() == 0)
                return PrivilegedSession::forThisProcess();
            auto session = std::make_unique<PrivilegedSession>(
                PrivilegedSession::pkexecLauncher(), PrivilegedSession::defaultHelperPath());
            session->setStopGrace(grace);
            return session;
        };
        installer.setScriptExecutor(interpreterExecutor(std::move(context)));
    }
    const int cancelAt = parser.value("cancel-at").toInt();
    QObject::connect(&installer, &Installer::progressChanged, &installer, [&](int step) {
        if (step == cancelAt)
            installer.requestStop();
    });
    installer.installSelectedProducts();
    // The job posts its outcome right after releasing the wait; once the pool
    // is idle the handler is queued and one pass of the loop applies it.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();

    QFile state(parser.value("state"));
    if (!state.open(QIODevice::WriteOnly))
        return fail("cannot write " + state.fileName());
    state.write(QByteArray("page ") + pageName(settings.currentPage()) + '\n');
    state.write(QByteArray("completedWithErrors ") +
                (settings.completedWithErrors() ? "true" : "false") + '\n');
    state.write("logDetailsStr\n" + settings.logDetailsStr().toUtf8());

    if (agent.state() != QProcess::NotRunning) {
        agent.terminate();
        agent.waitForFinished(5000);
    }
    return 0;
}
