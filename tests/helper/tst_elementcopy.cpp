// Copying an element as root does: the modes that land in the system folders,
// and bundle files that another program holds a lease on.
#include "helper/ElementCopy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace helper;

namespace {

std::atomic<bool> leaseBroken{false};

void onLeaseBreak(int)
{
    leaseBroken = true;
}

mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A bundle's product folder and an app folder, both open, in a temporary tree.
class Tree
{
public:
    Tree()
    {
        m_product = m_dir.filePath("Products/Prod");
        m_app = m_dir.filePath("app");
        ::mkdir(QFile::encodeName(m_dir.filePath("Products")).constData(), 0755);
        ::mkdir(QFile::encodeName(m_product).constData(), 0755);
        ::mkdir(QFile::encodeName(m_product + "/Elem").constData(), 0755);
        ::mkdir(QFile::encodeName(m_app).constData(), 0755);
        m_productFd.reset(::open(QFile::encodeName(m_product).constData(), O_RDONLY | O_DIRECTORY));
        m_appFd.reset(::open(QFile::encodeName(m_app).constData(), O_RDONLY | O_DIRECTORY));
    }
    bool valid() const { return m_dir.isValid() && m_productFd.valid() && m_appFd.valid(); }
    QString source(const QString &inside = {}) const { return m_product + "/Elem" + inside; }
    QString copied(const QString &inside = {}) const { return m_app + "/Elem" + inside; }

    bool copy(std::string &problem, std::function<bool()> stopped = {},
              std::chrono::milliseconds leaseWait = defaultLeaseWait) const
    {
        const CopyEnds ends{m_productFd.get(),
                            "Elem",
                            source().toStdString(),
                            m_appFd.get(),
                            copied().toStdString(),
                            std::move(stopped),
                            leaseWait,
                            {}};
        // The umask must not matter; and nothing may block: the alarm ends
        // the test rather than letting it hang.
        const mode_t umask = ::umask(0);
        ::alarm(120);
        const bool ok = copyElementTree(ends, problem);
        ::alarm(0);
        ::umask(umask);
        return ok;
    }

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/qv-elementcopy-XXXXXX")};
    QString m_product;
    QString m_app;
    UniqueFd m_productFd;
    UniqueFd m_appFd;
};

} // namespace

