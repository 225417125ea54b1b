#include "helper/FrameCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

namespace {

const QString helperPath = QStringLiteral(QUORVANTIC_LIBEXEC_DIR "/quorvantic-helper");

QByteArray bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

QByteArray command(const QString &text)
{
    return bytes(frame::encode(frame::Type::command, text.toStdString()));
}

// The helper's own bundle, as the build lays it out.
const QString products =
    QFileInfo(QStringLiteral(QUORVANTIC_LIBEXEC_DIR "/../../share/quorvantic-installer/Products"))
        .canonicalFilePath();

// A file that only a refused command would make.
const QString witness = QStringLiteral("/tmp/quorvantic-test-refused-command-ran");

// An expected reply; a "*" stands for any text.
bool matches(const QString &got, const QString &expected)
{
    QString pattern = QRegularExpression::escape(expected);
    pattern.replace(QStringLiteral("\\*"), QStringLiteral(".*"));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(got)
        .hasMatch();
}

// pkexec leaves the helper no environment but the invoking user's id.
void asPkexecWould(QProcess &helper)
{
    QProcessEnvironment environment;
    environment.insert("PKEXEC_UID", "0");
    helper.setProcessEnvironment(environment);
}

QByteArray header(char type, quint32 length)
{
    QByteArray out(1, type);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((length >> shift) & 0xff));
    return out;
}

// Decodes every reply frame, as "H:text", "R:status:out:err" or "E:text".
QStringList replies(const QByteArray &stream)
{
    QStringList out;
    std::string buffer = stream.toStdString();
    for (;;) {
        const frame::Decoded decoded = frame::decode(buffer, frame::Direction::toSession);
        if (decoded.status != frame::DecodeStatus::complete) {
            if (!buffer.empty())
                out << "<trailing bytes>";
            return out;
        }
        const QString type(QChar(char(decoded.frame.type)));
        if (decoded.frame.type == frame::Type::result) {
            const auto result = frame::decodeResult(decoded.frame.payload);
            out << (result ? QStringLiteral("R:%1:%2:%3")
                                 .arg(result->status)
                                 .arg(QString::fromStdString(result->standardOutput),
                                      QString::fromStdString(result->standardError))
                           : QStringLiteral("R:<bad>"));
        } else {
            out << type + ':' + QString::fromStdString(decoded.frame.payload);
        }
        buffer.erase(0, decoded.consumed);
    }
}

} // namespace

