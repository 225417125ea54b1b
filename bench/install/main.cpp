// Install throughput: a generated bundle of about 300 MB in a few thousand
// files, installed through the wizard's state object (catalogue, composer,
// interpreter, privileged helper), against `cp -R` of the same element
// folders to the same places. Runs as root in a private mount namespace
// whose /opt, /usr/local/share and XDG_DATA_HOME are scratch (bench/run
// makes it); refuses to run anywhere else, since it empties those folders.
//
//   quorvantic-bench-install ROOT RUNS
//
// ROOT is laid out as a shipped bundle (bench/common/HelperBundle.h), since
// the helper copies only from its own bundle's Products: the products are
// made on the first run and kept, the helper is copied in on every run. The
// figure is the ratio of the medians, the runs of the two alternating after
// one untimed run of each.
#include "HelperBundle.h"
#include "Measure.h"

#include "engine/InstallScriptComposer.h"
#include "engine/Installer.h"
#include "engine/InterpreterExecutor.h"
#include "engine/Product.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThreadPool>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

constexpr int filesPerElement = 250;
const QString bundleStamp = QStringLiteral(".bench-bundle-v2");

struct Element
{
    QString product;
    QString name;
};

// The three kinds, as the composer tells them apart by name.
const std::vector<Element> elements = {
    {"Calmfield 6", "Calmfield 6 Plugin"},
    {"Calmfield 6", "Calmfield 6 Plugin Extras"},
    {"Ambrelux 2", "Ambrelux 2 Plugin"},
    {"Ambrelux 2", "Ambrelux 2 Plugin Filters"},
    {"Tessaline 1", "Tessaline 1 Plugin"},
    {"Tessaline 1", "Tessaline 1 Plugin Looks"},
    {"Calmfield 6 Video", "Calmfield Video Plugin 2"},
    {"Calmfield 6 Video", "Calmfield Video Plugin"},
    {"Ambrelux Video", "Ambrelux Video Plugin 2"},
    {"Ambrelux Video", "Ambrelux Video Plugin"},
    {"Velamorph 4", "Velamorph 4 Lightroom"},
    {"Velamorph 3", "Velamorph 3 Lightroom"},
};

quint64 nextRandom(quint64 &state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Mostly small files (256 B to 64 KB, spread evenly on a log scale) and one
// in 33 between 1 and 5 MB: about 300 MB in 3,000 files.
qint64 fileSize(int index, quint64 &state)
{
    const quint64 r = nextRandom(state);
    if (index % 33 == 0)
        return 1048576 + static_cast<qint64>(r % (4 * 1048576));
    const double exponent = 8 + 8 * static_cast<double>(r % 10000) / 10000.0;
    return static_cast<qint64>(std::exp2(exponent));
}

QString fileFolder(const Element &element, int index)
{
    if (element.name.contains("Lightroom")) {
        const QString v = element.name.contains("Velamorph 3") ? "3" : "4";
        if (index < 20)
            return "Quorvantic Velamorph " + v;
        if (index < 50)
            return "velamorph" + v + ".lrdevplugin";
        return "Velamorph" + v + ".app/Contents/Resources/part" + QString::number(index / 25);
    }
    if (index < 5)
        return "Contents/MacOS";
    return "Contents/Resources/part" + QString::number(index / 25);
}

bool generateBundle(const QString &root)
{
    if (QFile::exists(root + '/' + bundleStamp))
        return true;
    QDir(root).removeRecursively();
    std::fprintf(stderr, "making the bundle in %s\n", qPrintable(root));
    const QString products = bench::bundleResources(root) + "/Products/";
    quint64 state = 0x9e3779b97f4a7c15ULL;
    QByteArray block(8 * 1048576, Qt::Uninitialized);
    for (qsizetype i = 0; i + 8 <= block.size(); i += 8) {
        const quint64 value = nextRandom(state);
        std::memcpy(block.data() + i, &value, 8);
    }
    for (const Element &element : elements) {
        const QString elementFolder = products + element.product + '/' + element.name + '/';
        for (int index = 0; index < filesPerElement; ++index) {
            const QString folder = elementFolder + fileFolder(element, index);
            if (!QDir().mkpath(folder))
                return false;
            QFile file(folder + "/file" + QString::number(index) +
                       (index < 20 && element.name.contains("Lightroom") ? ".lrtemplate" : ".bin"));
            const qint64 size = fileSize(index, state);
            const qint64 offset = static_cast<qint64>(nextRandom(state) % 1048576);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(block.constData() + offset, size) != size)
                return false;
        }
    }
    QFile stamp(root + '/' + bundleStamp);
    return stamp.open(QIODevice::WriteOnly);
}

