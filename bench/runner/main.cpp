// Runner overhead: 1,000 administrator commands of the kinds an install script
// runs, through the interpreter and one privileged helper, against /bin/sh
// running the same 1,000 commands from a file, which is what an administrator
// would otherwise run: each mkdir, ln and rm a coreutils program of its own,
// each echo the shell's builtin. Both make the same changes from the same
// starting state, and the first run of each checks that they did.
//
// The commands, in groups of four: `mkdir -p` of a plug-in folder, a link
// into it with `ln -f -n -s`, a module's Path.txt written with `echo`, and
// `rm -R -f` of a previous install's folder. The module and previous folders
// are made before each run, untimed, as the copies would have made them.
//
// Runs as root inside bench/run's private mount namespace (scratch /opt and
// /usr/local/share); refuses anywhere else, since it empties those folders.
// The helper is started through `env`, as pkexec would start it once the user
// has authenticated, from a bundle laid out in ROOT (it serves only its own).
//
//   quorvantic-bench-runner ROOT RUNS
#include "HelperBundle.h"
#include "Measure.h"

#include "helper/SystemLocations.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int commands = 1000;
constexpr int groups = commands / 4;

QString location(std::string_view path)
{
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}

const QString appFolder = location(helper::locations::app);

QString module(int group)
{
    return appFolder + "Module " + QString::number(group);
}

QString previous(int group)
{
    return appFolder + "Previous " + QString::number(group);
}

// Operands as the install script quotes them; the names need no escapes.
QString quoted(const QString &path)
{
    return '"' + path + '"';
}

QStringList shellCommands()
{
    const QString plugins[] = {location(helper::locations::stillPlugins),
                               location(helper::locations::videoPlugins)};
    QStringList lines;
    for (int group = 0; group < groups; ++group) {
        const QString &folder = plugins[group % 2];
        const QString name = "Module " + QString::number(group);
        lines << "mkdir -p " + quoted(folder);
        lines << "ln -f -n -s " + quoted(module(group)) + ' ' + quoted(folder + name);
        lines << "echo " + quoted(module(group)) + " > " + quoted(module(group) + "/Path.txt");
        lines << "rm -R -f " + quoted(previous(group));
    }
    return lines;
}

QString interpreterScript(const QStringList &lines)
{
    QString script;
    for (QString line : lines) {
        line.replace('\\', QLatin1String("\\\\")).replace('"', QLatin1String("\\\""));
        script += "do shell script \"" + line + "\" with administrator privileges\n";
    }
    return script;
}

// Everything a run wrote, gone; then the folders the copies would have made.
bool prepare()
{
    for (const QString &folder : {location(helper::locations::applications),
                                  location(helper::locations::applicationSupport)}) {
        const QDir dir(folder);
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (bench::timedRun("/bin/rm", {"-rf", "--", dir.filePath(entry)}) < 0)
                return false;
    }
    for (int group = 0; group < groups; ++group) {
        if (!QDir().mkpath(module(group)) || !QDir().mkpath(previous(group) + "/Contents"))
            return false;
        QFile file(previous(group) + "/Contents/payload.bin");
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(4096, 'x')) != 4096)
            return false;
    }
    return true;
}

// What the install folders hold, one line an entry: its path and type, a
// link's target, a file's contents.
QStringList snapshot()
{
    QStringList entries;
    for (const QString &folder : {location(helper::locations::applications),
                                  location(helper::locations::applicationSupport)}) {
        QDirIterator it(folder,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info = it.fileInfo();
            if (info.isSymLink()) {
                entries << path + " -> " + info.symLinkTarget();
            } else if (info.isDir()) {
                entries << path + '/';
            } else {
                QFile file(path);
                file.open(QIODevice::ReadOnly);
                entries << path + " = " + QString::fromUtf8(file.readAll());
            }
        }
    }
    entries.sort();
    return entries;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "quorvantic-bench-runner: %s\n", qPrintable(message));
    return 1;
}

struct Sides
{
    QString script;    // the interpreter's
    QString shellFile; // /bin/sh's
    QString helper;
};

