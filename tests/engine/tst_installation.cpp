#include "engine/InstallScriptComposer.h"
#include "engine/Installer.h"

#include "../common/CapturedStdout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

    // The run's user side keeps its journal in the user's store, which the
    // installer holds locked while the script runs; a journal a killed run
    // left there is undone first, and the run's answer says so before its own.
    void theUserSideJournalsInTheLockedStore_data()
    {
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("a fresh store") << false;
        QTest::newRow("an earlier run interrupted") << true;
    }
    void theUserSideJournalsInTheLockedStore()
    {
        QFETCH(bool, interrupted);
        QTemporaryDir tmp;
        const QString root = tmp.path();
        QVERIFY(makeEntry(root, "d:Calmfield 6/Calmfield 6 Plugin"));
        const QString store = root + "/state/receipts/";
        QVERIFY(QDir().mkpath(store));
        if (interrupted) {
            QFile journal(store + "transaction.journal");
            QVERIFY(journal.open(QIODevice::WriteOnly) &&
                    journal.write("quorvantic-journal 1 4242\n") > 0);
        }
        AppSettings s;
        Installer installer(s);
        installer.receipts().setFolders(root + "/system/", store);
        s.setProducts({{root + "/Calmfield 6", true}});
        auto given = std::make_shared<QString>();
        auto locked = std::make_shared<bool>(false);
        installer.setScriptExecutor([given, locked](const QString &, const ScriptHooks &hooks) {
            *given = hooks.userJournalFolder;
            const int fd = ::open(QFile::encodeName(hooks.userJournalFolder).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            *locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            if (fd >= 0)
                ::close(fd);
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        CapturedStdout out;
        installer.installSelectedProducts();
        QTRY_COMPARE(s.currentPage(), Page::summary);
        QCOMPARE(*given, store);
        QVERIFY(*locked);
        QVERIFY(!QFileInfo::exists(store + "transaction.journal"));
        // The earlier run was undone first; this one's answer is its own.
        QVERIFY2(out.text().contains("ERROR VALUE Ok\n"), qPrintable(out.text()));
    }

    // What keeps an install from running, or from reading as a success. The
    // products sit in a resources folder's "Products"; "!" before a product
    // name puts it in the map without its folder (it cannot be listed).
    void honestOutcomes_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("products");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QString>("log");
        QTest::newRow("installs") << QStringList{"d:Products/A/A Plugin"} << QStringList{"A"}
                                  << true << "";
        QTest::newRow("no product")
            << QStringList{"d:Products"} << QStringList{} << false
            << "There is nothing to install: \"@/Products\" holds no product.";
        QTest::newRow("no Products folder")
            << QStringList{} << QStringList{} << false
            << "The folder \"@/Products\" could not be listed: No such file or directory";
        QTest::newRow("products without elements")
            << QStringList{"d:Products/A", "d:Products/B"} << QStringList{"A", "B"} << false
            << "There is nothing to install: the products hold no element folder.";
        QTest::newRow("one product unreadable, the other installs")
            << QStringList{"d:Products/A/A Plugin"} << QStringList{"A", "!Gone"} << true
            << "The other products were installed; these could not be read:\nThe folder "
               "\"@/Products/Gone\" could not be listed: No such file or directory";
        QTest::newRow("every product unreadable")
            << QStringList{"d:Products/A"} << QStringList{"!Gone"} << false
            << "The folder \"@/Products/Gone\" could not be listed: No such file or directory";
        QTest::newRow("an element name that is not UTF-8")
            << QStringList{"d:Products/A/A Plugin", "d:Products/B/B%ff%fePlugin"}
            << QStringList{"A", "B"} << false
            << "The element folder \"B\\xff\\xfePlugin\" of \"@/Products/B\" has a name that is "
               "not UTF-8; nothing was installed.";
    }
    void honestOutcomes()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, products);
        QFETCH(bool, runs);
        QFETCH(QString, log);
        QTemporaryDir tmp;
        const QString root = tmp.path();
        for (const QString &entry : entries) {
            // "%ff" in an entry is the byte 0xff: names need not be UTF-8.
            const QByteArray path = QFile::encodeName(root) + '/' +
                                    QByteArray::fromPercentEncoding(entry.mid(2).toUtf8());
            for (qsizetype at = path.indexOf('/', 1); at > 0; at = path.indexOf('/', at + 1))
                ::mkdir(path.left(at).constData(), 0755);
            QVERIFY(::mkdir(path.constData(), 0755) == 0 || errno == EEXIST);
        }
        AppSettings s;
        Installer installer(s);
        installer.setResourcesFolder(root);
        ProductMap map;
        for (const QString &product : products)
            map.insert(root + "/Products/" + QString(product).remove('!'), true);
        s.setProducts(map);
        s.setCurrentPage(Page::install);
        int ran = 0;
        installer.setScriptExecutor([&ran](const QString &) {
            ++ran;
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        CapturedStdout out;
        installer.installSelectedProducts();
        QTRY_COMPARE(s.currentPage(), Page::summary);
        QProcess::execute("rm", {"-rf", "--", root + "/Products"});
        QCOMPARE(ran, runs ? 1 : 0);
        QCOMPARE(s.completedWithErrors(), !log.isEmpty());
        QCOMPARE(s.logDetailsStr(), QString(log).replace('@', root));
        // Each product that could not be listed is still reported as before.
        for (const QString &product : products)
            if (product.startsWith('!'))
                QVERIFY(out.text().contains("Fail__ The folder \"" +
                                            (root + "/Products/" + product.mid(1)).toUtf8()));
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
