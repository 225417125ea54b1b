// Digests read back from files just written: every file given gets the
// digest of what it holds, however many wait at once, and one that cannot be
// read gets none rather than a wrong one.
#include "helper/WrittenDigests.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace helper;

namespace {

// Written through the descriptor handed over, so its offset is at the end.
UniqueFd writtenFile(const QString &path, const QByteArray &content, int access)
{
    UniqueFd fd(::open(QFile::encodeName(path).constData(), access | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.valid() ||
        ::write(fd.get(), content.constData(), std::size_t(content.size())) != content.size())
        return UniqueFd();
    return fd;
}

QByteArray contentOf(int i)
{
    return QByteArray::number(i).repeated(1 + (i * 7919) % 40000);
}

} // namespace

class TestWrittenDigests : public QObject
{
    Q_OBJECT

private slots:
    void everyFileGetsTheDigestOfWhatItHolds_data()
    {
        QTest::addColumn<int>("files");
        QTest::newRow("one") << 1;
        QTest::newRow("more than may wait at once") << 300;
    }
    void everyFileGetsTheDigestOfWhatItHolds()
    {
        QFETCH(int, files);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        FileDigests digests;
        {
            WrittenDigests written(digests);
            for (int i = 0; i < files; ++i) {
                UniqueFd fd = writtenFile(dir.filePath(QString::number(i)), contentOf(i), O_RDWR);
                QVERIFY(fd.valid());
                written.add(std::move(fd), "/" + std::to_string(i));
            }
            written.finish();
            QCOMPARE(digests.size(), std::size_t(files));
        }
        for (int i = 0; i < files; ++i) {
            const auto found = digests.find("/" + std::to_string(i));
            QVERIFY(found != digests.end());
            QCOMPARE(found->second,
                     QCryptographicHash::hash(contentOf(i), QCryptographicHash::Sha256)
                         .toHex()
                         .toStdString());
        }
    }

    void aFileThatCannotBeReadGetsNoDigest()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        FileDigests digests;
        {
            WrittenDigests written(digests);
            UniqueFd writeOnly = writtenFile(dir.filePath("w"), "data", O_WRONLY);
            QVERIFY(writeOnly.valid());
            written.add(std::move(writeOnly), "/w");
            written.add(UniqueFd(), "/none");
            written.add(writtenFile(dir.filePath("r"), "data", O_RDWR), "/r");
        }
        QCOMPARE(digests.count("/w") + digests.count("/none"), std::size_t(0));
        QCOMPARE(digests.count("/r"), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestWrittenDigests)
#include "tst_writtendigests.moc"