// One run of one side from the prepared state; negative when it failed.
double runOnce(const Sides &sides, bool ours)
{
    if (!ours)
        return bench::timedRun("/bin/sh", {sides.shellFile});
    EvaluationContext context = Interpreter::platformContext();
    const QString helper = sides.helper;
    context.makeAdministratorShell = [helper] {
        return std::make_unique<PrivilegedSession>(
            QStringList{"/usr/bin/env", "PKEXEC_UID=" + QString::number(::getuid())}, helper);
    };
    const Interpreter interpreter(context);
    const double start = bench::nowMs();
    const ScriptRun result = interpreter.run(sides.script);
    const double elapsed = bench::nowMs() - start;
    if (result.error) {
        fail(result.error->description());
        return -1;
    }
    return elapsed;
}

struct Medians
{
    double ours = 0;
    double shell = 0;
};

std::optional<Medians> failed(const QString &message)
{
    fail(message);
    return std::nullopt;
}

std::optional<Medians> measure(const Sides &sides, int runs)
{
    std::vector<double> interpreted;
    std::vector<double> shell;
    QStringList firstState;
    for (int run = 0; run <= runs; ++run) {
        // Alternate which goes first, so drift in the machine's load hits both.
        for (int turn = 0; turn < 2; ++turn) {
            const bool ours = (turn == 0) == (run % 2 == 0);
            if (!prepare())
                return failed("cannot prepare the install folders");
            const double elapsed = runOnce(sides, ours);
            if (elapsed < 0)
                return failed(ours ? "the interpreter failed" : "/bin/sh failed");
            if (run > 0) {
                (ours ? interpreted : shell).push_back(elapsed);
                continue;
            }
            // Run 0 warms both up and checks that they made the same changes.
            const QStringList state = snapshot();
            if (turn == 0) {
                firstState = state;
            } else if (state != firstState) {
                return failed("the helper and /bin/sh left different install folders");
            }
        }
    }
    prepare();
    return Medians{bench::median(interpreted), bench::median(shell)};
}

// Whether the state the first run left is the one the commands describe.
bool expectedChanges()
{
    const QStringList state = snapshot();
    const int links = static_cast<int>(state.filter(" -> " + appFolder + "Module ").size());
    const int paths = static_cast<int>(state.filter("/Path.txt = " + appFolder + "Module ").size());
    const int previous = static_cast<int>(state.filter(appFolder + "Previous ").size());
    return links == groups && paths == groups && previous == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return fail("usage: quorvantic-bench-runner ROOT RUNS");
    if (::getuid() != 0 || qEnvironmentVariable("QUORVANTIC_BENCH_SANDBOX") != "1")
        return fail("runs only as root inside bench/run's private mount namespace");
    const QString root = QDir(arguments.at(1)).absolutePath();
    const int runs = std::max(5, arguments.at(2).toInt());

    Sides sides;
    sides.helper = bench::placeHelper(root, QStringLiteral(QUORVANTIC_HELPER));
    if (sides.helper.isEmpty())
        return fail("cannot copy the helper into the bundle");
    const QStringList lines = shellCommands();
    sides.script = interpreterScript(lines);
    sides.shellFile = root + "/commands.sh";
    QFile file(sides.shellFile);
    const QByteArray shellScript = ("set -e\n" + lines.join('\n') + '\n').toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(shellScript) != shellScript.size())
        return fail("cannot write the shell script");
    file.close();

    // The commands' own check: run once by /bin/sh, they make what they describe.
    if (!prepare() || runOnce(sides, false) < 0 || !expectedChanges())
        return fail("the commands do not make the changes they describe");
    const std::optional<Medians> medians = measure(sides, runs);
    if (!medians)
        return 1;
    const double ratio = medians->ours / medians->shell;
    bench::printFigure(
        2, "runner overhead", QString::asprintf("%.3fx /bin/sh", ratio), "<= 1.1", ratio <= 1.1,
        QString::asprintf("interpreter + helper %.0f ms, /bin/sh running the same commands from "
                          "a file %.0f ms, for %d install operations (%d each of mkdir -p, "
                          "ln -f -n -s, echo >, rm -R -f; medians of %d); %.3f ms a command "
                          "through the helper",
                          medians->ours, medians->shell, commands, groups, runs,
                          medians->ours / commands));
    return 0;
}
