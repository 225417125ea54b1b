#include "engine/InstallScriptComposer.h"

#include "InstallScriptText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ShellDialect)

namespace {

const InstallLocations shortLocations{"/A/", "/S/", "/V/", "/L/"};

const InstallLocations macLocations{
    "/Applications/Quorvantic/",
    "/Library/Application Support/Adobe/Plug-Ins/CC/Quorvantic/",
    "/Library/Application Support/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/",
    "/Users/user/Library/Application Support/Adobe/Lightroom/",
};

const QString macBundle =
    "/Volumes/Calmfield/Quorvantic Plugin Installer.app/Contents/Resources/Products/";

QString readData(const QString &name)
{
    QFile file(QStringLiteral(QUORVANTIC_SOURCE_DIR "/tests/engine/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// One token per command line: "#" for a privileged line, "$" for one run as
// the user, the command's name, and which location its last operand lies in.
QStringList signature(const QString &script, const InstallLocations &loc)
{
    const ParsedScript parsed = parseInstallScript(script);
    if (!parsed.ok)
        return {QStringLiteral("unparsable: ") + parsed.error};
    QStringList tokens;
    for (const ScriptLine &line : parsed.lines) {
        const QStringList words = shellWords(line.command);
        const QString &last = words.last();
        QString tag = QStringLiteral("?");
        const QList<QPair<QString, QString>> places{
            {loc.app, "A"}, {loc.supp, "S"}, {loc.video, "V"}, {loc.lr, "L"}};
        for (const auto &[prefix, name] : places)
            if (last.startsWith(prefix))
                tag = name;
        tokens.append((line.privileged ? "# " : "$ ") + words.first() + ' ' + tag);
    }
    return tokens;
}

const QStringList pluginFirst{"# mkdir S", "# cp A", "# ln S"};
const QStringList plugin{"# cp A", "# ln S"};
const QStringList videoFirst{"# mkdir V", "# cp A", "# rm V", "# rm V", "# ln V"};
const QStringList video{"# cp A", "# rm V", "# rm V", "# ln V"};
const QStringList lightroom{"# rm A",   "# cp A",    "$ mkdir L", "$ mkdir L",
                            "$ cp L",   "$ mkdir L", "$ ln L",    "# echo A",
                            "$ echo L", "$ chown L", "$ chown L", "$ chown L"};
const QStringList start{"# mkdir A"};

QStringList commands(const QString &script)
{
    QStringList result;
    for (const ScriptLine &line : parseInstallScript(script).lines)
        result.append(line.command);
    return result;
}

bool makeFolder(const QString &path)
{
    return QDir().mkpath(path);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString userName()
{
    const passwd *pw = ::getpwuid(::getuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

} // namespace

class TestComposer : public QObject
{
    Q_OBJECT

private slots:
    void noElement()
    {
        QCOMPARE(InstallScriptComposer::compose({}, macLocations, ShellDialect::bsd),
                 QStringLiteral("try\n"
                                "do shell script \"mkdir -p \\\"/Applications/Quorvantic/\\\"\" "
                                "with administrator privileges\n"
                                "\n"
                                "on error errMsg\n"
                                "return errMsg\n"
                                "end try\n"
                                "return \"Ok\""));
    }

    // The reference texts are the worked examples as written for BSD userland
    // with every line privileged. The composer must match them but for the lines
    // that write only into the user's folder, which lose their privileges, and,
    // for GNU, the link option and the export-preset source.
    void referenceScripts_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QStringList>("elements");
        QTest::addColumn<ShellDialect>("dialect");
        QTest::addColumn<int>("userLines");
        QTest::addColumn<int>("linkLines");
        QTest::addColumn<int>("presetSources");
        const QStringList pluginAndLightroom{macBundle + "Calmfield 6/Calmfield 6 Plugin",
                                             macBundle + "Velamorph 4/Velamorph 4 Lightroom"};
        const QStringList videoOnly{macBundle + "Calmfield 6 Video/Calmfield Video Plugin 2"};
        QTest::newRow("plug-in and photo host, BSD")
            << "bsd-plugin-and-lightroom.txt" << pluginAndLightroom << ShellDialect::bsd << 9 << 0
            << 0;
        QTest::newRow("plug-in and photo host, GNU")
            << "bsd-plugin-and-lightroom.txt" << pluginAndLightroom << ShellDialect::gnu << 9 << 2
            << 1;
        QTest::newRow("video, BSD")
            << "bsd-video.txt" << videoOnly << ShellDialect::bsd << 0 << 0 << 0;
        QTest::newRow("video, GNU")
            << "bsd-video.txt" << videoOnly << ShellDialect::gnu << 0 << 1 << 0;
    }
    void referenceScripts()
    {
        QFETCH(QString, reference);
        QFETCH(QStringList, elements);
        QFETCH(ShellDialect, dialect);
        QFETCH(int, userLines);
        QFETCH(int, linkLines);
        QFETCH(int, presetSources);

        const QString text = readData(reference);
        QVERIFY(text.startsWith("try\n"));
        QStringList expected = text.split('\n');
        int demoted = 0;
        static const QRegularExpression privileged("\" +with administrator privileges$");
        for (QString &line : expected) {
            if (line.contains(macLocations.lr) && line.contains(privileged)) {
                line.replace(privileged, "\"");
                ++demoted;
            }
        }
        QCOMPARE(demoted, userLines);
        int links = 0;
        int sources = 0;
        if (dialect == ShellDialect::gnu) {
            for (QString &line : expected) {
                if (line.contains("ln -f -h -s ")) {
                    line.replace("ln -f -h -s ", "ln -f -n -s ");
                    ++links;
                }
                if (line.contains("Lightroom/Quorvantic Velamorph 4/\\\" \\\"")) {
                    line.replace("Lightroom/Quorvantic Velamorph 4/\\\" \\\"",
                                 "Lightroom/Quorvantic Velamorph 4/.\\\" \\\"");
                    ++sources;
                }
            }
        }
        QCOMPARE(links, linkLines);
        QCOMPARE(sources, presetSources);

        const QString composed = InstallScriptComposer::compose(elements, macLocations, dialect);
        const QStringList actual = composed.split('\n');
        for (qsizetype i = 0; i < qMin(actual.size(), expected.size()); ++i)
            QCOMPARE(actual[i], expected[i]);
        QCOMPARE(composed, expected.join('\n'));
    }

    void structure_data()
    {
        QTest::addColumn<QStringList>("elements");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nothing") << QStringList{} << start;
        QTest::newRow("two plug-ins share their folder line")
            << QStringList{"/b/Calmfield 6/One", "/b/Calmfield 6/Two"}
            << start + pluginFirst + plugin;
        QTest::newRow("two videos share their folder line")
            << QStringList{"/b/P/Calmfield Video Plugin", "/b/P/Other Video Plugin 2"}
            << start + videoFirst + video;
        QTest::newRow("video before plug-in")
            << QStringList{"/b/P/Calmfield Video Plugin 2", "/b/P/Calmfield 6 Plugin"}
            << start + videoFirst + pluginFirst;
        QTest::newRow("plug-in before video")
            << QStringList{"/b/P/Calmfield 6 Plugin", "/b/P/Calmfield Video Plugin 2"}
            << start + pluginFirst + videoFirst;
        QTest::newRow("photo host blocks repeat whole, add no folder line")
            << QStringList{"/b/Velamorph 3 Lightroom/E", "/b/Velamorph 4/Velamorph 4 Lightroom",
                           "/b/P/Calmfield 6 Plugin"}
            << start + lightroom + lightroom + pluginFirst;
        QTest::newRow("photo host wins over video")
            << QStringList{"/b/P/Lightroom Video Plugin"} << start + lightroom;
        QTest::newRow("lower-case word is a plug-in")
            << QStringList{"/b/P/lightroom module"} << start + pluginFirst;
        // Only the product and element names say what an element is; the
        // folders a bundle was saved in say nothing.
        QTest::newRow("a photo-host word where the bundle lies")
            << QStringList{"/Lightroom exports/Products/Calmfield 6/Calmfield 6 Plugin",
                           "/Lightroom exports/Products/X/Calmfield Video Plugin"}
            << start + pluginFirst + videoFirst;
        QTest::newRow("a video word where the bundle lies")
            << QStringList{"/home/u/Video Plugin kit/Products/Calmfield 6/Calmfield 6 Plugin"}
            << start + pluginFirst;
        QTest::newRow("video named by its product folder")
            << QStringList{"/b/Calmfield Video Plugin/Element"} << start + videoFirst;
        QTest::newRow("video with lower-case plugin is a plug-in")
            << QStringList{"/b/P/Calmfield Video plugin"} << start + pluginFirst;
    }
    void structure()
    {
        QFETCH(QStringList, elements);
        QFETCH(QStringList, expected);
        const QString script =
            InstallScriptComposer::compose(elements, shortLocations, ShellDialect::gnu);
        QCOMPARE(signature(script, shortLocations), expected);
    }

    // Commands that must appear (or must not) among the composed shell commands.
    void parameters_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("version 3 from the product folder, whatever the element's name")
            << "/b/Velamorph 3 Lightroom/Anything"
            << QStringList{R"(ln -f -n -s "/A/Anything/velamorph3.lrdevplugin" "/L/Modules/")",
                           R"(cp -R -f "/A/Anything/Quorvantic Velamorph 3/." "/L/Export Presets/Quorvantic Velamorph 3/")",
                           R"(echo "/A/Anything" > "/A/Anything/velamorph3.lrdevplugin/Path.txt")",
                           R"(chown -R $USER "/L/Export Presets/Quorvantic Velamorph 3/")",
                           "id = \\\"6C2E8F14-A7B3-4D59-9E0C-71F2A4B6C8D3\\\"",
                           "externalEditorFullPath = \\\"/A/Anything/Velamorph3.app\\\"",
                           R"(> "/L/External Editor Presets/Quorvantic/Quorvantic Velamorph 3.lrtemplate")"}
            << QStringList{"Velamorph 4", "velamorph4", "3D5B7E21"};
        QTest::newRow("version 4 otherwise")
            << "/b/Velamorph 4/Velamorph 4 Lightroom"
            << QStringList{"id = \\\"3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071\\\"",
                           R"(rm -R -f "/A/Velamorph 4 Lightroom")",
                           R"(mkdir -p "/L/External Editor Presets/Quorvantic/")"}
            << QStringList{"Velamorph 3", "velamorph3", "6C2E8F14"};
        QTest::newRow("a version word where the bundle lies")
            << "/Velamorph 3 backups/Products/Velamorph 4/Velamorph 4 Lightroom"
            << QStringList{"id = \\\"3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071\\\""}
            << QStringList{"velamorph3", "6C2E8F14"};
        QTest::newRow("version 3 needs the blank")
            << "/b/Velamorph3 Lightroom/E"
            << QStringList{R"(ln -f -n -s "/A/E/velamorph4.lrdevplugin" "/L/Modules/")"}
            << QStringList{"velamorph3"};
        QTest::newRow("video named with 2")
            << "/b/Calmfield 6 Video/Calmfield Video Plugin 2"
            << QStringList{R"(rm -R -f "/V/Ambrelux2.plugin")",
                           R"(rm -R -f "/V/Velamorph2.plugin")",
                           R"(ln -f -n -s "/A/Calmfield Video Plugin 2" "/V/Calmfield Video Plugin 2")"}
            << QStringList{"Ambrelux.plugin"};
        QTest::newRow("only the element's own name gives 2")
            << "/b/Calmfield 2 Video/Calmfield Video Plugin"
            << QStringList{R"(rm -R -f "/V/Ambrelux.plugin")", R"(rm -R -f "/V/Velamorph.plugin")"}
            << QStringList{"Ambrelux2", "Velamorph2"};
        QTest::newRow("one trailing slash dropped")
            << "/b/P/Calmfield 6 Plugin/"
            << QStringList{R"(cp -R -f "/b/P/Calmfield 6 Plugin" "/A/")",
                           R"(ln -f -n -s "/A/Calmfield 6 Plugin" "/S/Calmfield 6 Plugin")"}
            << QStringList{"Plugin/"};
        QTest::newRow("blanks kept verbatim")
            << "/b/P/ two  blanks "
            << QStringList{R"(cp -R -f "/b/P/ two  blanks " "/A/")",
                           R"(ln -f -n -s "/A/ two  blanks " "/S/ two  blanks ")"}
            << QStringList{};
        QTest::newRow("shell characters escaped inside the quotes")
            << "/b/P/a\"b\\c$d`e" << QStringList{"cp -R -f \"/b/P/a\\\"b\\\\c\\$d\\`e\" \"/A/\""}
            << QStringList{};
        QTest::newRow("a backslash is written by printf, not echo")
            << "/b/Velamorph 4 Lightroom/x\\c"
            << QStringList{R"(printf '%s\n' "/A/x\\c" > "/A/x\\c/velamorph4.lrdevplugin/Path.txt")",
                           "printf '%s\\n' \"s = {id = \\\"3D5B7E21"}
            << QStringList{"echo"};
    }
    void parameters()
    {
        QFETCH(QString, element);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        const QStringList all =
            commands(InstallScriptComposer::compose({element}, shortLocations, ShellDialect::gnu));
        QVERIFY(!all.isEmpty());
        const QString joined = all.join('\n');
        for (const QString &text : present)
            QVERIFY2(joined.contains(text), qPrintable(text + "\nnot in:\n" + joined));
        for (const QString &text : absent)
            QVERIFY2(!joined.contains(text), qPrintable(text + "\nfound in:\n" + joined));
    }

    // The script text itself, where the two levels of escaping meet.
    void literalEscaping()
    {
        const QString script =
            InstallScriptComposer::compose({"/b/P/q\"b\\s$`"}, shortLocations, ShellDialect::bsd);
        QVERIFY2(
            script.contains("do shell script \"cp -R -f \\\"/b/P/q\\\\\\\"b\\\\\\\\s\\\\$\\\\`\\\" "
                            "\\\"/A/\\\"\" with administrator privileges"),
            qPrintable(script));
    }

    // Composes a script for a real bundle with hostile names, runs its shell
    // commands with /bin/sh in order, and checks the files that appear.
    void hostileNamesRunThroughShell_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("name");
        const QStringList names{
            "quote\"d",
            "back\\slash \\c\\n\\t \\\\",
            "$(touch pwned-dollar)",
            "`touch pwned-tick`",
            "-rf leading dash",
            "two  spaces ",
            "Caf\u00e9 \u00dcn\u00efc\u00f6d\u00e9 \u65e5\u672c",
            ".hidden",
            "$HOME ${PATH} $1",
            "it's; touch pwned-semi & echo",
            "new\nline",
            "%s %n percent",
        };
        for (const QString &name : names) {
            QTest::addRow("plug-in %s", qPrintable(name)) << "Calmfield 6" << name;
            QTest::addRow("video %s", qPrintable(name)) << "Calmfield 6"
                                                        << "Video Plugin " + name;
            QTest::addRow("photo host %s", qPrintable(name)) << "Velamorph 4 Lightroom" << name;
        }
    }
    void hostileNamesRunThroughShell()
    {
        QFETCH(QString, product);
        QFETCH(QString, name);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString root = tmp.path();
        const QString element = root + "/bundle/Products/" + product + '/' + name;
        // The destinations are hostile too.
        const QString dest = root + "/dest \"$(touch pwned-dest)\" `x` \\ $";
        const InstallLocations loc{dest + "/app/Quorvantic/", dest + "/supp/Quorvantic/",
                                   dest + "/video/Quorvantic/", dest + "/lr/Adobe/Lightroom/"};
        const QString cwd = root + "/cwd";
        QVERIFY(makeFolder(cwd));

        const bool photo = product.contains("Lightroom");
        QVERIFY(makeFolder(element + "/Contents"));
        QVERIFY(writeFile(element + "/Contents/marker", "element content"));
        if (photo) {
            QVERIFY(makeFolder(element + "/Velamorph4.app"));
            QVERIFY(makeFolder(element + "/velamorph4.lrdevplugin"));
            QVERIFY(makeFolder(element + "/Quorvantic Velamorph 4"));
            QVERIFY(writeFile(element + "/Quorvantic Velamorph 4/Full Size.lrtemplate", "preset"));
        }

        const QString script = InstallScriptComposer::compose({element}, loc, ShellDialect::gnu);
        const ParsedScript parsed = parseInstallScript(script);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("USER", userName());
        for (const ScriptLine &line : parsed.lines) {
            QProcess sh;
            sh.setWorkingDirectory(cwd);
            sh.setProcessEnvironment(env);
            sh.start("/bin/sh", {"-c", line.command});
            QVERIFY(sh.waitForFinished(10000));
            QVERIFY2(sh.exitStatus() == QProcess::NormalExit && sh.exitCode() == 0,
                     qPrintable(line.command + "\n" + sh.readAllStandardError()));
        }

        const QString installed = loc.app + name;
        QCOMPARE(readFile(installed + "/Contents/marker"), QByteArray("element content"));
        if (photo) {
            const QString module = installed + "/velamorph4.lrdevplugin";
            QCOMPARE(QFileInfo(loc.lr + "Modules/velamorph4.lrdevplugin").symLinkTarget(), module);
            QCOMPARE(readFile(module + "/Path.txt"), installed.toUtf8() + '\n');
            QCOMPARE(
                readFile(loc.lr + "Export Presets/Quorvantic Velamorph 4/Full Size.lrtemplate"),
                QByteArray("preset"));
            QString preset = readData("external-editor-preset.txt");
            preset.replace("[ID]", "3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071")
                .replace("[V]", "4")
                .replace("[APP][NAME]", installed);
            QCOMPARE(readFile(loc.lr + "External Editor Presets/Quorvantic/Quorvantic Velamorph "
                                       "4.lrtemplate"),
                     preset.toUtf8());
        } else {
            const QString folder = name.startsWith("Video Plugin") ? loc.video : loc.supp;
            QCOMPARE(QFileInfo(folder + name).symLinkTarget(), installed);
        }

        QCOMPARE(QDir(cwd).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QDirIterator all(root,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
        while (all.hasNext()) {
            const QString path = all.next();
            QVERIFY2(!all.fileName().startsWith("pwned"), qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestComposer)

#include "tst_composer.moc"
