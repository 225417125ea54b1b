#include "helper/InstallCommand.h"

#include <QTest>

using namespace helper;

namespace {

// What the script's composer writes around an operand.
std::string quoted(const std::string &operand)
{
    std::string out = "\"";
    for (const char c : operand) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    return out + '"';
}

const std::string tricky = "/opt/Quorvantic/A \\ \" $HOME `id` é ✓/x";

} // namespace

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(helper::OperationKind)

class TestInstallCommand : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<std::string>("command");
        QTest::addColumn<helper::OperationKind>("kind");
        QTest::addColumn<std::string>("first");
        QTest::addColumn<std::string>("second");

        const std::string app = "/opt/Quorvantic/";
        const std::string element = "/b/Products/Velamorph 4/Velamorph 4 Module";
        const std::string link = "/usr/local/share/Quorvantic/Plug-Ins/Calmfield 6 Plugin";
        QTest::newRow("mkdir") << "mkdir -p " + quoted(app) << OperationKind::makeFolder << app
                               << std::string();
        QTest::newRow("mkdir, every escape")
            << "mkdir -p " + quoted(tricky) << OperationKind::makeFolder << tricky << std::string();
        QTest::newRow("cp") << "cp -R -f " + quoted(element) + ' ' + quoted(app)
                            << OperationKind::copyElement << element << app;
        QTest::newRow("cp, every escape") << "cp -R -f " + quoted(tricky) + ' ' + quoted(tricky)
                                          << OperationKind::copyElement << tricky << tricky;
        QTest::newRow("rm") << "rm -R -f " + quoted(app + "Velamorph 4 Module")
                            << OperationKind::remove << app + "Velamorph 4 Module" << std::string();
        QTest::newRow("ln") << "ln -f -n -s " + quoted(app + "Calmfield 6 Plugin") + ' ' +
                                   quoted(link)
                            << OperationKind::link << app + "Calmfield 6 Plugin" << link;
        QTest::newRow("echo") << "echo " + quoted(app + "Velamorph 4 Module") + " > " +
                                     quoted(app + "x/Path.txt")
                              << OperationKind::writeText << app + "Velamorph 4 Module\n"
                              << app + "x/Path.txt";
        QTest::newRow("echo, empty text")
            << std::string("echo \"\" > \"/f\"") << OperationKind::writeText << std::string("\n")
            << std::string("/f");
        QTest::newRow("printf, every escape")
            << "printf '%s\\n' " + quoted(tricky) + " > " + quoted(tricky)
            << OperationKind::writeText << tricky + '\n'
            << tricky;
        QTest::newRow("true, which changes nothing")
            << std::string("true") << OperationKind::nothing << std::string() << std::string();
        QTest::newRow("newline inside the quotes")
            << std::string("rm -R -f \"/opt/Quorvantic/a\nb\"") << OperationKind::remove
            << std::string("/opt/Quorvantic/a\nb") << std::string();
    }
    void accepted()
    {
        QFETCH(std::string, command);
        QFETCH(helper::OperationKind, kind);
        QFETCH(std::string, first);
        QFETCH(std::string, second);
        const ParsedCommand parsed = parseInstallCommand(command);
        QVERIFY2(parsed.ok, parsed.problem.c_str());
        QCOMPARE(parsed.operation.kind, kind);
        QCOMPARE(parsed.operation.first, first);
        QCOMPARE(parsed.operation.second, second);
        QVERIFY(parsed.problem.empty());
    }

    // Everything else a shell would read as more than the fixed forms.
    void refused_data()
    {
        QTest::addColumn<std::string>("command");
        QTest::addColumn<QString>("problem");

        const std::string nul("mkdir -p \"/a\0b/\"", 16);
        QTest::newRow("empty") << std::string() << "not one of the install's commands";
        QTest::newRow("another program") << std::string("chmod -R 777 \"/opt/\"") << "not one of";
        QTest::newRow("sudo") << std::string("sudo mkdir -p \"/a/\"") << "not one of";
        QTest::newRow("chown of the composer")
            << std::string("chown -R $USER \"/a/\"") << "not one of";
        QTest::newRow("leading space") << std::string(" mkdir -p \"/a/\"") << "not one of";
        QTest::newRow("semicolon") << std::string("mkdir -p \"/a/\"; rm -R -f \"/\"")
                                   << "unexpected text after the command at column 15";
        QTest::newRow("and") << std::string("mkdir -p \"/a/\" && true") << "unexpected text";
        QTest::newRow("true with operands") << std::string("true \"/a\"") << "unexpected text";
        QTest::newRow("pipe") << std::string("rm -R -f \"/a\" | cat") << "unexpected text";
        QTest::newRow("trailing word")
            << std::string("rm -R -f \"/a\" \"/b\"") << "unexpected text";
        QTest::newRow("trailing space") << std::string("rm -R -f \"/a\" ") << "unexpected text";
        QTest::newRow("newline after")
            << std::string("rm -R -f \"/a\"\nrm -R -f \"/b\"") << "unexpected text";
        QTest::newRow("command substitution")
            << std::string("mkdir -p \"$(id)/\"") << "unescaped $ at column 11";
        QTest::newRow("variable") << std::string("mkdir -p \"/a/$HOME/\"") << "unescaped $";
        QTest::newRow("backquote") << std::string("mkdir -p \"/`id`/\"") << "unescaped backquote";
        QTest::newRow("unescaped quote")
            << std::string("mkdir -p \"/a\"b\"/\"") << "unexpected text after the command";
        QTest::newRow("backslash before n")
            << std::string("mkdir -p \"/a\\n/\"") << "a backslash may only escape";
        QTest::newRow("backslash before newline")
            << std::string("mkdir -p \"/a\\\n/\"") << "a backslash may only escape";
        QTest::newRow("missing closing quote")
            << std::string("mkdir -p \"/a/") << "missing closing";
        QTest::newRow("backslash at the end")
            << std::string("mkdir -p \"/a/\\") << "missing closing quote";
        QTest::newRow("NUL inside quotes") << nul << "NUL";
        QTest::newRow("NUL after") << std::string("rm -R -f \"/a\"\0", 14) << "NUL";
        QTest::newRow("unquoted operand") << std::string("mkdir -p /a/") << "expected the form";
        QTest::newRow("placeholder character") << std::string("mkdir -p @") << "expected the form";
        QTest::newRow("single-quoted operand")
            << std::string("mkdir -p '/a/'") << "expected the form";
        QTest::newRow("mkdir without -p") << std::string("mkdir \"/a/\"") << "expected the form";
        QTest::newRow("mkdir -m") << std::string("mkdir -p -m 4777 \"/a/\"") << "expected the form";
        QTest::newRow("two spaces") << std::string("mkdir  -p \"/a/\"") << "expected the form";
        QTest::newRow("cp -R only") << std::string("cp -R \"/a\" \"/b/\"") << "expected the form";
        QTest::newRow("cp one operand") << std::string("cp -R -f \"/a\"") << "expected the form";
        QTest::newRow("cp -P") << std::string("cp -R -f -P \"/a\" \"/b/\"") << "expected the form";
        QTest::newRow("rm -r") << std::string("rm -r -f \"/a\"") << "expected the form";
        QTest::newRow("ln other order") << std::string("ln -s -f -n \"/a\" \"/b\"") << "expected";
        QTest::newRow("ln bsd") << std::string("ln -f -h -s \"/a\" \"/b\"") << "expected the form";
        QTest::newRow("append") << std::string("echo \"x\" >> \"/f\"") << "expected the form";
        QTest::newRow("echo -e") << std::string("echo -e \"x\" > \"/f\"") << "expected the form";
        QTest::newRow("echo backslash")
            << std::string("echo \"a\\\\nb\" > \"/f\"") << "echo text holds a backslash";
        QTest::newRow("echo dash") << std::string("echo \"-n\" > \"/f\"") << "starts with \"-\"";
        QTest::newRow("printf double-quoted format")
            << std::string("printf \"%s\\n\" \"x\" > \"/f\"") << "expected the form";
        QTest::newRow("printf other format")
            << std::string("printf '%b\\n' \"x\" > \"/f\"") << "expected the form";
        QTest::newRow("redirect from") << std::string("echo \"x\" < \"/f\"") << "expected the form";
    }
    void refused()
    {
        QFETCH(std::string, command);
        QFETCH(QString, problem);
        const ParsedCommand parsed = parseInstallCommand(command);
        QVERIFY(!parsed.ok);
        QVERIFY2(QString::fromStdString(parsed.problem).contains(problem), parsed.problem.c_str());
    }
};

QTEST_GUILESS_MAIN(TestInstallCommand)
#include "tst_installcommand.moc"
