#include "helper/FrameCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <unistd.h>

namespace {

const QString helperPath = QStringLiteral(QUORVANTIC_LIBEXEC_DIR "/quorvantic-helper");

QByteArray bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
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
        const QByteArray echo = bytes(frame::encode(frame::Type::command, "echo hi"));
        QTest::newRow("input closed at once") << QByteArray() << QStringList{hello} << 0;
        QTest::newRow("two commands")
            << echo + bytes(frame::encode(frame::Type::command, "echo e >&2; exit 4"))
            << QStringList{hello, "R:0:hi\n:", "R:4::e\n"} << 0;
        // The helper ignores SIGPIPE for itself; its commands must not inherit
        // that (nor a blocked signal), or a pipeline's writer would never stop.
        QTest::newRow("commands get the default signal dispositions")
            << bytes(frame::encode(
                   frame::Type::command,
                   "ign=$(sed -n 's/^SigIgn:\\t//p' /proc/$$/status); "
                   "blk=$(sed -n 's/^SigBlk:\\t//p' /proc/$$/status); "
                   "echo $(( 0x$ign & 86023 )) $(( 0x$blk )); yes | head -n 1 >/dev/null"))
            << QStringList{hello, "R:0:0 0\n:"} << 0;
        QTest::newRow("unknown type")
            << QByteArray("Zjunk")
            << QStringList{hello, "E:malformed request: unexpected frame type"} << 2;
        QTest::newRow("a reply sent to the helper")
            << echo + bytes(frame::encode(frame::Type::result, "x"))
            << QStringList{hello, "R:0:hi\n:", "E:malformed request: unexpected frame type"} << 2;
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
        QProcess helper;
        QProcessEnvironment environment;
        environment.insert("PKEXEC_UID", "0");
        helper.setProcessEnvironment(environment);
        helper.start(helperPath);
        QVERIFY(helper.waitForStarted());
        helper.write(input);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(replies(helper.readAllStandardOutput()), expected);
        QCOMPARE(helper.exitCode(), exitCode);
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
        QVERIFY(policy.contains("<allow_active>auth_admin_keep</allow_active>"));
        QVERIFY(policy.contains("install the Quorvantic plug-ins"));
    }
};

QTEST_GUILESS_MAIN(TestHelperProcess)
#include "tst_helperprocess.moc"
