#include "helper/FrameCodec.h"

#include <QTest>

using namespace frame;

namespace {

std::string header(char type, std::uint32_t length)
{
    std::string bytes(1, type);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>((length >> shift) & 0xff));
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(frame::Direction)

class TestFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    // Every prefix of a frame asks for more; the whole frame decodes and
    // leaves the bytes after it alone.
    void roundTrip_data()
    {
        QTest::addColumn<std::string>("payload");
        QTest::newRow("empty") << std::string();
        QTest::newRow("command") << std::string("mkdir -p \"/opt/Quorvantic/\"");
        QTest::newRow("binary") << std::string("\xff\x01\n\r", 4);
        QTest::newRow("at the limit") << std::string(maxCommandPayload, 'x');
    }
    void roundTrip()
    {
        QFETCH(std::string, payload);
        const std::string bytes = encode(Type::command, payload) + "Cnext";
        const std::size_t size = headerSize + payload.size();
        for (std::size_t cut : {std::size_t(0), std::size_t(1), std::size_t(4), size - 1}) {
            if (cut >= size)
                continue;
            QCOMPARE(decode(std::string_view(bytes).substr(0, cut), Direction::toHelper).status,
                     DecodeStatus::needMore);
        }
        const Decoded decoded = decode(bytes, Direction::toHelper);
        QCOMPARE(decoded.status, DecodeStatus::complete);
        QCOMPARE(decoded.consumed, size);
        QVERIFY(decoded.frame.payload == payload);
    }

    void malformed_data()
    {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<frame::Direction>("direction");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown type")
            << std::string("X") << Direction::toHelper << "unexpected frame type";
        QTest::newRow("reply sent to the helper")
            << header('R', 0) << Direction::toHelper << "unexpected frame type";
        QTest::newRow("command sent to the session")
            << header('C', 0) << Direction::toSession << "unexpected frame type";
        // Refused from the header alone, before any of the payload arrives.
        QTest::newRow("oversized command") << header('C', std::uint32_t(maxCommandPayload + 1))
                                           << Direction::toHelper << "frame too large";
        QTest::newRow("largest length")
            << header('C', 0xffffffffu) << Direction::toHelper << "frame too large";
        QTest::newRow("oversized reply") << header('R', std::uint32_t(maxReplyPayload + 1))
                                         << Direction::toSession << "frame too large";
        QTest::newRow("NUL in a command") << header('C', 3) + std::string("a\0b", 3)
                                          << Direction::toHelper << "command holds a NUL byte";
    }
    void malformed()
    {
        QFETCH(std::string, bytes);
        QFETCH(frame::Direction, direction);
        QFETCH(QString, problem);
        const Decoded decoded = decode(bytes, direction);
        QCOMPARE(decoded.status, DecodeStatus::malformed);
        QCOMPARE(QString::fromStdString(decoded.problem), problem);
    }

    void result_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<std::string>("out");
        QTest::addColumn<std::string>("err");
        QTest::newRow("success") << 0 << std::string("done\n") << std::string();
        QTest::newRow("failure") << 1 << std::string() << std::string("No such file\n");
        QTest::newRow("signal") << 143 << std::string("a\0b", 3) << std::string("c");
        QTest::newRow("negative") << -128 << std::string("x") << std::string("y");
    }
    void result()
    {
        QFETCH(int, status);
        QFETCH(std::string, out);
        QFETCH(std::string, err);
        const std::string payload = encodeResult({status, out, err});
        const auto decoded = decodeResult(payload);
        QVERIFY(decoded);
        QCOMPARE(decoded->status, status);
        QVERIFY(decoded->standardOutput == out);
        QVERIFY(decoded->standardError == err);
        // A payload cut short anywhere inside its header or its standard
        // output does not decode into something else.
        for (std::size_t cut = 0; cut < 8 + out.size(); ++cut)
            QVERIFY(!decodeResult(std::string_view(payload).substr(0, cut)));
    }
};

QTEST_GUILESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
