// Composition scaling: listing the element folders of the selected products
// (elementsToCopy) and composing the install script, for 10 to 10,000
// elements in folders on disk, ten elements per product, the three kinds
// in turn. The wizard composes once per process, so each timed composition
// runs in a fresh process of its own (this program, started again with
// --once): a warm heap from an earlier run would hide the cost of touching
// the memory the script needs, which grows with it.
//
// The 10,000 elements are made once in TREE (and kept); a smaller size
// selects the first products of it.
//
//   quorvantic-bench-compose TREE RUNS
#include "Measure.h"

#include "engine/InstallScriptComposer.h"
#include "engine/Installer.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

constexpr int elementsPerProduct = 10;

QString elementName(int index)
{
    switch (index % 3) {
    case 0:
        return QStringLiteral("Calmfield %1 Plugin").arg(index);
    case 1:
        return QStringLiteral("Calmfield Video Plugin 2 %1").arg(index);
    default:
        return QStringLiteral("Velamorph %1 Lightroom").arg(index % 2 ? 3 : 4) +
               QString::number(index);
    }
}

const QString treeStamp = QStringLiteral(".bench-tree-v1");

bool makeProducts(const QString &root, int count)
{
    if (QFile::exists(root + '/' + treeStamp))
        return true;
    QDir(root).removeRecursively();
    for (int index = 0; index < count; ++index) {
        const QString product =
            root + QStringLiteral("/Product %1").arg(index / elementsPerProduct, 5, 10, QChar('0'));
        if (!QDir().mkpath(product + '/' + elementName(index)))
            return false;
    }
    QFile stamp(root + '/' + treeStamp);
    return stamp.open(QIODevice::WriteOnly);
}

long minorFaults()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// One composition of the first COUNT elements in ROOT: prints its
// milliseconds, those of the listing, the page faults it took, the elements
// and the script's length.
int composeOnce(const QString &root, int count)
{
    AppSettings settings;
    Installer installer(settings);
    ProductMap products;
    const QStringList names = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &product : names.mid(0, count / elementsPerProduct))
        products.insert(root + '/' + product, true);
    settings.setProducts(products);
    const InstallLocations locations{
        "/opt/Quorvantic/", "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/",
        "/usr/local/share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/",
        "/home/user/.local/share/Adobe/Lightroom/"};

    const long faults = minorFaults();
    const double start = bench::nowMs();
    const QStringList elements = installer.elementsToCopy();
    const double listed = bench::nowMs();
    const QString script = InstallScriptComposer::compose(elements, locations, ShellDialect::gnu);
    const double elapsed = bench::nowMs() - start;
    std::printf("%f %f %ld %lld %lld\n", elapsed, listed - start, minorFaults() - faults,
                static_cast<long long>(elements.size()), static_cast<long long>(script.size()));
    return 0;
}

// What one first touch of a page costs on this machine, in microseconds.
double pageFaultCostUs()
{
    const std::size_t size = 32 << 20;
    std::vector<double> costs;
    for (int run = 0; run < 5; ++run) {
        void *memory =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return -1;
        const double start = bench::nowMs();
        std::memset(memory, 1, size);
        costs.push_back((bench::nowMs() - start) * 1000 / (size / 4096));
        ::munmap(memory, size);
    }
    return bench::median(costs);
}

struct Series
{
    int count = 0;
    double ms = 0;
    double listingMs = 0;
    double faults = 0;
    qsizetype scriptSize = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--once"))
        return composeOnce(arguments.value(2), arguments.value(3).toInt());
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: quorvantic-bench-compose TREE RUNS\n");
        return 64;
    }
    const QString tree = QDir(arguments.at(1)).absolutePath();
    const int runs = std::max(5, arguments.at(2).toInt());
    if (!makeProducts(tree, 10000)) {
        std::fprintf(stderr, "cannot make the products in %s\n", qPrintable(tree));
        return 1;
    }

    std::vector<Series> results;
    for (int count : {10, 100, 1000, 10000}) {
        std::vector<double> times, listings, faults;
        Series series{count};
        // Run 0 is untimed; small sizes are quick and get more runs.
        const int timed = count >= 1000 ? runs : runs * 3;
        for (int run = 0; run <= timed; ++run) {
            QProcess child;
            child.start(app.applicationFilePath(), {"--once", tree, QString::number(count)});
            if (!child.waitForFinished(-1) || child.exitCode() != 0) {
                std::fprintf(stderr, "a composition failed\n");
                return 1;
            }
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            if (fields.size() != 5 || fields[3].toInt() != count) {
                std::fprintf(stderr, "a composition listed the wrong elements\n");
                return 1;
            }
            series.scriptSize = fields[4].toLongLong();
            if (run == 0)
                continue;
            times.push_back(fields[0].toDouble());
            listings.push_back(fields[1].toDouble());
            faults.push_back(fields[2].toDouble());
        }
        series.ms = bench::median(times);
        series.listingMs = bench::median(listings);
        series.faults = bench::median(faults);
        results.push_back(series);
        std::fprintf(stderr,
                     "%6d elements: %8.3f ms (%.2f us each; listing %.3f ms), %.0f page faults, "
                     "script %lld characters\n",
                     count, series.ms, series.ms * 1000 / count, series.listingMs, series.faults,
                     static_cast<long long>(series.scriptSize));
    }
    const double faultUs = pageFaultCostUs();
    const double per1k = results[2].ms / 1000;
    const double per10k = results[3].ms / 10000;
    const double ratio = per10k / per1k;
    QStringList details;
    for (const Series &series : results)
        details << QString::asprintf("%d: %.2f ms (%.2f us each, %.0f page faults)", series.count,
                                     series.ms, series.ms * 1000 / series.count, series.faults);
    details << QString::asprintf("a first touch of a page costs %.2f us here, so the faults of "
                                 "10,000 take %.1f ms",
                                 faultUs, results[3].faults * faultUs / 1000);
    bench::printFigure(3, "composition scaling",
                       QString::asprintf("%.2fx per element at 10,000 vs 1,000; 10,000 in %.1f ms",
                                         ratio, results[3].ms),
                       "<= 1.2x and < 30 ms", ratio <= 1.2 && results[3].ms < 30,
                       details.join("; "));
    return 0;
}
