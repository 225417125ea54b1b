#include "InstallBundle.h"

#include "HelperBundle.h"
#include "Measure.h"

#include "engine/InterpreterExecutor.h"
#include "engine/Product.h"
#include "script/Interpreter.h"
#include "script/PrivilegedSession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace bench {

namespace {

constexpr int filesPerElement = 250;
const QString bundleStamp = QStringLiteral(".bench-bundle-v2");

// The three kinds, as the composer tells them apart by name.
const std::vector<BundleElement> elements = {
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

QString fileFolder(const BundleElement &element, int index)
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

} // namespace

const std::vector<BundleElement> &bundleElements()
{
    return elements;
}

bool makeInstallBundle(const QString &root)
{
    if (QFile::exists(root + '/' + bundleStamp))
        return true;
    QDir(root).removeRecursively();
    std::fprintf(stderr, "making the bundle in %s\n", qPrintable(root));
    const QString products = bundleResources(root) + "/Products/";
    quint64 state = 0x9e3779b97f4a7c15ULL;
    QByteArray block(8 * 1048576, Qt::Uninitialized);
    for (qsizetype i = 0; i + 8 <= block.size(); i += 8) {
        const quint64 value = nextRandom(state);
        std::memcpy(block.data() + i, &value, 8);
    }
    for (const BundleElement &element : elements) {
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
bool emptyInstallDestinations()
{
    for (const QString &folder : {Product::applications(), Product::applicationSupport(),
                                  Product::userApplicationSupport()}) {
        const QDir dir(folder);
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (timedRun("/bin/rm", {"-rf", "--", dir.filePath(entry)}) < 0)
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

} // namespace bench
