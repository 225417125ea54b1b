// How an unattended install reads the outcome of its run.
#include "app/UnattendedInstall.h"
#include "engine/Installer.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(UnattendedInstall::Outcome)

class TestUnattendedInstall : public QObject
{
    Q_OBJECT

private slots:
    void outcomes_data()
    {
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("answer"); // "<none>": no result
        QTest::addColumn<QString>("errorInfo");
        QTest::addColumn<UnattendedInstall::Outcome>("outcome");
        QTest::addColumn<QString>("message");
        using O = UnattendedInstall::Outcome;
        QTest::newRow("ok") << true << "Ok"
                            << "" << O::completed << "";
        QTest::newRow("canceled") << true << "User canceled."
                                  << "" << O::canceled << "";
        QTest::newRow("shell error") << true << "cp: No space left on device"
                                     << "" << O::failed << "cp: No space left on device";
        QTest::newRow("ok in other case") << true << "OK"
                                          << "" << O::failed << "OK";
        QTest::newRow("interpreter failure") << true << "<none>"
                                             << "Expected end of line. (error -2741)" << O::failed
                                             << "Expected end of line. (error -2741)";
        QTest::newRow("no script object")
            << false << "<none>"
            << "" << O::failed << "The install script could not be run.";
    }
    void outcomes()
    {
        QFETCH(bool, created);
        QFETCH(QString, answer);
        QFETCH(QString, errorInfo);
        QFETCH(UnattendedInstall::Outcome, outcome);
        QFETCH(QString, message);

        QTemporaryDir resources;
        QVERIFY(QDir().mkpath(resources.path() + "/Products/Calmfield 6/Calmfield 6 Plugin"));
        QVERIFY(QDir().mkpath(resources.path() + "/Products/Velamorph 4"));
        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(resources.path());
        settings.setProducts(installer.productsToInstall());
        QStringList scripts;
        installer.setScriptExecutor([&](const QString &script) {
            scripts.append(script);
            ScriptOutcome run;
            run.created = created;
            if (answer != "<none>")
                run.result = answer;
            if (!errorInfo.isEmpty())
                run.errorInfo = errorInfo;
            return run;
        });

        const UnattendedInstall::Result result = UnattendedInstall::run(installer);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.message, message);
        QCOMPARE(scripts.size(), 1);
        QVERIFY(scripts.first().contains("Calmfield 6 Plugin"));
        // The agreement was given through the page flow, as the window gives it.
        QVERIFY(settings.agreeWithTerms());
        QVERIFY(!settings.showPermanentlyAlert());
        if (outcome == UnattendedInstall::Outcome::completed)
            QCOMPARE(result.products, (QStringList{"Calmfield 6", "Velamorph 4"}));
        else
            QVERIFY(result.products.isEmpty());
    }

    // The products it reports come in the order the window lists them: by
    // scalar value, which puts a character beyond the basic plane after
    // U+FB01, where the folder map's UTF-16 order puts it before.
    void reportsProductsInTheWindowsOrder()
    {
        QTemporaryDir resources;
        const QStringList folders{"\U0001F600 Glow", "\uFB01ne Grain", "alpha"};
        for (const QString &folder : folders)
            QVERIFY(
                QDir().mkpath(resources.path() + "/Products/" + folder + '/' + folder + " Plugin"));
        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(resources.path());
        installer.fillProducts();
        installer.setScriptExecutor([](const QString &) {
            return ScriptOutcome{true, QStringLiteral("Ok"), std::nullopt};
        });
        const UnattendedInstall::Result result = UnattendedInstall::run(installer);
        QCOMPARE(result.outcome, UnattendedInstall::Outcome::completed);
        QCOMPARE(result.products, (QStringList{"alpha", "\uFB01ne Grain", "\U0001F600 Glow"}));
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestUnattendedInstall test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unattendedinstall.moc"
