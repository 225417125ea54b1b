// The installer's command line, run as the real executable.
#include "../common/ScopedVariable.h"
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

struct Invocation
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Invocation runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    Invocation run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

Invocation runInstaller(const QStringList &arguments)
{
    return runProgram(QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-installer"), arguments);
}

// A copy of the installer in a bundle laid out with `entries` below its
// resources folder ("/" at the end: a folder; else a file copied from the
// demo resources). Returns the resources folder.
QString makeBundle(const QTemporaryDir &bundle, const QStringList &entries)
{
    QDir().mkpath(bundle.filePath("usr/bin"));
    QFile::copy(QStringLiteral(QUORVANTIC_BIN_DIR "/quorvantic-installer"),
                bundle.filePath("usr/bin/quorvantic-installer"));
    const QString resources = bundle.filePath("usr/share/quorvantic-installer");
    for (const QString &entry : entries) {
        const QString path = resources + '/' + entry;
        if (entry.endsWith('/'))
            QDir().mkpath(path);
        else if (QDir().mkpath(QFileInfo(path).path()))
            QFile::copy(QStringLiteral(QUORVANTIC_RESOURCES_DIR "/") + entry, path);
    }
    QProcess::execute("chmod", {"-R", "a+rX", bundle.path()});
    return resources;
}

// Runs the bundle's installer; as an unprivileged user where the tests run as
// root, so that nothing could reach the system's folders.
Invocation runBundled(const QTemporaryDir &bundle, const QStringList &arguments)
{
    QStringList command = QStringList{bundle.filePath("usr/bin/quorvantic-installer")} + arguments;
    if (::geteuid() == 0)
        command =
            QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command;
    const QString program = command.takeFirst();
    return runProgram(program, command);
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
        const Invocation run = runInstaller(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.out.contains(stdoutHas.toUtf8()), run.out.constData());
        QVERIFY2(run.err.contains(stderrHas.toUtf8()), run.err.constData());
        // Refusals install nothing and so print no script.
        if (status != 0)
            QVERIFY(!run.out.contains("SCRIPT -- "));
    }

    void refusalNamesTheLicenseOption()
    {
        const Invocation run = runInstaller({"--unattended"});
        QVERIFY(run.err.contains("--license"));
        QVERIFY(run.out.isEmpty());
    }

    void printedScriptIsTheOneTheWindowComposes()
    {
        const Invocation run = runInstaller({"--print-script"});
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
        const Invocation run = runInstaller({"--license"});
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
    // bundle laid out for each case.
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
        QTest::newRow("a product without elements")
            << QStringList{"QuorvanticEULA.rtf", "Products/A/", "Products/B/"}
            << "Installation failed: There is nothing to install: the products hold no element "
               "folder.";
        QTest::newRow("two products sharing an element name")
            << QStringList{"QuorvanticEULA.rtf", "Products/Alpha 1/Shared Plugin/",
                           "Products/Beta 1/Shared Plugin/"}
            << "Installation failed: The products \"Alpha 1\" and \"Beta 1\" both hold an "
               "element folder named \"Shared Plugin\"; nothing was installed.";
    }
    void unusableBundle()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, message);
        QTemporaryDir bundle;
        const QString resources = makeBundle(bundle, entries);
        const Invocation run = runBundled(bundle, {"--unattended", "--accept-license"});
        QCOMPARE(run.status, 64);
        QVERIFY2(run.err.contains(QString(message).replace('@', resources).toUtf8()),
                 run.err.constData());
        QVERIFY(!run.out.contains("SCRIPT -- "));
    }

    // --print-script prints no script for a bundle the install would refuse,
    // but why, with the unattended install's status.
    void printScriptRefuses_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("message");
        QTest::newRow("no product") << QStringList{"Products/"}
                                    << "No install script: There is nothing to install: "
                                       "\"@/Products\" holds no product.\n";
        QTest::newRow("a product without elements")
            << QStringList{"Products/Alpha 1/"}
            << "No install script: There is nothing to install: the products hold no element "
               "folder.\n";
        QTest::newRow("two products sharing an element name")
            << QStringList{"Products/Alpha 1/Shared Plugin/", "Products/Alpha 1/Alpha Plugin/",
                           "Products/Beta 1/Shared Plugin/"}
            << "No install script: The products \"Alpha 1\" and \"Beta 1\" both hold an element "
               "folder named \"Shared Plugin\"; nothing was installed.\n";
    }
    void printScriptRefuses()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, message);
        QTemporaryDir bundle;
        const QString resources = makeBundle(bundle, entries);
        const Invocation run = runBundled(bundle, {"--print-script"});
        QCOMPARE(run.status, 64);
        // Qt may say something of its own first.
        QVERIFY2(run.err.endsWith(QString(message).replace('@', resources).toUtf8()),
                 run.err.constData());
        QCOMPARE(run.out, QByteArray());
    }

    // --verify fails while a run stands unfinished in the user's receipts,
    // naming its journal; the folder alone is no such run.
    void verifyNamesAnUnfinishedRun_data()
    {
        QTest::addColumn<bool>("journal");
        QTest::addColumn<int>("status");
        QTest::newRow("a journal") << true << 1;
        QTest::newRow("none") << false << 0;
    }
    void verifyNamesAnUnfinishedRun()
    {
        QFETCH(bool, journal);
        QFETCH(int, status);
        QTemporaryDir bundle;
        makeBundle(bundle, {});
        const QString receipts = bundle.filePath("state/quorvantic-installer/receipts");
        QVERIFY(QDir().mkpath(receipts));
        if (journal) {
            QFile file(receipts + "/transaction.journal");
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (::geteuid() == 0) // runBundled runs it as nobody, who must own the state folder
            QCOMPARE(QProcess::execute("chown", {"-R", "nobody:nogroup", bundle.filePath("state")}),
                     0);
        const ScopedVariable state("XDG_STATE_HOME", bundle.filePath("state").toUtf8());
        const Invocation run = runBundled(bundle, {"--verify"});
        QCOMPARE(run.status, status);
        const QByteArray line =
            "An installer run was interrupted and is not finished: " + receipts.toUtf8() +
            "/transaction.journal. The next run of the installer undoes it.\n";
        QVERIFY2(run.out.contains(line) == journal, run.out.constData());
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