// The helper executable spoken to directly, byte by byte, as pkexec would
// start it (root, with PKEXEC_UID set).
class TestHelperProcess : public QObject
{
    Q_OBJECT

private slots:
    void conversation_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("exitCode");
        const QString hello = "H:" + QString::fromLatin1(frame::helloText.data());
        // An install operation that changes nothing on this machine.
        const QByteArray absent = command("rm -R -f \"/opt/Quorvantic/.quorvantic-test-absent\"");
        QTest::newRow("input closed at once") << QByteArray() << QStringList{hello} << 0;
        QTest::newRow("install operations")
            << absent + absent << QStringList{hello, "R:0::", "R:0::"} << 0;
        QTest::newRow("a target outside the install locations")
            << command("rm -R -f \"/etc/quorvantic-test-absent\"") + absent
            << QStringList{hello, "R:1::*/etc/quorvantic-test-absent*", "R:0::"} << 0;
        QTest::newRow("a shell command")
            << command("id > " + witness) + absent
            << QStringList{hello, "E:not an install operation: id > " + witness} << 2;
        QTest::newRow("shell syntax after an operation")
            << command("rm -R -f \"/opt/Quorvantic/.quorvantic-test-absent\"; touch " + witness)
            << QStringList{hello, "E:not an install operation: *"} << 2;
        QTest::newRow("a substitution inside an operand")
            << command("rm -R -f \"/opt/Quorvantic/$(touch " + witness + ")\"")
            << QStringList{hello, "E:not an install operation: *"} << 2;
        QTest::newRow("unknown type")
            << QByteArray("Zjunk")
            << QStringList{hello, "E:malformed request: unexpected frame type"} << 2;
        QTest::newRow("a reply sent to the helper")
            << absent + bytes(frame::encode(frame::Type::result, "x"))
            << QStringList{hello, "R:0::", "E:malformed request: unexpected frame type"} << 2;
        QTest::newRow("oversized")
            << header('C', quint32(frame::maxCommandPayload + 1)) + "echo never"
            << QStringList{hello, "E:malformed request: frame too large"} << 2;
        QTest::newRow("input ends inside a header")
            << QByteArray("C\0\0", 3)
            << QStringList{hello, "E:malformed request: input ended inside a frame"} << 2;
        QTest::newRow("input ends inside a payload")
            << header('C', 10) + "echo"
            << QStringList{hello, "E:malformed request: input ended inside a frame"} << 2;
        QTest::newRow("NUL inside a command")
            << header('C', 3) + QByteArray("a\0b", 3)
            << QStringList{hello, "E:malformed request: command holds a NUL byte"} << 2;
    }
    void conversation()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        QFETCH(int, exitCode);
        if (::geteuid() != 0)
            QSKIP("the helper runs only as root (the tests run as root in CI)");
        QFile::remove(witness);
        QProcess helper;
        asPkexecWould(helper);
        helper.start(helperPath, {"--products", products});
        QVERIFY(helper.waitForStarted());
        helper.write(input);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        const QStringList got = replies(helper.readAllStandardOutput());
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(matches(got[i], expected[i]), qPrintable(got[i] + " vs " + expected[i]));
        QCOMPARE(helper.exitCode(), exitCode);
        QVERIFY2(!QFile::exists(witness), "a refused command ran");
    }

    // The helper serves only the bundle it belongs to.
    void refusesAnotherBundle_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no folder")
            << QStringList{} << "E:usage: quorvantic-helper --products FOLDER";
        QTest::newRow("another folder")
            << QStringList{"--products", "/tmp"}
            << "E:refusing to run: /tmp is not the Products folder of this helper's bundle";
        QTest::newRow("a missing folder")
            << QStringList{"--products", products + "/../Nothing"}
            << "E:refusing to run: " + products +
                   "/../Nothing is not the Products folder of this helper's bundle";
    }
    void refusesAnotherBundle()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, refusal);
        if (::geteuid() != 0)
            QSKIP("the helper runs only as root (the tests run as root in CI)");
        QProcess helper;
        asPkexecWould(helper);
        helper.start(helperPath, arguments);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(replies(helper.readAllStandardOutput()), QStringList{refusal});
        QCOMPARE(helper.exitCode(), 1);
    }

    // What the user's shell hands down through pkexec does not reach root: a
    // tiny file-size limit, ignored and blocked signals, an open descriptor.
    // (The limit is a soft one: lifting a hard limit needs CAP_SYS_RESOURCE,
    // which root in some containers lacks.)
    void startsClean()
    {
        if (::geteuid() != 0)
            QSKIP("the helper runs only as root (the tests run as root in CI)");
        QProcess helper;
        asPkexecWould(helper);
        helper.start("/bin/bash", {"-c",
                                   "ulimit -S -f 4; trap '' USR1 ALRM XFSZ TERM; exec 7</dev/null; "
                                   "exec \"$0\" --products \"$1\"",
                                   helperPath, products});
        QVERIFY(helper.waitForStarted());
        QTRY_VERIFY(helper.bytesAvailable() > 0 || helper.waitForReadyRead(100));
        const QString proc = "/proc/" + QString::number(helper.processId());
        QFile status(proc + "/status");
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(status.readAll());
        const auto field = [&](const QString &name) {
            const qsizetype at = text.indexOf(name + ":\t");
            return text.mid(at + name.size() + 2, 16);
        };
        // Only SIGPIPE (bit 13) stays ignored; nothing is blocked.
        QCOMPARE(field("SigIgn"), QStringLiteral("0000000000001000"));
        QCOMPARE(field("SigBlk"), QStringLiteral("0000000000000000"));
        QFile limits(proc + "/limits");
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QString limitText = QString::fromLatin1(limits.readAll());
        QVERIFY2(QRegularExpression("Max file size\\s+unlimited\\s+unlimited")
                     .match(limitText)
                     .hasMatch(),
                 qPrintable(limitText));
        QVERIFY(!QFileInfo::exists(proc + "/fd/7"));
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitCode(), 0);
    }

    void refusesWithoutRoot()
    {
        if (::geteuid() == 0)
            QSKIP("runs only where the tests do not run as root");
        QProcess helper;
        QProcessEnvironment environment;
        environment.insert("PKEXEC_UID", QString::number(::getuid()));
        helper.setProcessEnvironment(environment);
        helper.start(helperPath);
        helper.write(bytes(frame::encode(frame::Type::command, "echo hi")));
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(replies(helper.readAllStandardOutput()),
                 QStringList{"E:refusing to run: the helper must run as root, through pkexec"});
        QCOMPARE(helper.exitCode(), 1);
    }

    // polkit matches the action by the helper's absolute path.
    void polkitAction()
    {
        QFile file(
            QStringLiteral(QUORVANTIC_LIBEXEC_DIR
                           "/../../share/polkit-1/actions/com.quorvantic.installer.helper.policy"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QString policy = QString::fromUtf8(file.readAll());
        const QString annotation =
            "<annotate key=\"org.freedesktop.policykit.exec.path\">" + helperPath + "</annotate>";
        QVERIFY2(policy.contains(annotation), qPrintable(policy));
        QVERIFY(QFileInfo(helperPath).isExecutable());
        // One authentication per run: none of the three may keep it.
        QVERIFY(!policy.contains("auth_admin_keep"));
        QCOMPARE(policy.count("auth_admin</allow_"), 3);
        QVERIFY(policy.contains("install the Quorvantic plug-ins"));
    }
};

QTEST_GUILESS_MAIN(TestHelperProcess)
#include "tst_helperprocess.moc"
