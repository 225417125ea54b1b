// Products of one bundle that carry element folders of the same name: they
// would land in one folder of the app folder, so nothing is installed.
#include "engine/ElementOwners.h"
#include "engine/Installer.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

class TestElementOwners : public QObject
{
    Q_OBJECT

private slots:
    void sharedNames_data()
    {
        // Element folders to make below "Products" ("Product/Element"), and
        // the refusal expected, empty where the bundle installs.
        QTest::addColumn<QStringList>("elements");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no name shared")
            << QStringList{"Alpha 1/Alpha Plugin", "Beta 1/Beta Plugin", "Beta 1/Beta Video Plugin"}
            << "";
        QTest::newRow("two products share one")
            << QStringList{"Alpha 1/Own Plugin", "Alpha 1/Shared Plugin", "Beta 1/Shared Plugin"}
            << "The products \"Alpha 1\" and \"Beta 1\" both hold an element folder named "
               "\"Shared Plugin\"; nothing was installed.";
        QTest::newRow("three products share one")
            << QStringList{"Alpha 1/Shared Plugin", "Beta 1/Shared Plugin",
                           "Gamma 1/Shared Plugin"}
            << "The products \"Alpha 1\", \"Beta 1\" and \"Gamma 1\" all hold an element folder "
               "named \"Shared Plugin\"; nothing was installed.";
        QTest::newRow("the first shared name in product order")
            << QStringList{"Alpha 1/B Plugin", "Alpha 1/Z Plugin", "Beta 1/A Plugin",
                           "Beta 1/Z Plugin", "Gamma 1/B Plugin"}
            << "The products \"Alpha 1\" and \"Gamma 1\" both hold an element folder named "
               "\"B Plugin\"; nothing was installed.";
        // Different folders on Linux, so different copies in the app folder.
        QTest::newRow("names differing only in case")
            << QStringList{"Alpha 1/Shared Plugin", "Beta 1/shared plugin"} << "";
        QTest::newRow("composed and decomposed accents")
            << QStringList{"Alpha 1/Caf\u00e9 Plugin", "Beta 1/Cafe\u0301 Plugin"} << "";
        QTest::newRow("hidden folders shared")
            << QStringList{"Alpha 1/.support", "Beta 1/.support"}
            << "The products \"Alpha 1\" and \"Beta 1\" both hold an element folder named "
               "\".support\"; nothing was installed.";
        QTest::newRow("a hidden folder beside a shown one")
            << QStringList{"Alpha 1/.Plugin", "Beta 1/Plugin"} << "";
    }
    void sharedNames()
    {
        QFETCH(QStringList, elements);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString &element : elements)
            QVERIFY(QDir().mkpath(dir.filePath("Products/" + element)));

        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(dir.path());
        settings.setProducts(installer.productsToInstall());
        settings.setCurrentPage(Page::install);
        QCOMPARE(ElementOwners::sharedNameProblem(installer.elementsToCopy()), refusal);
        QCOMPARE(installer.refusal(), refusal);

        // The window's install: refused before anything runs, on the summary.
        int ran = 0;
        installer.setScriptExecutor([&ran](const QString &) {
            ++ran;
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        installer.installSelectedProducts();
        QTRY_COMPARE(settings.currentPage(), Page::summary);
        QCOMPARE(ran, refusal.isEmpty() ? 1 : 0);
        QCOMPARE(settings.completedWithErrors(), !refusal.isEmpty());
        QCOMPARE(settings.logDetailsStr(), refusal);
    }
};

int main(int argc, char **argv)
{
    // Whatever the data folder says, nothing runs: the executor only counts.
    qputenv("XDG_DATA_HOME", "/tmp/quorvantic-xdg");
    QGuiApplication app(argc, argv);
    TestElementOwners test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_elementowners.moc"
