// The installer's command line, run as the real executable.
#include "engine/Installer.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runInstaller(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-installer"), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void statusAndMessages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--accept-license"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "quorvantic-installer 1."
                                 << "";
        QTest::newRow("unattended without the agreement") << QStringList{"--unattended"} << 3 << ""
                                                          << "--accept-license";
        QTest::newRow("unknown option") << QStringList{"--install-everything"} << 64 << ""
                                        << "Unknown option 'install-everything'";
        QTest::newRow("stray argument") << QStringList{"--print-script", "extra"} << 64 << ""
                                        << "Unexpected argument: extra";
        QTest::newRow("accept alone") << QStringList{"--accept-license"} << 64 << ""
                                      << "Nothing to do";
        QTest::newRow("two actions") << QStringList{"--license", "--print-script"} << 64 << ""
                                     << "only one";
        QTest::newRow("agreement without unattended")
            << QStringList{"--print-script", "--accept-license"} << 64 << ""
            << "goes with --unattended";
    }
    void statusAndMessages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        const Run run = runInstaller(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.out.contains(stdoutHas.toUtf8()), run.out.constData());
        QVERIFY2(run.err.contains(stderrHas.toUtf8()), run.err.constData());
        // Refusals install nothing and so print no script.
        if (status != 0)
            QVERIFY(!run.out.contains("SCRIPT -- "));
    }

    void refusalNamesTheLicenseOption()
    {
        const Run run = runInstaller({"--unattended"});
        QVERIFY(run.err.contains("--license"));
        QVERIFY(run.out.isEmpty());
    }

    void printedScriptIsTheOneTheWindowComposes()
    {
        const Run run = runInstaller({"--print-script"});
        QCOMPARE(run.status, 0);

        AppSettings settings;
        Installer installer(settings);
        installer.setResourcesFolder(QStringLiteral(QUORVANTIC_RESOURCES_DIR));
        settings.setProducts(installer.productsToInstall());
        QCOMPARE(settings.products().size(), 3);
        const QString composed = installer.composeInstallScript();
        QCOMPARE(QString::fromUtf8(run.out), composed + '\n');
        QVERIFY(composed.contains("Velamorph 4 Lightroom"));
    }

    void licenseIsPrintedAsPlainText()
    {
        const Run run = runInstaller({"--license"});
        QCOMPARE(run.status, 0);
        const QString text = QString::fromUtf8(run.out);
        QVERIFY(text.startsWith("Quorvantic Software License Agreement\n"));
        QVERIFY(text.contains("WITHOUT WARRANTY OF ANY KIND."));
        QVERIFY(!text.contains("\\par"));
        QVERIFY(!text.contains('{'));
    }
};

int main(int argc, char **argv)
{
    // The comparison script uses this user's data folder, as the child does.
    QGuiApplication app(argc, argv);
    TestCommandLine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commandline.moc"
