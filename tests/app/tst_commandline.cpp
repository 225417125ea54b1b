// The installer's command line, run as the real executable.
#include "engine/Installer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

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

    // An action whose output is lost has not been done.
    void lostOutputFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("script") << QStringList{"--print-script"};
        QTest::newRow("licence") << QStringList{"--license"};
        QTest::newRow("help") << QStringList{"--help"};
        QTest::newRow("version") << QStringList{"--version"};
    }
    void lostOutputFails()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        process.start(QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-installer"), arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
    }

    // A bundle that cannot be installed from as it is: said, with status 64,
    // before anything is asked or run. The installer runs from a copy of the
    // bundle laid out for each case, and as an unprivileged user where the
    // tests run as root, so that nothing could reach the system's folders.
    void unusableBundle_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("message");
        QTest::newRow("no resources folder")
            << QStringList{} << "Installation failed: the licence could not be read from";
        QTest::newRow("no licence") << QStringList{"Products/A/A Plugin/"}
                                    << "Installation failed: the licence could not be read from";
        QTest::newRow("no Products folder")
            << QStringList{"QuorvanticEULA.rtf"}
            << "Installation failed: The folder \"@/Products\" could not be listed";
        QTest::newRow("no product")
            << QStringList{"QuorvanticEULA.rtf", "Products/"}
            << "Installation failed: There is nothing to install: \"@/Products\" holds no product.";
    }
    void unusableBundle()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, message);
        QTemporaryDir bundle;
        QVERIFY(QDir().mkpath(bundle.filePath("usr/bin")));
        const QString installer = bundle.filePath("usr/bin/quorvantic-installer");
        QVERIFY(QFile::copy(QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-installer"), installer));
        const QString resources = bundle.filePath("usr/share/quorvantic-installer");
        for (const QString &entry : entries) {
            const QString path = resources + '/' + entry;
            if (entry.endsWith('/'))
                QVERIFY(QDir().mkpath(path));
            else
                QVERIFY(QDir().mkpath(QFileInfo(path).path()) &&
                        QFile::copy(QStringLiteral(QUORVANTIC_RESOURCES_DIR "/") + entry, path));
        }
        QVERIFY(QProcess::execute("chmod", {"-R", "a+rX", bundle.path()}) == 0);
        QStringList command{installer, "--unattended", "--accept-license"};
        if (::geteuid() == 0)
            command =
                QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} +
                command;
        QProcess process;
        process.start(command.takeFirst(), command);
        QVERIFY(process.waitForFinished(60000));
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 64);
        QVERIFY2(err.contains(QString(message).replace('@', resources).toUtf8()), err.constData());
        QVERIFY(!process.readAllStandardOutput().contains("SCRIPT -- "));
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
