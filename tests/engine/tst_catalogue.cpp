#include "engine/Installer.h"
#include "engine/Product.h"

#include "../common/CapturedStdout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

namespace {

void makeFolder(const QString &path)
{
    QVERIFY2(QDir().mkpath(path), qPrintable(path));
}

void makeFile(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("x");
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void listing_data()
    {
        // Entries to create in Products: "d:" folder, "f:" file, "l:" link to
        // a folder, "n:" link to nothing; then the products expected.
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two folders and a file")
            << QStringList{"d:Calmfield 6", "d:Velamorph 4", "f:readme.txt"}
            << QStringList{"Calmfield 6", "Velamorph 4"};
        QTest::newRow("hidden folder is a product")
            << QStringList{"d:.hidden", "d:Shown"} << QStringList{".hidden", "Shown"};
        QTest::newRow("links are not products")
            << QStringList{"d:Real", "l:Linked", "n:Dangling"} << QStringList{"Real"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
        QTest::newRow("only one level deep")
            << QStringList{"d:Product/Element/Inner"} << QStringList{"Product"};
        QTest::newRow("names kept verbatim")
            << QStringList{"d:Caf\u00e9 \"quoted\" $x", "d:back\\slash"}
            << QStringList{"Caf\u00e9 \"quoted\" $x", "back\\slash"};
    }
    void listing()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        QTemporaryDir resources;
        const QString products = resources.path() + "/Products";
        makeFolder(products);
        makeFolder(resources.path() + "/elsewhere");
        for (const QString &entry : entries) {
            const QString path = products + '/' + entry.mid(2);
            if (entry.startsWith("d:"))
                makeFolder(path);
            else if (entry.startsWith("f:"))
                makeFile(path);
            else if (entry.startsWith("l:"))
                QVERIFY(QFile::link(resources.path() + "/elsewhere", path));
            else
                QVERIFY(QFile::link(resources.path() + "/missing", path));
        }

        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(resources.path());
        CapturedStdout out;
        const ProductMap map = installer.productsToInstall();
        QCOMPARE(out.text(), QByteArray());

        QStringList expectedKeys;
        for (const QString &name : expected)
            expectedKeys.append(products + '/' + name);
        QCOMPARE(map.keys(), expectedKeys);
        for (bool selected : map)
            QVERIFY(selected);
    }

    void failedListing_data()
    {
        QTest::addColumn<QString>("products"); // what stands at Products: nothing, or a file
        QTest::newRow("missing") << "";
        QTest::newRow("a plain file") << "file";
    }
    void failedListing()
    {
        QFETCH(QString, products);
        QTemporaryDir resources;
        if (products == "file")
            makeFile(resources.path() + "/Products");
        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(resources.path());
        CapturedStdout out;
        QVERIFY(installer.productsToInstall().isEmpty());
        const QList<QByteArray> lines = out.text().split('\n');
        QCOMPARE(lines.size(), 2); // one line, then nothing after its line feed
        QVERIFY2(lines[0].startsWith("Fail__ ") && lines[0].size() > 7, lines[0].constData());
        QVERIFY(lines[0].contains("/Products"));
        QVERIFY(lines[1].isEmpty());
    }

    void productsToInstallLeavesStateAlone()
    {
        QTemporaryDir resources;
        makeFolder(resources.path() + "/Products/One");
        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(resources.path());
        int changes = 0;
        connect(&s, &AppSettings::objectWillChange, this, [&] { ++changes; });
        QCOMPARE(installer.productsToInstall().size(), 1);
        QCOMPARE(changes, 0);
        QVERIFY(s.products().isEmpty());
    }

    void userDataFolder_data()
    {
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("xdg set") << QByteArray("/data/me") << QByteArray("/home/me") << "/data/me";
        QTest::newRow("xdg with trailing slash")
            << QByteArray("/data/me/") << QByteArray("/home/me") << "/data/me";
        QTest::newRow("xdg unset")
            << QByteArray() << QByteArray("/home/me") << "/home/me/.local/share";
        QTest::newRow("xdg relative")
            << QByteArray("data/me") << QByteArray("/home/me") << "/home/me/.local/share";
        QTest::newRow("nothing usable") << QByteArray("rel") << QByteArray() << QString();
    }
    void userDataFolder()
    {
        QFETCH(QByteArray, xdg);
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        QCOMPARE(Product::userDataFolder(xdg, home), expected);
    }

    // The constants are computed once per process, so they are read here with
    // the environment this test set before anything else read them.
    void derivedLocations()
    {
        QCOMPARE(Product::appQuorvantic(), QStringLiteral("/opt/Quorvantic/"));
        QCOMPARE(Product::appSuppQuorvantic(),
                 QStringLiteral("/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/"));
        QCOMPARE(
            Product::appSuppQuorvanticVideo(),
            QStringLiteral("/usr/local/share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/"));
        QCOMPARE(Product::userAppSuppLR(), QStringLiteral("/tmp/quorvantic-xdg/Adobe/Lightroom/"));
        qputenv("XDG_DATA_HOME", "/elsewhere");
        QCOMPARE(Product::userAppSuppLR(), QStringLiteral("/tmp/quorvantic-xdg/Adobe/Lightroom/"));
    }

    void locationsAreComputedOnceAcrossThreads()
    {
        QList<const QString *> seen(8, nullptr);
        std::vector<std::thread> threads;
        threads.reserve(8);
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&seen, i] { seen[i] = &Product::appSuppQuorvanticVideo(); });
        for (std::thread &t : threads)
            t.join();
        for (const QString *value : seen)
            QCOMPARE(value, &Product::appSuppQuorvanticVideo());
    }
};

int main(int argc, char **argv)
{
    qputenv("XDG_DATA_HOME", "/tmp/quorvantic-xdg");
    QGuiApplication app(argc, argv);
    TestCatalogue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_catalogue.moc"
