// Runner overhead: 1,000 administrator commands through the interpreter and
// one privileged helper, against /bin/sh running `sh -c true` 1,000 times.
// Runs as root: the helper is started through `env`, as pkexec would start it
// once the user has authenticated.
//
//   quorvantic-bench-runner RUNS
#include "Measure.h"

#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int commands = 1000;

int fail(const char *message)
{
    std::fprintf(stderr, "quorvantic-bench-runner: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (::getuid() != 0)
        return fail("starting the helper without pkexec needs root");
    const int runs = std::max(5, app.arguments().value(1).toInt());

    QString script;
    QByteArray shellScript;
    for (int i = 0; i < commands; ++i) {
        script += QStringLiteral("do shell script \"true\" with administrator privileges\n");
        shellScript += "sh -c true\n";
    }
    QTemporaryDir scratch;
    const QString shellFile = scratch.filePath("commands.sh");
    QFile file(shellFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(shellScript) != shellScript.size())
        return fail("cannot write the shell script");
    file.close();

    EvaluationContext context = Interpreter::platformContext();
    const QString helper = QStringLiteral(QUORVANTIC_HELPER);
    context.makeAdministratorShell = [helper] {
        return std::make_unique<PrivilegedSession>(
            QStringList{"/usr/bin/env", "PKEXEC_UID=" + QString::number(::getuid())}, helper);
    };
    const Interpreter interpreter(context);

    std::vector<double> interpreted;
    std::vector<double> shell;
    for (int run = 0; run <= runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool ours = (turn == 0) == (run % 2 == 0);
            double elapsed = 0;
            if (ours) {
                const double start = bench::nowMs();
                const ScriptRun result = interpreter.run(script);
                elapsed = bench::nowMs() - start;
                if (result.error)
                    return fail(qPrintable(result.error->description()));
            } else {
                elapsed = bench::timedRun("/bin/sh", {shellFile});
                if (elapsed < 0)
                    return fail("/bin/sh failed");
            }
            if (run > 0) // run 0 warms up both
                (ours ? interpreted : shell).push_back(elapsed);
        }
    }
    const double ours = bench::median(interpreted);
    const double theirs = bench::median(shell);
    const double ratio = ours / theirs;
    bench::printFigure(2, "runner overhead", QString::asprintf("%.3fx /bin/sh", ratio), "<= 1.1",
                       ratio <= 1.1,
                       QString::asprintf("interpreter + helper %.0f ms, /bin/sh %.0f ms for %d "
                                         "commands (medians of %d)",
                                         ours, theirs, commands, runs));
    return 0;
}