struct TreeSize
{
    qint64 files = 0;
    qint64 bytes = 0;
};

TreeSize treeSize(const QString &folder)
{
    TreeSize size;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++size.files;
        size.bytes += it.fileInfo().size();
    }
    return size;
}

// Everything an install wrote, gone, so each run starts from the same state.
bool emptyDestinations()
{
    for (const QString &folder : {Product::applications(), Product::applicationSupport(),
                                  Product::userApplicationSupport()}) {
        const QDir dir(folder);
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (bench::timedRun("/bin/rm", {"-rf", "--", dir.filePath(entry)}) < 0)
                return false;
    }
    return true;
}

// The interpreter as the wizard runs it, but with the real helper started
// through `env` instead of pkexec (this process is root already).
ScriptExecutor executorThroughHelper(const QString &helper)
{
    EvaluationContext context = Interpreter::platformContext();
    context.makeAdministratorShell = [helper] {
        return std::make_unique<PrivilegedSession>(
            QStringList{"/usr/bin/env", "PKEXEC_UID=" + QString::number(::getuid())}, helper);
    };
    return interpreterExecutor(std::move(context));
}

double installOnce(const QString &resources, const QString &helper, bool &ok)
{
    AppSettings settings;
    Installer installer(settings);
    installer.setResourcesFolder(resources);
    installer.setScriptExecutor(executorThroughHelper(helper));
    settings.setProducts(installer.productsToInstall());
    settings.setCurrentPage(Page::install);
    const double start = bench::nowMs();
    installer.installSelectedProducts();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    const double elapsed = bench::nowMs() - start;
    ok = settings.currentPage() == Page::summary && !settings.completedWithErrors();
    if (!ok)
        std::fprintf(stderr, "the install failed: %s\n", qPrintable(settings.logDetailsStr()));
    return elapsed;
}

// What a user would type: the element folders copied into the application
// folder, and each photo-host element's presets into the user's folder.
double copyOnce(const QString &resources)
{
    QStringList sources;
    QStringList folders{Product::appQuorvantic()};
    QList<QStringList> presetCopies;
    for (const Element &element : elements) {
        const QString path = resources + "/Products/" + element.product + '/' + element.name;
        sources << path;
        if (element.name.contains("Lightroom")) {
            const QString preset =
                "Quorvantic Velamorph " + QString(element.name.contains("Velamorph 3") ? "3" : "4");
            const QString target = Product::userAppSuppLR() + "Export Presets/" + preset + '/';
            folders << target;
            presetCopies.append({"-R", path + '/' + preset + "/.", target});
        }
    }
    double total = bench::timedRun("/bin/mkdir", QStringList{"-p"} + folders);
    const double copy = bench::timedRun("/bin/cp", QStringList{"-R"} + sources +
                                                       QStringList{Product::appQuorvantic()});
    if (total < 0 || copy < 0)
        return -1;
    total += copy;
    for (const QStringList &arguments : presetCopies) {
        const double preset = bench::timedRun("/bin/cp", arguments);
        if (preset < 0)
            return -1;
        total += preset;
    }
    return total;
}

int fail(const char *message)
{
    std::fprintf(stderr, "quorvantic-bench-install: %s\n", message);
    return 1;
}

struct Medians
{
    double install = 0;
    double copy = 0;
};

std::optional<Medians> failed(const char *message)
{
    fail(message);
    return std::nullopt;
}

