#include "engine/InstallScriptComposer.h"
#include "engine/Installer.h"

#include "../common/CapturedStdout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool makeEntry(const QString &root, const QString &entry)
{
    const QString path = root + '/' + entry.mid(2);
    if (entry.startsWith("d:"))
        return QDir().mkpath(path);
    if (entry.startsWith("l:"))
        return QDir().mkpath(root + "/elsewhere") && QFile::link(root + "/elsewhere", path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

class TestInstallation : public QObject
{
    Q_OBJECT

private slots:
    void elementsToCopy_data()
    {
        // Entries to make ("d:" folder, "f:" file, "l:" link to a folder),
        // the product map ("-" before a name: not selected), the elements
        // expected and the products whose listing fails.
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("products");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("unselected product skipped")
            << QStringList{"d:A/one", "d:B/two"} << QStringList{"A", "-B"} << QStringList{"A/one"}
            << QStringList{};
        QTest::newRow("files and links skipped, hidden folders kept")
            << QStringList{"d:A/.hidden", "d:A/shown", "f:A/readme.txt", "l:A/linked"}
            << QStringList{"A"} << QStringList{"A/.hidden", "A/shown"} << QStringList{};
        QTest::newRow("products in order, then each listing sorted")
            << QStringList{"d:B/z", "d:B/a", "d:A/m"} << QStringList{"B", "A"}
            << QStringList{"A/m", "B/a", "B/z"} << QStringList{};
        QTest::newRow("only one level below the product")
            << QStringList{"d:A/e/inner"} << QStringList{"A"} << QStringList{"A/e"}
            << QStringList{};
        QTest::newRow("missing product folder fails alone")
            << QStringList{"d:B/e", "d:C/f"} << QStringList{"A", "B", "C"}
            << QStringList{"B/e", "C/f"} << QStringList{"A"};
        QTest::newRow("product that is a file fails alone")
            << QStringList{"f:A", "d:B/e"} << QStringList{"A", "B"} << QStringList{"B/e"}
            << QStringList{"A"};
        QTest::newRow("empty products")
            << QStringList{"d:A"} << QStringList{"A"} << QStringList{} << QStringList{};
        QTest::newRow("nothing selected")
            << QStringList{"d:A/e"} << QStringList{"-A"} << QStringList{} << QStringList{};
    }
    void elementsToCopy()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, products);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, failing);
        QTemporaryDir tmp;
        const QString root = tmp.path();
        for (const QString &entry : entries)
            QVERIFY2(makeEntry(root, entry), qPrintable(entry));
        ProductMap map;
        for (const QString &product : products) {
            const bool selected = !product.startsWith('-');
            map.insert(root + '/' + (selected ? product : product.mid(1)), selected);
        }
        AppSettings s;
        Installer installer(s);
        s.setProducts(map);

        CapturedStdout out;
        const QStringList elements = installer.elementsToCopy();
        const QList<QByteArray> lines = out.text().split('\n');

        QStringList expectedPaths;
        for (const QString &e : expected)
            expectedPaths.append(root + '/' + e);
        QCOMPARE(elements, expectedPaths);
        QCOMPARE(lines.size(), failing.size() + 1);
        for (qsizetype i = 0; i < failing.size(); ++i) {
            QVERIFY2(lines[i].startsWith("Fail__ ") &&
                         lines[i].contains((root + '/' + failing[i] + '"').toUtf8()),
                     lines[i].constData());
        }
        QVERIFY(lines.last().isEmpty());
    }

    // The whole operation: one SCRIPT line holding the script the runner is
    // given, composed for GNU userland at the Linux locations.
    void installSelectedProducts()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path();
        QVERIFY(makeEntry(root, "d:Calmfield 6/Calmfield 6 Plugin"));
        QVERIFY(makeEntry(root, "d:Velamorph 4/Velamorph 4 Lightroom"));
        AppSettings s;
        Installer installer(s);
        s.setProducts({{root + "/Calmfield 6", true}, {root + "/Velamorph 4", true}});
        auto given = std::make_shared<QStringList>();
        installer.setScriptExecutor([given](const QString &script) {
            given->append(script);
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });

        CapturedStdout out;
        installer.installSelectedProducts();
        QTRY_COMPARE(s.currentPage(), Page::summary);
        const QByteArray printed = out.text();

        QCOMPARE(given->size(), 1);
        const QString script = given->first();
        QCOMPARE(printed, "SCRIPT -- " + script.toUtf8() + "\nERROR VALUE Ok\n");
        const InstallLocations linux{
            "/opt/Quorvantic/", "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/",
            "/usr/local/share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/",
            "/tmp/quorvantic-xdg/Adobe/Lightroom/"};
        QCOMPARE(script,
                 InstallScriptComposer::compose({root + "/Calmfield 6/Calmfield 6 Plugin",
                                                 root + "/Velamorph 4/Velamorph 4 Lightroom"},
                                                linux, ShellDialect::gnu));
        QVERIFY(!s.completedWithErrors());
    }
};

int main(int argc, char **argv)
{
    qputenv("XDG_DATA_HOME", "/tmp/quorvantic-xdg");
    QGuiApplication app(argc, argv);
    TestInstallation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installation.moc"