class TestElementCopy : public QObject
{
    Q_OBJECT

private slots:
    // Whatever the bundle's modes, nothing copied is writable by the group or
    // others, and nothing keeps a set-ID or sticky bit.
    void modes_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("bundleMode");
        QTest::addColumn<int>("installedMode");
        QTest::newRow("file 0666") << false << 0666 << 0644;
        QTest::newRow("file 0777") << false << 0777 << 0755;
        QTest::newRow("file 0775") << false << 0775 << 0755;
        QTest::newRow("file 0700") << false << 0700 << 0700;
        QTest::newRow("file 0640") << false << 0640 << 0640;
        QTest::newRow("file 0444") << false << 0444 << 0444;
        QTest::newRow("file 04755") << false << 04755 << 0755;
        QTest::newRow("file 06777") << false << 06777 << 0755;
        QTest::newRow("folder 0777") << true << 0777 << 0755;
        QTest::newRow("folder 0775") << true << 0775 << 0755;
        QTest::newRow("folder 01777") << true << 01777 << 0755;
        QTest::newRow("folder 02775") << true << 02775 << 0755;
        QTest::newRow("folder 0750") << true << 0750 << 0750;
        QTest::newRow("folder 0700") << true << 0700 << 0700;
    }
    void modes()
    {
        QFETCH(bool, folder);
        QFETCH(int, bundleMode);
        QFETCH(int, installedMode);
        const Tree tree;
        QVERIFY(tree.valid());
        const QString entry = tree.source("/entry");
        const QByteArray name = QFile::encodeName(entry);
        QVERIFY(folder ? ::mkdir(name.constData(), 0700) == 0 : writeFile(entry, "bytes"));
        QVERIFY(::chmod(name.constData(), mode_t(bundleMode)) == 0);
        // The element folder itself too, when the row is a folder's.
        if (folder)
            QVERIFY(::chmod(QFile::encodeName(tree.source()).constData(), mode_t(bundleMode)) == 0);
        std::string problem;
        QVERIFY2(tree.copy(problem), problem.c_str());
        const mode_t type = folder ? S_IFDIR : S_IFREG;
        QCOMPARE(modeOf(tree.copied("/entry")), type | mode_t(installedMode));
        if (folder)
            QCOMPARE(modeOf(tree.copied()), type | mode_t(installedMode));
    }

    // A copy over an earlier one that left its folders writable by others
    // takes that away; a folder another user owns is replaced by root's own.
    void earlierCopiesAreMended()
    {
        const Tree tree;
        QVERIFY(tree.valid());
        QVERIFY(writeFile(tree.source("/file"), "new"));
        QVERIFY(::mkdir(QFile::encodeName(tree.source("/sub")).constData(), 0755) == 0);
        QVERIFY(::mkdir(QFile::encodeName(tree.copied()).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(tree.copied()).constData(), 02777) == 0);
        const QByteArray foreign = QFile::encodeName(tree.copied("/sub"));
        QVERIFY(::mkdir(foreign.constData(), 0777) == 0);
        QVERIFY(writeFile(tree.copied("/sub/planted"), "planted"));
        const bool asRoot = ::geteuid() == 0;
        if (asRoot)
            QVERIFY(::chown(foreign.constData(), 65534, 65534) == 0);
        std::string problem;
        QVERIFY2(tree.copy(problem), problem.c_str());
        QCOMPARE(modeOf(tree.copied()), mode_t(S_IFDIR | 0755));
        QCOMPARE(modeOf(tree.copied("/sub")), mode_t(S_IFDIR | 0755));
        if (!asRoot)
            QSKIP("only root can give a folder to another user");
        struct stat status = {};
        QVERIFY(::lstat(foreign.constData(), &status) == 0);
        QCOMPARE(status.st_uid, uid_t(0));
        QVERIFY(!QFile::exists(tree.copied("/sub/planted")));
    }

    // A bundle file with a lease on it: the copy waits for the holder to let
    // go, within a bound, and still refuses whatever was put in its place.
    void leases_data()
    {
        QTest::addColumn<QString>("holder"); // what the holder does once told to let go
        QTest::addColumn<bool>("copies");
        QTest::addColumn<QString>("message");
        QTest::newRow("released") << "release" << true << "";
        QTest::newRow("held past the wait")
            << "hold" << false
            << "cannot read @: another program holds a lease on it and did not release it "
               "within 1 s";
        QTest::newRow("run stopped meanwhile")
            << "stop" << false << "the install was stopped before @ was copied";
        QTest::newRow("another file put in its place")
            << "swap file" << false << "@ changed while it was being installed";
        QTest::newRow("a FIFO put in its place")
            << "swap fifo" << false << "@ is a FIFO and cannot be installed";
    }
    void leases()
    {
        QFETCH(QString, holder);
        QFETCH(bool, copies);
        QFETCH(QString, message);
        const Tree tree;
        QVERIFY(tree.valid());
        const QString leasedPath = tree.source("/leased.bin");
        const QByteArray leasedName = QFile::encodeName(leasedPath);
        QVERIFY(writeFile(leasedPath, "leased content"));
        QVERIFY(writeFile(tree.source("/other.bin"), "other content"));

        struct sigaction action = {};
        struct sigaction previous = {};
        action.sa_handler = onLeaseBreak;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGIO, &action, &previous);
        leaseBroken = false;
        const UniqueFd lease(::open(leasedName.constData(), O_RDONLY));
        if (::fcntl(lease.get(), F_SETLEASE, F_WRLCK) != 0) {
            ::sigaction(SIGIO, &previous, nullptr);
            QSKIP(qPrintable("no lease can be taken here: " + QString(std::strerror(errno))));
        }

        std::atomic<bool> stop{false};
        std::thread holding([&] {
            for (int i = 0; i < 1000 && !leaseBroken; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (holder == "release")
                ::fcntl(lease.get(), F_SETLEASE, F_UNLCK);
            else if (holder == "stop")
                stop = true;
            else if (holder == "swap file")
                ::rename(QFile::encodeName(tree.source("/other.bin")).constData(),
                         leasedName.constData());
            else if (holder == "swap fifo" && ::unlink(leasedName.constData()) == 0)
                ::mkfifo(leasedName.constData(), 0644);
        });
        std::string problem;
        QElapsedTimer timer;
        timer.start();
        // A short bound for the lease that is never let go; else ample.
        const std::chrono::milliseconds wait(holder == "hold" ? 1000 : 20000);
        const bool copied = tree.copy(
            problem, [&stop] { return stop.load(); }, wait);
        const qint64 took = timer.elapsed();
        holding.join();
        ::fcntl(lease.get(), F_SETLEASE, F_UNLCK);
        ::sigaction(SIGIO, &previous, nullptr);

        QVERIFY2(leaseBroken, "the holder was never told to let go");
        QCOMPARE(copied, copies);
        QCOMPARE(QString::fromStdString(problem), QString(message).replace('@', leasedPath));
        if (copies) {
            QFile file(tree.copied("/leased.bin"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("leased content"));
        } else {
            QVERIFY(!QFile::exists(tree.copied("/leased.bin")));
        }
        // The wait is bounded: well short of the alarm, and for the held
        // lease no shorter than the bound.
        QVERIFY2(took < 60000, qPrintable(QString::number(took)));
        if (holder == "hold")
            QVERIFY2(took >= 1000, qPrintable(QString::number(took)));
    }
};

QTEST_GUILESS_MAIN(TestElementCopy)
#include "tst_elementcopy.moc"
