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
#include "InstallBundle.h"
#include "Measure.h"

#include "engine/InstallScriptComposer.h"
#include "engine/Installer.h"
#include "engine/Product.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

using bench::BundleElement;
using bench::emptyInstallDestinations;
using bench::executorThroughHelper;
using bench::treeSize;
using bench::TreeSize;

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

// The same install undone at its end, as a failure or a stop undoes it: how
// long the rollback takes, from the decision to undo to the run's return.
double rollbackOnce(const QString &resources, const QString &helper, bool &ok)
{
    AppSettings settings;
    Installer installer(settings);
    installer.setResourcesFolder(resources);
    const ScriptExecutor inner = executorThroughHelper(helper);
    double decided = 0;
    double returned = 0;
    installer.setScriptExecutor([&](const QString &script, const ScriptHooks &given) {
        ScriptHooks hooks = given;
        hooks.keepChanges = [&decided](const std::optional<QString> &,
                                       const std::optional<ScriptError> &) {
            decided = bench::nowMs();
            return false;
        };
        ScriptOutcome outcome = inner(script, hooks);
        returned = bench::nowMs();
        return outcome;
    });
    settings.setProducts(installer.productsToInstall());
    settings.setCurrentPage(Page::install);
    installer.installSelectedProducts();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    ok = decided > 0 && !QFileInfo::exists(Product::appQuorvantic());
    if (!ok)
        std::fprintf(stderr, "the rollback left %s\n", qPrintable(Product::appQuorvantic()));
    return returned - decided;
}

// What a user would type: the element folders copied into the application
// folder, and each photo-host element's presets into the user's folder.
double copyOnce(const QString &resources)
{
    QStringList sources;
    QStringList folders{Product::appQuorvantic()};
    QList<QStringList> presetCopies;
    for (const BundleElement &element : bench::bundleElements()) {
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
            if (!emptyInstallDestinations())
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
    emptyInstallDestinations();
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
    emptyInstallDestinations();
    return QString::asprintf(
        "the script runs %d commands: %d as administrator in one helper, %d of them element "
        "copies, and %d as the user, performed in the installer's own process (no shell)",
        commands, administrator, copies, commands - administrator);
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
    if (!bench::makeInstallBundle(root))
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
    std::vector<double> rollbacks;
    for (int run = 0; run < runs; ++run) {
        bool ok = false;
        if (!emptyInstallDestinations())
            return fail("cannot empty the destinations");
        rollbacks.push_back(rollbackOnce(resources, helper, ok));
        if (!ok)
            return fail("the rollback did not restore the tree");
    }
    emptyInstallDestinations();

    std::fflush(stdout);
    ::dup2(figureOut, STDOUT_FILENO);
    const double ratio = medians->install / medians->copy;
    bench::printFigure(1, "install throughput", QString::asprintf("%.3fx cp -R", ratio), "<= 1.05",
                       ratio <= 1.05,
                       QString::asprintf("installer %.0f ms, cp -R %.0f ms (medians of %d); %lld "
                                         "files, %.0f MB, %zu elements; ",
                                         medians->install, medians->copy, runs, source.files,
                                         source.bytes / 1048576.0, bench::bundleElements().size()) +
                           cost +
                           QString::asprintf("; undoing that install at its end (a failure or a "
                                             "stop) takes %.0f ms (median of %d)",
                                             bench::median(rollbacks), runs));
    return 0;
}
