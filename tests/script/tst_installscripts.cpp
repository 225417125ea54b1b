#include "helper/HelperServer.h"
#include "script/InstallOperationShell.h"
#include "script/Interpreter.h"
#include "script/LocalShell.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    if (!QDir().mkpath(to))
        return false;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(source, target))
            return false;
    }
    return true;
}

QString userName()
{
    return QString::fromStdString(
        helper::invokingUser(std::to_string(::geteuid()).c_str()).value_or("nobody"));
}

} // namespace

// The two install scripts the installer composes, with every location moved
// into a temporary folder, run for real: each administrator line as a shell
// command of this user, or as the install operation the helper performs
// (helper/InstallOperations.h), which the real helper does for the system's
// folders in the end-to-end sandbox.
class TestInstallScripts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_products, m_app, m_supp, m_video, m_lr;

    EvaluationContext context(bool asOperations) const
    {
        EvaluationContext context;
        context.policy = AutomationPolicy::platformDefault();
        const QString user = userName();
        // The user's lines give their folders to $USER, which a test run may lack.
        context.makeUserShell = [user] {
            return std::make_unique<LocalShell>(QMap<QString, QString>{{"USER", user}});
        };
        if (asOperations) {
            const helper::InstallRoots roots{m_products.toStdString(),
                                             m_app.toStdString(),
                                             {m_supp.toStdString(), m_video.toStdString()}};
            const std::string receipts = (m_root.path() + "/receipts/").toStdString();
            context.makeAdministratorShell = [roots, receipts] {
                return std::make_unique<InstallOperationShell>(roots, receipts);
            };
        } else {
            context.makeAdministratorShell = [user] {
                return std::make_unique<LocalShell>(QMap<QString, QString>{{"USER", user}});
            };
        }
        return context;
    }

    QString script(const QString &name) const
    {
        QString text = QString::fromUtf8(
            readBytes(QStringLiteral(QUORVANTIC_SOURCE_DIR "/tests/script/install/") + name));
        text.replace("@PRODUCTS@", m_products);
        text.replace("@APP@", m_app);
        text.replace("@SUPP@", m_supp);
        text.replace("@VIDEO@", m_video);
        text.replace("@LR@", m_lr);
        return text;
    }

    void addShellRows(const char *name)
    {
        QTest::newRow(qPrintable(QString(name) + " as this user")) << false;
        QTest::newRow(qPrintable(QString(name) + " as install operations")) << true;
    }