// Both sides RUNS times, alternating, after one untimed run of each; nothing
// when a run failed, with the reason printed.
std::optional<Medians> measure(const QString &resources, const QString &helper, int runs)
{
    const TreeSize source = treeSize(resources + "/Products");
    std::vector<double> installs;
    std::vector<double> copies;
    // Run 0 of each is untimed: it warms the page cache and checks the result.
    for (int run = 0; run <= runs; ++run) {
        // Alternate which goes first, so drift in the machine's load hits both.
        for (int turn = 0; turn < 2; ++turn) {
            if (!emptyDestinations())
                return failed("cannot empty the destinations");
            const bool install = (turn == 0) == (run % 2 == 0);
            double elapsed = 0;
            if (install) {
                bool ok = false;
                elapsed = installOnce(resources, helper, ok);
                if (!ok)
                    return failed("the install did not succeed");
            } else {
                elapsed = copyOnce(resources);
                if (elapsed < 0)
                    return failed("cp -R failed");
            }
            if (run == 0) {
                const TreeSize copied = treeSize(Product::appQuorvantic());
                // The install adds one Path.txt per photo-host module.
                if (copied.files < source.files || copied.bytes < source.bytes)
                    return failed("the copy is incomplete");
                continue;
            }
            (install ? installs : copies).push_back(elapsed);
        }
    }
    emptyDestinations();
    return Medians{bench::median(installs), bench::median(copies)};
}

// What bounds the difference: the script's commands besides the copies. The
// administrator's are done inside the helper; the user's each start a
// /bin/sh and a program, priced by one such here.
QString scriptCost(const QString &resources)
{
    AppSettings settings;
    Installer installer(settings);
    installer.setResourcesFolder(resources);
    settings.setProducts(installer.productsToInstall());
    const QString script = InstallScriptComposer::compose(
        installer.elementsToCopy(), Product::installLocations(), ShellDialect::gnu);
    int commands = 0;
    int administrator = 0;
    int copies = 0;
    for (const QString &line : script.split('\n')) {
        if (!line.startsWith(QLatin1String("do shell script")))
            continue;
        ++commands;
        if (!line.endsWith(QLatin1String("with administrator privileges")))
            continue;
        ++administrator;
        copies += line.startsWith(QLatin1String("do shell script \"cp -R")) ? 1 : 0;
    }
    std::vector<double> shortCommands;
    for (int run = 0; run < 11; ++run)
        shortCommands.push_back(bench::timedRun(
            "/bin/sh", {"-c", "mkdir -p " + Product::applications() + "/bench-probe"}));
    const double shortCommand = bench::median(shortCommands);
    emptyDestinations();
    return QString::asprintf(
        "the script runs %d commands: %d as administrator in one helper, %d of them element "
        "copies, and %d as the user, each through /bin/sh; one short command through /bin/sh "
        "takes %.1f ms here, so the user's take about %.0f ms",
        commands, administrator, copies, commands - administrator, shortCommand,
        shortCommand * (commands - administrator));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The installer prints its script and answer; only the figure goes out.
    const int figureOut = ::dup(STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (figureOut < 0 || devNull < 0 || ::dup2(devNull, STDOUT_FILENO) < 0)
        return fail("cannot set standard output aside");
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return fail("usage: quorvantic-bench-install ROOT RUNS");
    if (::getuid() != 0 || qEnvironmentVariable("QUORVANTIC_BENCH_SANDBOX") != "1")
        return fail("runs only as root inside bench/run's private mount namespace");
    const QString root = QDir(arguments.at(1)).absolutePath();
    const int runs = std::max(5, arguments.at(2).toInt());
    if (!generateBundle(root))
        return fail("cannot make the bundle");
    const QString helper = bench::placeHelper(root, QStringLiteral(QUORVANTIC_HELPER));
    if (helper.isEmpty())
        return fail("cannot copy the helper into the bundle");
    const QString resources = bench::bundleResources(root);
    const TreeSize source = treeSize(resources + "/Products");

    const std::optional<Medians> medians = measure(resources, helper, runs);
    if (!medians)
        return 1;
    const QString cost = scriptCost(resources);

    std::fflush(stdout);
    ::dup2(figureOut, STDOUT_FILENO);
    const double ratio = medians->install / medians->copy;
    bench::printFigure(1, "install throughput", QString::asprintf("%.3fx cp -R", ratio), "<= 1.10",
                       ratio <= 1.10,
                       QString::asprintf("installer %.0f ms, cp -R %.0f ms (medians of %d); %lld "
                                         "files, %.0f MB, %zu elements; ",
                                         medians->install, medians->copy, runs, source.files,
                                         source.bytes / 1048576.0, elements.size()) +
                           cost);
    return 0;
}