private slots:
    void init()
    {
        QVERIFY(m_root.isValid());
        QDir(m_root.path()).removeRecursively();
        m_products = m_root.filePath("bundle/Products");
        QVERIFY(copyTree(QStringLiteral(QUORVANTIC_SOURCE_DIR "/bundle/resources/Products"),
                         m_products));
        m_app = m_root.filePath("opt/Quorvantic/");
        m_supp = m_root.filePath("share/Adobe/Plug-Ins/CC/Quorvantic/");
        m_video = m_root.filePath("share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/");
        m_lr = m_root.filePath("home/.local/share/Adobe/Lightroom/");
    }

    void pluginAndLightroom_data()
    {
        QTest::addColumn<bool>("asOperations");
        addShellRows("plug-in and Lightroom");
    }
    void pluginAndLightroom()
    {
        QFETCH(bool, asOperations);
        const Interpreter interpreter(context(asOperations));
        const QString source = script("plugin-and-lightroom.applescript");

        // A second run over the first must answer "Ok" too and leave the links
        // where they were, not inside the linked folders.
        for (int run = 0; run < 2; ++run) {
            const ScriptRun result = interpreter.run(source);
            QVERIFY2(!result.error, qPrintable(result.error ? result.error->description() : ""));
            QCOMPARE(result.result.value_or("<none>"), QStringLiteral("Ok"));
        }

        const QString element = m_app + "Velamorph 4 Lightroom";
        QCOMPARE(readBytes(m_app + "Calmfield 6 Plugin/Contents/Info.txt"),
                 readBytes(m_products + "/Calmfield 6/Calmfield 6 Plugin/Contents/Info.txt"));
        QCOMPARE(QFileInfo(m_supp + "Calmfield 6 Plugin").symLinkTarget(),
                 m_app + "Calmfield 6 Plugin");
        QCOMPARE(QFileInfo(m_lr + "Modules/velamorph4.lrdevplugin").symLinkTarget(),
                 element + "/velamorph4.lrdevplugin");
        QVERIFY(!QFileInfo::exists(element + "/velamorph4.lrdevplugin/velamorph4.lrdevplugin"));
        QVERIFY(!QFileInfo::exists(m_app + "Calmfield 6 Plugin/Calmfield 6 Plugin"));
        QCOMPARE(readBytes(element + "/velamorph4.lrdevplugin/Path.txt"),
                 (element + "\n").toUtf8());
        QCOMPARE(
            readBytes(m_lr + "Export Presets/Quorvantic Velamorph 4/Velamorph 4 - Web.lrtemplate"),
            readBytes(m_products + "/Velamorph 4/Velamorph 4 Lightroom/Quorvantic Velamorph "
                                   "4/Velamorph 4 - Web.lrtemplate"));
        const QByteArray preset =
            "s = {id = \"3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071\",internalName = \"Quorvantic "
            "Velamorph 4\",title = \"Quorvantic Velamorph 4\",type = \"ExternalEditor\",value = {\n"
            "externalEditingFormat = \"TIFF_None_16_ProPhotoRGB\",externalEditingFormat_dpi = "
            "240,externalEditorFullPath = \"" +
            element.toUtf8() + "/Velamorph4.app\",\n},version = 0,}\n";
        QCOMPARE(readBytes(m_lr +
                           "External Editor Presets/Quorvantic/Quorvantic Velamorph 4.lrtemplate"),
                 preset);
        QCOMPARE(QFileInfo(m_lr + "Modules").owner(), userName());
    }

    void video_data()
    {
        QTest::addColumn<bool>("asOperations");
        addShellRows("video");
    }
    void video()
    {
        QFETCH(bool, asOperations);
        QVERIFY(QDir().mkpath(m_video + "Ambrelux2.plugin/Contents"));
        QVERIFY(QDir().mkpath(m_video + "Velamorph2.plugin"));
        QVERIFY(QDir().mkpath(m_video + "Ambrelux.plugin"));
        const Interpreter interpreter(context(asOperations));
        for (int run = 0; run < 2; ++run)
            QCOMPARE(interpreter.run(script("video.applescript")).result,
                     std::optional<QString>("Ok"));
        QVERIFY(!QFileInfo::exists(m_video + "Ambrelux2.plugin"));
        QVERIFY(!QFileInfo::exists(m_video + "Velamorph2.plugin"));
        QVERIFY(QFileInfo::exists(m_video + "Ambrelux.plugin"));
        QCOMPARE(QFileInfo(m_video + "Calmfield Video Plugin 2").symLinkTarget(),
                 m_app + "Calmfield Video Plugin 2");
        QVERIFY(QFileInfo::exists(m_video + "Calmfield Video Plugin 2/Contents/Info.txt"));
    }

    // A Lightroom element without its export presets: the copy line fails,
    // the trap answers its message, and only the lines before it took effect.
    void failingLine_data()
    {
        QTest::addColumn<bool>("asOperations");
        addShellRows("missing presets");
    }
    void failingLine()
    {
        QFETCH(bool, asOperations);
        QVERIFY(QDir(m_products + "/Velamorph 4/Velamorph 4 Lightroom/Quorvantic Velamorph 4")
                    .removeRecursively());
        const ScriptRun run =
            Interpreter(context(asOperations)).run(script("plugin-and-lightroom.applescript"));
        QVERIFY(!run.error);
        QVERIFY(run.result);
        QVERIFY2(run.result->startsWith("cp: cannot stat '" + m_app +
                                        "Velamorph 4 Lightroom/Quorvantic Velamorph 4/.'"),
                 qPrintable(*run.result));
        QVERIFY(!run.result->endsWith('\n'));
        QVERIFY(QFileInfo(m_supp + "Calmfield 6 Plugin").isSymLink());
        QVERIFY(QFileInfo::exists(m_lr + "Export Presets/Quorvantic Velamorph 4"));
        QVERIFY(!QFileInfo::exists(m_lr + "Modules"));
    }
};

QTEST_GUILESS_MAIN(TestInstallScripts)
#include "tst_installscripts.moc"
